#pragma once

#include "matrixrecords.h"
#include "onviftransport.h"

#include <QMap>
#include <QMutex>
#include <QStringList>

namespace pral_matrix {

/**
 * @brief Search as the back end makes it (WS-Discovery probes through
 * DeviceDiscovery), and what the last search proved about which device is
 * where: the identity that activation and password changes rely on.
 *
 * A device is who the last search found at an address: an id that different
 * hosts claim is a conflict, and is activated nowhere until a search finds it
 * at one address only. Safe from any thread.
 */
class DiscoveryClient
{
public:
    explicit DiscoveryClient(OnvifTransport& transport);

    /** Every device that answered, at the address it is listed at; tells the transport their ports. */
    MatrixInfoMap search();
    /** The one address the last search found deviceId at; empty when none, or when hosts disagree. */
    QString addressOf(const QString& deviceId) const;
    /** The addresses of the different hosts that claimed deviceId in the last search. */
    QStringList claimants(const QString& deviceId) const;
    /**
     * 0 when ip answers a probe as deviceId (or did in the last search) and no other host claims that id;
     * OnvifBackend::ResultIdentityConflict or ResultIdentityUnconfirmed otherwise.
     */
    int confirmIdentity(const QString& ip, const QString& deviceId);

private:
    OnvifTransport& transport;
    mutable QMutex mutex;
    /** The last search: device id -> the one address it answered at, for the ids no other host claims. */
    QMap<QString, QString> deviceIds;
    /** The last search: address -> the id it answered as. */
    QMap<QString, QString> idAt;
    /** The last search: device id -> the addresses of the different hosts that claimed it. */
    QMap<QString, QStringList> conflicts;
};

} // namespace pral_matrix
