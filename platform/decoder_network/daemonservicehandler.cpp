#include "daemonservicehandler.h"

namespace pral_matrix {

DaemonServiceHandler::Access DaemonServiceHandler::access(const QString&, const DaemonEndpoint&) const
{
    return Access::Credentials;
}

void DaemonServiceHandler::writeCapabilities(QXmlStreamWriter&, const DaemonEndpoint&) const {}

} // namespace pral_matrix
