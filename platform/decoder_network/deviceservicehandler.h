#pragma once

#include "daemonservicehandler.h"

namespace pral_matrix {

/**
 * @brief The ONVIF device management service of a decoder
 * (/onvif/device_service): date and time, services and capabilities, the
 * device's identity (the login), users, network settings, logs, backups and
 * firmware.
 */
class DeviceServiceHandler : public DaemonServiceHandler
{
public:
    using DaemonServiceHandler::DaemonServiceHandler;

    QString ns() const override;
    QString path() const override;
    QStringList operations() const override;
    Access access(const QString& op, const DaemonEndpoint& e) const override;
    DaemonReply handle(DaemonCall& call) override;

private:
    DaemonReply systemDateAndTime() const;
    DaemonReply services(const DaemonCall& call) const;
    DaemonReply readNetwork(const DaemonCall& call);
    DaemonReply deviceInformation(const DaemonCall& call);
    DaemonReply createUsers(DaemonCall& call);
    DaemonReply setNetwork(DaemonCall& call);
};

} // namespace pral_matrix
