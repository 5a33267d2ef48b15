#pragma once

#include "daemonreply.h"
#include "devicecodec.h"
#include "matrixrecords.h"

#include <QList>
#include <QString>

namespace pral_matrix {

class DaemonServiceHandler;
class SimulatedFleet;
struct DaemonEndpoint;

/**
 * @brief What the service handlers share with the daemon that dispatches to
 * them: the decoder model, the addresses it serves at, the files it keeps,
 * and how it serves (standard services only, or ours too).
 *
 * DecoderDaemon implements it; every call comes on the daemon's thread.
 */
class DaemonContext
{
public:
    virtual ~DaemonContext() = default;

    virtual SimulatedFleet& decoders() = 0;
    /** What a search tells of the decoder at ip, from the model. */
    virtual MatrixInfo info(const QString& ip) const = 0;
    /** The model's decoders changed in what a search tells. */
    virtual void refreshInfo() = 0;
    /** http://address:port + path of the endpoint. */
    virtual QString xaddr(const DaemonEndpoint& e, const QString& path) const = 0;
    /** A one-time upload or download address for purpose ("backup", "package", "restore", "firmware"). */
    virtual QString issueToken(DaemonEndpoint& e, const QString& purpose) = 0;
    /** Once the reply has been written the endpoint listens at newIp instead. */
    virtual void moveAfterReply(DaemonEndpoint& e, const QString& newIp, DaemonReply* reply) = 0;
    /** Stores a picture the decoder received; a fault reply when there is no room for it. */
    virtual bool storePicture(DaemonEndpoint& e, const QString& name, const QByteArray& data,
                              DaemonReply* refusal) = 0;
    virtual void removePictures(DaemonEndpoint& e) = 0;
    /** Sources that name an uploaded picture ("picture:NAME") get its file; false when one was never
     * uploaded.
     */
    virtual bool resolvePictures(const DaemonEndpoint& e, QList<WindowSourceInfo>* sources) const = 0;
    /** The services the endpoint offers, in the order GetServices lists them. */
    virtual QList<const DaemonServiceHandler*> services() const = 0;
    /** Every scope the decoder has: fixed (type, hardware, ours), then configurable. */
    virtual QVector<DeviceCodec::Scope> scopes(const DaemonEndpoint& e) const = 0;
    /** No extension service of ours, no private scopes: a device as any other maker's. */
    virtual bool standardOnly() const = 0;
};

} // namespace pral_matrix
