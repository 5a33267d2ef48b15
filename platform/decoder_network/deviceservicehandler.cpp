#include "deviceservicehandler.h"

#include "daemoncontext.h"
#include "daemonendpoint.h"
#include "daemonfields.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "simulatedfleet.h"

#include <QDateTime>
#include <QHostAddress>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;
using R = DaemonReply;

constexpr int LogDays = 30;

} // namespace

QString DeviceServiceHandler::ns() const
{
    return Ns::Device;
}

QString DeviceServiceHandler::path() const
{
    return QStringLiteral("/onvif/device_service");
}

QStringList DeviceServiceHandler::operations() const
{
    return {QStringLiteral("GetSystemDateAndTime"),
            QStringLiteral("GetServices"),
            QStringLiteral("GetNetworkInterfaces"),
            QStringLiteral("GetDNS"),
            QStringLiteral("GetNetworkDefaultGateway"),
            QStringLiteral("GetDeviceInformation"),
            QStringLiteral("CreateUsers"),
            QStringLiteral("GetUsers"),
            QStringLiteral("SetUser"),
            QStringLiteral("SetSystemFactoryDefault"),
            QStringLiteral("SetNetworkInterfaces"),
            QStringLiteral("SetDNS"),
            QStringLiteral("SetNetworkDefaultGateway"),
            QStringLiteral("GetSystemLog"),
            QStringLiteral("GetSystemUris"),
            QStringLiteral("StartSystemRestore"),
            QStringLiteral("StartFirmwareUpgrade")};
}

DaemonServiceHandler::Access DeviceServiceHandler::access(const QString& op, const DaemonEndpoint& e) const
{
    // Our access policy lets anyone on the segment read the addressing, as search tools need.
    static const QStringList open = {QStringLiteral("GetSystemDateAndTime"), QStringLiteral("GetServices"),
                                     QStringLiteral("GetNetworkInterfaces"), QStringLiteral("GetDNS"),
                                     QStringLiteral("GetNetworkDefaultGateway")};
    if (open.contains(op))
        return Access::Anyone;
    if (op == QLatin1String("GetDeviceInformation"))
        return Access::Login;
    // Activation: the first user of a device in its factory state.
    if (op == QLatin1String("CreateUsers") && !e.activated)
        return Access::Anyone;
    return Access::Credentials;
}

DaemonReply DeviceServiceHandler::handle(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const XmlNode& req = call.request;
    const QString& op = call.op;
    const QString ip = e.ip;
    SimulatedFleet& model = context.decoders();
    const QString response = op + QStringLiteral("Response");

    if (op == QLatin1String("GetSystemDateAndTime"))
        return systemDateAndTime();
    if (op == QLatin1String("GetServices"))
        return services(call);
    if (op == QLatin1String("GetNetworkInterfaces") || op == QLatin1String("GetDNS") ||
        op == QLatin1String("GetNetworkDefaultGateway"))
        return readNetwork(call);
    if (op == QLatin1String("GetDeviceInformation"))
        return deviceInformation(call);
    if (op == QLatin1String("CreateUsers"))
        return createUsers(call);
    if (op == QLatin1String("GetUsers")) {
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("User"));
            S::writeText(w, Ns::Schema, QStringLiteral("Username"), e.user);
            S::writeText(w, Ns::Schema, QStringLiteral("UserLevel"), QStringLiteral("Administrator"));
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("SetUser")) {
        const XmlNode& user = req.child(Ns::Device, QStringLiteral("User"));
        const QString password = user.childText(Ns::Schema, QStringLiteral("Password"));
        const int result = model.changePassword(ip, user.childText(Ns::Schema, QStringLiteral("Username")),
                                                e.password, password);
        if (result == RESULT_OK)
            e.password = password;
        return R::done(result, Ns::Device, op);
    }
    if (op == QLatin1String("SetSystemFactoryDefault")) {
        const int result = model.factoryReset(ip);
        if (result == RESULT_OK) {
            e.activated = false;
            e.password.clear();
            context.removePictures(e);
            context.refreshInfo();
        }
        return R::done(result, Ns::Device, op);
    }
    if (op == QLatin1String("SetNetworkInterfaces") || op == QLatin1String("SetDNS") ||
        op == QLatin1String("SetNetworkDefaultGateway"))
        return setNetwork(call);
    if (op == QLatin1String("GetSystemLog")) {
        const QString type = req.childText(Ns::Device, QStringLiteral("LogType"));
        QStringList lines;
        const QDateTime now = QDateTime::currentDateTime();
        const int result = model.getLog(ip, now.addDays(-LogDays), now,
                                        type == QLatin1String("Access") ? 2 : 0, QString(), &lines);
        if (result != RESULT_OK)
            return R::failed(result);
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("SystemLog"));
            S::writeText(w, Ns::Schema, QStringLiteral("String"), lines.join(QLatin1Char('\n')));
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("GetSystemUris")) {
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("SupportInfoUri"),
                         context.xaddr(e, QStringLiteral("/files/") +
                                              context.issueToken(e, QStringLiteral("package"))));
            S::writeText(w, Ns::Device, QStringLiteral("SystemBackupUri"),
                         context.xaddr(e, QStringLiteral("/files/") +
                                              context.issueToken(e, QStringLiteral("backup"))));
        });
    }
    if (op == QLatin1String("StartSystemRestore") || op == QLatin1String("StartFirmwareUpgrade")) {
        const bool firmware = op == QLatin1String("StartFirmwareUpgrade");
        const QString token =
            context.issueToken(e, firmware ? QStringLiteral("firmware") : QStringLiteral("restore"));
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("UploadUri"),
                         context.xaddr(e, QStringLiteral("/upload/") + token));
            if (firmware)
                S::writeText(w, Ns::Device, QStringLiteral("UploadDelay"), QStringLiteral("PT0S"));
            S::writeText(w, Ns::Device, QStringLiteral("ExpectedDownTime"), QStringLiteral("PT0S"));
        });
    }
    return R::notSupported();
}

