#include "discoveryhandler.h"

#include "daemoncontext.h"
#include "daemonendpoint.h"
#include "wsdiscovery.h"

namespace pral_matrix {

DiscoveryHandler::DiscoveryHandler(DaemonContext& context)
    : context(context)
{
}

QStringList DiscoveryHandler::scopes(const DaemonEndpoint& e) const
{
    QStringList list;
    for (const DeviceCodec::Scope& s : context.scopes(e))
        list << s.item;
    return list;
}

QByteArray DiscoveryHandler::answer(const DaemonEndpoint& e, const QByteArray& datagram)
{
    // A decoder that was made non-discoverable stays silent to every probe.
    if (!e.discoverable)
        return QByteArray();
    WsDiscovery::Probe probe;
    QString ignored;
    const QStringList announced = scopes(e);
    if (!WsDiscovery::parseProbe(datagram, &probe, &ignored) ||
        !WsDiscovery::answers(probe, WsDiscovery::decoderTypes(), announced))
        return QByteArray();
    WsDiscovery::Match match;
    match.endpoint = QStringLiteral("urn:uuid:") + e.uuid;
    match.types = WsDiscovery::decoderTypes();
    match.scopes = announced;
    match.xaddrs = QStringList{context.xaddr(e, QStringLiteral("/onvif/device_service"))};
    match.metadataVersion = 1;
    return WsDiscovery::buildProbeMatch(probe.messageId, match, instanceId, ++messageNumber,
                                        context.standardOnly() ? SoapEnvelope::Vocabulary::StandardOnly
                                                               : SoapEnvelope::Vocabulary::WithOurs);
}

} // namespace pral_matrix
