#pragma once

#include <QByteArray>
#include <QStringList>

namespace pral_matrix {

class DaemonContext;
struct DaemonEndpoint;

/**
 * @brief Answers the WS-Discovery probes that reach a decoder by unicast UDP:
 * a ProbeMatch with the decoder's types, scopes and device service address
 * when the probe asks for what it is, nothing otherwise.
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
