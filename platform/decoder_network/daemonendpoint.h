#pragma once

#include "devicecodec.h"
#include "displaycodec.h"
#include "receivercodec.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QUuid>
#include <QVector>

class QTcpServer;
class QUdpSocket;

namespace pral_matrix {

/** The first 16 bytes of a SHA-1 digest: what tells two tokens apart, kept without an allocation. */
struct TokenKey
{
    quint64 high = 0;
    quint64 low = 0;
    bool operator==(const TokenKey& other) const { return high == other.high && low == other.low; }
};

inline uint qHash(const TokenKey& key, uint seed = 0)
{
    return ::qHash(key.high ^ (key.low * 0x9E3779B97F4A7C15ULL), seed);
}

/**
 * @brief One decoder as the daemon serves it: its sockets, the faults only a
 * network has, and what a device keeps beside the decoder model (its user
 * table, the tokens it accepted, the upload addresses it handed out, the
 * pictures it received, the state of an upgrade).
 *
 * Owned by DecoderDaemon; the service handlers read and change it while they
 * serve a call, on the daemon's thread.
 */
struct DaemonEndpoint
{
    struct NetworkFault
    {
        bool refuse = false;
        int stallMs = 0;
        bool dropMidReply = false;
        int bytesPerSecond = 0;
    };

    QString ip;
    QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString user;
    QString password;
    bool activated = true;
    NetworkFault fault;
    QTcpServer* server = nullptr;
    QUdpSocket* udp = nullptr;
    /** Open connections by peer address. */
    QHash<QString, int> peers;
    /** Accepted tokens and when each leaves its window (ms since the epoch). */
    QHash<TokenKey, qint64> seenTokens;
    qint64 lastSweepMs = 0;
    /** Upload and download addresses handed out: token and what it is for. */
    QList<QPair<QString, QString>> tokens;
    /** Name -> file and its size. */
    QMap<QString, QPair<QString, qint64>> pictures;
    QString upgradeState = QStringLiteral("Idle");
    int upgradePercent = 0;
    int upgradeCode = 0;

    // What an ONVIF device keeps of its own settings beside the decoder model.
    /** Users besides the administrator (user, password), who is the model's. */
    QVector<DeviceCodec::User> users;
    /** The scopes a client may change (name, location and those it added). */
    QStringList configurableScopes;
    QString hostname;
    bool ntpFromDhcp = false;
    QStringList ntpServers;
    /** Answers probes; NonDiscoverable stops that. */
    bool discoverable = true;
    /** The device's clock, as set with SetSystemDateAndTime, against ours. */
    qint64 clockOffsetMs = 0;
    QString timeZone = QStringLiteral("UTC0");
    bool timeFromNtp = false;
    /** Pane configurations made with CreatePaneConfiguration that no layout shows yet. */
    QMap<QString, DisplayCodec::PaneConfiguration> pendingPanes;
    /** The tokens of the shown panes, one per window of the model in its order (Pane-N where none was given).
     */
    QStringList windowTokens;
    /** The receiver that feeds each pane, by pane token. */
    QMap<QString, QString> paneReceivers;
    QMap<QString, ReceiverCodec::Receiver> receivers;
    int receiversMade = 0;
    int panesMade = 0;
    /** HTTP Digest: the highest nonce count seen for each nonce still valid. */
    QHash<QByteArray, quint32> digestCounts;
};

} // namespace pral_matrix
