#pragma once

#include "decoder_network_global.h"
#include "httpclient.h"
#include "matrixrecords.h"

#include <QCoreApplication>
#include <QMap>
#include <QStringList>

namespace pral_matrix {

/**
 * @brief WS-Discovery as the client uses it: probes to a list of addresses
 * (and the multicast group where asked), the answers read within a deadline,
 * and what those answers prove about which device is where.
 *
 * An answer only speaks for the host it came from: its UDP source must be one
 * of the hosts of its XAddrs and, unless the multicast group was probed, an
 * address that was probed; the device is listed at that source address.
 * A device that answers without our scopes is listed all the same, from what
 * ONVIF's own scopes and types say (Answer::standard). Answers from several
 * addresses with one device id are one device when each
 * names the other's address among its XAddrs (one device on two interfaces),
 * listed once at its lowest address. An id claimed by different hosts is a
 * conflict: every claimant is listed, so that the operator sees them, and the
 * caller activates none of them until a search without the conflict.
 *
 * run() blocks the calling thread (no event loop) for at most Settings::waitMs
 * and returns early once every probed address has answered or the
 * abandonment is due.
 */
class DECODER_NETWORK_EXPORT DeviceDiscovery
{
    Q_DECLARE_TR_FUNCTIONS(DeviceDiscovery)

public:
    // One host may carry a few devices (a gateway in front of some); one claiming more is flooding.
    static constexpr int MaxDevicesPerAddress = 8;

    struct Settings
    {
        QStringList targets;
        quint16 port = 3702;
        int waitMs = 1500;
        bool multicast = false;
    };

    struct Answer
    {
        /** What the scopes say, ip being the address that answered. */
        MatrixInfo info;
        quint16 httpPort = 80;
        /** The device service's address at the host that answered (http or https). */
        QString xaddr;
        /** The hosts of the answer's XAddrs. */
        QStringList hosts;
        QString endpoint;
        /**
         * A device without our scopes: info has only what ONVIF's scopes and types tell, and no device
         * id yet; the caller asks the device itself for the rest before identify().
         */
        bool standard = false;
        /** ONVIF's type scopes and the probe match's types. */
        QStringList typeScopes;
        QStringList types;
        QString name;
        QString hardware;
    };

    struct Notice
    {
        QString ip;
        QString text;
    };

    struct Result
    {
        /** One entry per device at the address it is listed at, and one per claimant of an id in conflict. */
        QList<Answer> devices;
        /** Device id -> the addresses of the different hosts that claimed it, in ascending order. */
        QMap<QString, QStringList> conflicts;
        /** What the operator should hear of: answers ignored or refused, conflicts. */
        QList<Notice> notices;
    };

    /** collect() and identify() in one, for answers that need nothing more. */
    static Result run(const Settings& settings, const HttpClient::Abandonment* abandonment);
    /** Every answer to one search and the notices about answers ignored or refused. */
    static QList<Answer> collect(const Settings& settings, const HttpClient::Abandonment* abandonment,
                                 QList<Notice>* notices);

    /** The answers one datagram from address from carries to the probe messageId. */
    static QList<Answer> read(const QByteArray& datagram, const QString& from, const QString& messageId,
                              QList<Notice>* notices);
    /** Devices and conflicts from every answer of one search. */
    static Result identify(const QList<Answer>& answers);
};

} // namespace pral_matrix
