#pragma once

#include "daemonservicehandler.h"

namespace pral_matrix {

/**
 * @brief The ONVIF device management service of a decoder
 * (/onvif/device_service): date and time, services and capabilities, scopes,
 * the device's identity (the login), users, host name, NTP, network settings
 * and protocols, discovery mode, reboot, logs, backups and firmware.
 *
 * GetSystemDateAndTime, GetCapabilities, GetServices, GetServiceCapabilities,
 * GetHostname, GetWsdlUrl and GetEndpointReference are open to anyone; every
 * other operation needs credentials, and every change an administrator's.
 */
class DeviceServiceHandler : public DaemonServiceHandler
{
public:
    using DaemonServiceHandler::DaemonServiceHandler;

    QString ns() const override;
    QString path() const override;
    QStringList operations() const override;
    Access access(const QString& op, const DaemonEndpoint& e) const override;
    QString requiredLevel(const QString& op) const override;
    DaemonReply handle(DaemonCall& call) override;
    void writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint& e) const override;

private:
    DaemonReply services(const DaemonCall& call) const;
    DaemonReply readNetwork(const DaemonCall& call);
    DaemonReply deviceInformation(const DaemonCall& call);
    DaemonReply createUsers(DaemonCall& call);
    DaemonReply setNetwork(DaemonCall& call);
    DaemonReply systemDateAndTime(const DaemonEndpoint& e) const;
    DaemonReply setSystemDateAndTime(DaemonCall& call);
    DaemonReply capabilities(const DaemonCall& call) const;
    DaemonReply changeScopes(DaemonCall& call);
    DaemonReply setHostname(DaemonCall& call);
    DaemonReply ntp(DaemonCall& call);
    DaemonReply networkProtocols(DaemonCall& call);
    DaemonReply users(DaemonCall& call);
};

} // namespace pral_matrix