DaemonReply DeviceServiceHandler::systemDateAndTime() const
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return R::soap(Ns::Device, QStringLiteral("GetSystemDateAndTimeResponse"), [&](QXmlStreamWriter& w) {
        w.writeStartElement(Ns::Device, QStringLiteral("SystemDateAndTime"));
        S::writeText(w, Ns::Schema, QStringLiteral("DateTimeType"), QStringLiteral("Manual"));
        S::writeText(w, Ns::Schema, QStringLiteral("DaylightSavings"), QStringLiteral("false"));
        w.writeStartElement(Ns::Schema, QStringLiteral("TimeZone"));
        S::writeText(w, Ns::Schema, QStringLiteral("TZ"), QStringLiteral("UTC0"));
        w.writeEndElement();
        w.writeStartElement(Ns::Schema, QStringLiteral("UTCDateTime"));
        w.writeStartElement(Ns::Schema, QStringLiteral("Time"));
        S::writeInt(w, Ns::Schema, QStringLiteral("Hour"), now.time().hour());
        S::writeInt(w, Ns::Schema, QStringLiteral("Minute"), now.time().minute());
        S::writeInt(w, Ns::Schema, QStringLiteral("Second"), now.time().second());
        w.writeEndElement();
        w.writeStartElement(Ns::Schema, QStringLiteral("Date"));
        S::writeInt(w, Ns::Schema, QStringLiteral("Year"), now.date().year());
        S::writeInt(w, Ns::Schema, QStringLiteral("Month"), now.date().month());
        S::writeInt(w, Ns::Schema, QStringLiteral("Day"), now.date().day());
        w.writeEndElement();
        w.writeEndElement();
        w.writeEndElement();
    });
}

DaemonReply DeviceServiceHandler::services(const DaemonCall& call) const
{
    const bool withCapabilities =
        call.request.childText(Ns::Device, QStringLiteral("IncludeCapability")) == QLatin1String("true");
    return R::soap(Ns::Device, QStringLiteral("GetServicesResponse"), [&](QXmlStreamWriter& w) {
        for (const DaemonServiceHandler* s : context.services()) {
            w.writeStartElement(Ns::Device, QStringLiteral("Service"));
            S::writeText(w, Ns::Device, QStringLiteral("Namespace"), s->ns());
            S::writeText(w, Ns::Device, QStringLiteral("XAddr"), context.xaddr(call.endpoint, s->path()));
            if (withCapabilities) {
                QByteArray capabilities;
                {
                    QXmlStreamWriter probe(&capabilities);
                    s->writeCapabilities(probe, call.endpoint);
                }
                if (!capabilities.isEmpty()) {
                    w.writeStartElement(Ns::Device, QStringLiteral("Capabilities"));
                    s->writeCapabilities(w, call.endpoint);
                    w.writeEndElement();
                }
            }
            w.writeStartElement(Ns::Device, QStringLiteral("Version"));
            S::writeInt(w, Ns::Schema, QStringLiteral("Major"), 2);
            S::writeInt(w, Ns::Schema, QStringLiteral("Minor"), 60);
            w.writeEndElement();
            w.writeEndElement();
        }
    });
}

