#include "daemonservicehandler.h"

namespace pral_matrix {

DaemonServiceHandler::Access DaemonServiceHandler::access(const QString&, const DaemonEndpoint&) const
{
    return Access::Credentials;
}

QString DaemonServiceHandler::requiredLevel(const QString& op) const
{
    return op.startsWith(QLatin1String("Get")) ? QStringLiteral("User") : QStringLiteral("Operator");
}

void DaemonServiceHandler::writeCapabilities(QXmlStreamWriter&, const DaemonEndpoint&) const {}

} // namespace pral_matrix
