#pragma once

#include "devicediscovery.h"
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
 * Every device that answers a probe is listed. A decoder of ours says what it
 * is in scopes of ours; any other ONVIF device is described from its own
 * scopes and types and, where they say too little, from what it tells anyone
 * who asks (GetServices, GetDeviceInformation, GetUsers, without
 * credentials), always at the address it answered from. A device without a
 * video output is listed as MATRIX_TYPE_NO_OUTPUT.
 *
 * A device is who the last search found at an address: an id that different
 * hosts claim is a conflict, and is activated nowhere until a search finds it
 * at one address only. Safe from any thread.
 */
class DiscoveryClient
{
    Q_DECLARE_TR_FUNCTIONS(DiscoveryClient)

public:
    explicit DiscoveryClient(OnvifTransport& transport);

    /** Every device that answered, at the address it is listed at; tells the transport where each is. */
    MatrixInfoMap search();
    /** The one address the last search found deviceId at; empty when none, or when hosts disagree. */
    QString addressOf(const QString& deviceId) const;
    /** The addresses of the different hosts that claimed deviceId in the last search. */
    QStringList claimants(const QString& deviceId) const;
    /**
     * 0 when ip answers a probe as the device with deviceId or, for a device of any maker, with endpoint
     * (or did in the last search) and no other host claims that id; OnvifBackend::ResultIdentityConflict
     * or ResultIdentityUnconfirmed otherwise.
     */
    int confirmIdentity(const QString& ip, const QString& deviceId, const QString& endpoint);

    /** An endpoint reference as it compares: "urn:uuid:" and case dropped. */
    static QString endpointKey(const QString& endpoint);

private:
    /** Fills in what a device without our scopes did not say, asking it; false to leave it out. */
    bool describe(DeviceDiscovery::Answer* answer, QList<DeviceDiscovery::Notice>* notices);
    /** describe() for every standard answer, several at once. */
    void describeAll(QList<DeviceDiscovery::Answer>* answers, QList<DeviceDiscovery::Notice>* notices);
    DeviceDiscovery::Settings settingsFor(const QStringList& targets) const;

    OnvifTransport& transport;
    mutable QMutex mutex;
    /** The last search: device id -> the one address it answered at, for the ids no other host claims. */
    QMap<QString, QString> deviceIds;
    /** The last search: address -> the id it answered as. */
    QMap<QString, QString> idAt;
    /** The last search: address -> the endpoint key it answered with. */
    QMap<QString, QString> endpointAt;
    /** The last search: device id -> the addresses of the different hosts that claimed it. */
    QMap<QString, QStringList> conflicts;
};

} // namespace pral_matrix