DaemonReply DeviceServiceHandler::readNetwork(const DaemonCall& call)
{
    const QString& op = call.op;
    const QString ip = call.endpoint.ip;
    DeviceNetworkCfg_t cfg{};
    const int result = context.decoders().getNetwork(ip, &cfg);
    if (result != RESULT_OK)
        return R::failed(result);
    return R::soap(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
        if (op == QLatin1String("GetDNS")) {
            w.writeStartElement(Ns::Device, QStringLiteral("DNSInformation"));
            S::writeText(w, Ns::Schema, QStringLiteral("FromDHCP"), QStringLiteral("false"));
            const QString dns = DaemonFields::text(cfg.dns, sizeof cfg.dns);
            if (!dns.isEmpty()) {
                w.writeStartElement(Ns::Schema, QStringLiteral("DNSManual"));
                S::writeText(w, Ns::Schema, QStringLiteral("Type"), QStringLiteral("IPv4"));
                S::writeText(w, Ns::Schema, QStringLiteral("IPv4Address"), dns);
                w.writeEndElement();
            }
            w.writeEndElement();
            return;
        }
        if (op == QLatin1String("GetNetworkDefaultGateway")) {
            w.writeStartElement(Ns::Device, QStringLiteral("NetworkGateway"));
            const QString v4 = DaemonFields::text(cfg.ipv4Gateway, sizeof cfg.ipv4Gateway);
            const QString v6 = DaemonFields::text(cfg.ipv6Gateway, sizeof cfg.ipv6Gateway);
            if (!v4.isEmpty())
                S::writeText(w, Ns::Schema, QStringLiteral("IPv4Address"), v4);
            if (!v6.isEmpty())
                S::writeText(w, Ns::Schema, QStringLiteral("IPv6Address"), v6);
            w.writeEndElement();
            return;
        }
        w.writeStartElement(Ns::Device, QStringLiteral("NetworkInterfaces"));
        w.writeAttribute(QStringLiteral("token"), QStringLiteral("eth0"));
        S::writeText(w, Ns::Schema, QStringLiteral("Enabled"), QStringLiteral("true"));
        w.writeStartElement(Ns::Schema, QStringLiteral("Info"));
        S::writeText(w, Ns::Schema, QStringLiteral("Name"), QStringLiteral("eth0"));
        const quint32 a = QHostAddress(ip).toIPv4Address();
        S::writeText(w, Ns::Schema, QStringLiteral("HwAddress"),
                     QString::asprintf("02:00:%02x:%02x:%02x:%02x", (a >> 24) & 255, (a >> 16) & 255,
                                       (a >> 8) & 255, a & 255));
        S::writeInt(w, Ns::Schema, QStringLiteral("MTU"), 1500);
        w.writeEndElement();
        w.writeStartElement(Ns::Schema, QStringLiteral("IPv4"));
        S::writeText(w, Ns::Schema, QStringLiteral("Enabled"), QStringLiteral("true"));
        w.writeStartElement(Ns::Schema, QStringLiteral("Config"));
        w.writeStartElement(Ns::Schema, QStringLiteral("Manual"));
        S::writeText(w, Ns::Schema, QStringLiteral("Address"),
                     DaemonFields::text(cfg.ipv4Addr, sizeof cfg.ipv4Addr));
        S::writeInt(w, Ns::Schema, QStringLiteral("PrefixLength"),
                    OnvifCodec::prefixLength(DaemonFields::text(cfg.ipv4Mask, sizeof cfg.ipv4Mask)));
        w.writeEndElement();
        S::writeText(w, Ns::Schema, QStringLiteral("DHCP"), QStringLiteral("false"));
        w.writeEndElement();
        w.writeEndElement();
        const QString v6 = DaemonFields::text(cfg.ipv6Addr, sizeof cfg.ipv6Addr);
        w.writeStartElement(Ns::Schema, QStringLiteral("IPv6"));
        S::writeText(w, Ns::Schema, QStringLiteral("Enabled"),
                     v6.isEmpty() ? QStringLiteral("false") : QStringLiteral("true"));
        w.writeStartElement(Ns::Schema, QStringLiteral("Config"));
        S::writeText(w, Ns::Schema, QStringLiteral("AcceptRouterAdvert"), QStringLiteral("false"));
        if (!v6.isEmpty()) {
            w.writeStartElement(Ns::Schema, QStringLiteral("Manual"));
            S::writeText(w, Ns::Schema, QStringLiteral("Address"), v6);
            S::writeInt(w, Ns::Schema, QStringLiteral("PrefixLength"), cfg.ipv6PrefixLen);
            w.writeEndElement();
        }
        S::writeText(w, Ns::Schema, QStringLiteral("DHCP"), QStringLiteral("Off"));
        w.writeEndElement();
        w.writeEndElement();
        w.writeEndElement();
    });
}

