#pragma once

#include "daemonservicehandler.h"

namespace pral_matrix {

/**
 * @brief The ONVIF receiver service of a decoder (/onvif/receiver_service):
 * the sources of its windows. A receiver feeds the pane that names it
 * (DisplayServiceHandler); configuring it changes what that window shows, in
 * the same decoder model as the extension's SetWindowSource.
 */
class ReceiverServiceHandler : public DaemonServiceHandler
{
public:
    using DaemonServiceHandler::DaemonServiceHandler;

    QString ns() const override;
    QString path() const override;
    QStringList operations() const override;
    Access access(const QString& op, const DaemonEndpoint& e) const override;
    DaemonReply handle(DaemonCall& call) override;
    void writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint& e) const override;
};

} // namespace pral_matrix
