#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QUuid>

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
};

} // namespace pral_matrix