DaemonReply DeviceServiceHandler::deviceInformation(const DaemonCall& call)
{
    // The dispatcher logged in (the model counts wrong passwords and locks); this is what a login reads.
    const MatrixInfo d = context.info(call.endpoint.ip);
    const SimulatedDecoder* decoder = context.decoders().decoder(call.endpoint.ip);
    const int type = decoder ? decoder->type() : int(d.matrixType);
    return R::soap(Ns::Device, QStringLiteral("GetDeviceInformationResponse"), [&](QXmlStreamWriter& w) {
        S::writeText(w, Ns::Device, QStringLiteral("Manufacturer"), QStringLiteral("tvwall"));
        S::writeText(w, Ns::Device, QStringLiteral("Model"),
                     QStringLiteral("decoder-%1x%2").arg(type).arg(d.channelCount));
        S::writeText(w, Ns::Device, QStringLiteral("FirmwareVersion"),
                     decoder ? decoder->version() : d.version);
        S::writeText(w, Ns::Device, QStringLiteral("SerialNumber"), d.deviceId);
        S::writeText(w, Ns::Device, QStringLiteral("HardwareId"), QStringLiteral("TVD-%1").arg(type));
    });
}

DaemonReply DeviceServiceHandler::createUsers(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    if (e.activated)
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("OperationProhibited"),
                        QStringLiteral("One user only"), RESULT_ALREADY_ACTIVE);
    const XmlNode& user = call.request.child(Ns::Device, QStringLiteral("User"));
    const QString password = user.childText(Ns::Schema, QStringLiteral("Password"));
    const int result = context.decoders().activate(context.info(e.ip).deviceId, password);
    if (result == RESULT_BAD_ARGUMENT)
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("Password"),
                        QStringLiteral("Too weak password"), result);
    if (result == RESULT_OK) {
        e.activated = true;
        e.password = password;
        context.refreshInfo();
    }
    return R::done(result, Ns::Device, call.op);
}

DaemonReply DeviceServiceHandler::setNetwork(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const XmlNode& req = call.request;
    const QString& op = call.op;
    const QString ip = e.ip;
    SimulatedFleet& model = context.decoders();
    DeviceNetworkCfg_t cfg{};
    int result = model.getNetwork(ip, &cfg);
    if (result != RESULT_OK)
        return R::failed(result);
    if (op == QLatin1String("SetDNS")) {
        DaemonFields::put(cfg.dns, req.child(Ns::Device, QStringLiteral("DNSManual"))
                                       .childText(Ns::Schema, QStringLiteral("IPv4Address")));
    } else if (op == QLatin1String("SetNetworkDefaultGateway")) {
        DaemonFields::put(cfg.ipv4Gateway, req.childText(Ns::Device, QStringLiteral("IPv4Address")));
        DaemonFields::put(cfg.ipv6Gateway, req.childText(Ns::Device, QStringLiteral("IPv6Address")));
    } else {
        const XmlNode& nic = req.child(Ns::Device, QStringLiteral("NetworkInterface"));
        const XmlNode& v4 =
            nic.child(Ns::Schema, QStringLiteral("IPv4")).child(Ns::Schema, QStringLiteral("Manual"));
        const XmlNode& v6 = nic.child(Ns::Schema, QStringLiteral("IPv6"));
        const QString address = v4.childText(Ns::Schema, QStringLiteral("Address"));
        // Only a loopback address can be served here.
        if (!DaemonFields::isLoopback(address))
            return R::failed(RESULT_BAD_ARGUMENT);
        DaemonFields::put(cfg.ipv4Addr, address);
        DaemonFields::put(cfg.ipv4Mask, OnvifCodec::maskFromPrefix(
                                            v4.childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1)));
        const bool v6On = v6.childText(Ns::Schema, QStringLiteral("Enabled")) == QLatin1String("true");
        const XmlNode& v6Manual = v6.child(Ns::Schema, QStringLiteral("Manual"));
        DaemonFields::put(cfg.ipv6Addr,
                          v6On ? v6Manual.childText(Ns::Schema, QStringLiteral("Address")) : QString());
        cfg.ipv6PrefixLen = v6On ? v6Manual.childInt(Ns::Schema, QStringLiteral("PrefixLength"), 0) : 0;
    }
    QString newIp;
    result = model.setNetwork(ip, e.user, e.password, cfg, &newIp);
    if (result != RESULT_OK)
        return R::failed(result);
    DaemonReply reply = R::soap(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
        if (op == QLatin1String("SetNetworkInterfaces"))
            S::writeText(w, Ns::Device, QStringLiteral("RebootNeeded"), QStringLiteral("false"));
    });
    context.refreshInfo();
    // The decoder moves once it has answered from where it was.
    if (newIp != ip)
        context.moveAfterReply(e, newIp, &reply);
    return reply;
}

} // namespace pral_matrix
