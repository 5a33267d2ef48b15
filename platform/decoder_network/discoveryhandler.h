#pragma once

#include <QByteArray>
#include <QStringList>

namespace pral_matrix {

class DaemonContext;
struct DaemonEndpoint;

/**
 * @brief Answers the WS-Discovery probes that reach a decoder by unicast UDP:
 * a ProbeMatch with the decoder's types (tds:Device, dn:NetworkVideoDisplay),
 * scopes (ONVIF's type, hardware, name and location, and ours unless the
 * daemon serves standard services only) and device service address when the
 * probe asks for what it is; nothing otherwise, and nothing at all while the
 * decoder's discovery mode is NonDiscoverable.
 */
class DiscoveryHandler
{
public:
    explicit DiscoveryHandler(DaemonContext& context);

    /** The ProbeMatches datagram for datagram, or an empty one when there is nothing to answer. */
    QByteArray answer(const DaemonEndpoint& e, const QByteArray& datagram);
    /** The scopes the decoder announces. */
    QStringList scopes(const DaemonEndpoint& e) const;

private:
    DaemonContext& context;
    quint32 instanceId = 1;
    quint32 messageNumber = 0;
};

} // namespace pral_matrix
