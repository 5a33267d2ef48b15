#include "deviceservicehandler.h"

#include "daemoncontext.h"
#include "daemonendpoint.h"
#include "daemonfields.h"
#include "devicecodec.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "simulatedfleet.h"

#include <QDateTime>
#include <QHostAddress>
#include <QRegularExpression>
#include <QUrl>

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
            QStringLiteral("SetSystemDateAndTime"),
            QStringLiteral("GetCapabilities"),
            QStringLiteral("GetServices"),
            QStringLiteral("GetServiceCapabilities"),
            QStringLiteral("GetWsdlUrl"),
            QStringLiteral("GetEndpointReference"),
            QStringLiteral("GetScopes"),
            QStringLiteral("SetScopes"),
            QStringLiteral("AddScopes"),
            QStringLiteral("RemoveScopes"),
            QStringLiteral("GetHostname"),
            QStringLiteral("SetHostname"),
            QStringLiteral("GetNTP"),
            QStringLiteral("SetNTP"),
            QStringLiteral("GetNetworkProtocols"),
            QStringLiteral("SetNetworkProtocols"),
            QStringLiteral("GetDiscoveryMode"),
            QStringLiteral("SetDiscoveryMode"),
            QStringLiteral("SystemReboot"),
            QStringLiteral("GetNetworkInterfaces"),
            QStringLiteral("GetDNS"),
            QStringLiteral("GetNetworkDefaultGateway"),
            QStringLiteral("GetDeviceInformation"),
            QStringLiteral("CreateUsers"),
            QStringLiteral("DeleteUsers"),
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
    // What ONVIF lets anyone ask: enough to find the device's clock, services and name, nothing of its
    // settings.
    static const QStringList open = {
        QStringLiteral("GetSystemDateAndTime"), QStringLiteral("GetCapabilities"),
        QStringLiteral("GetServices"),          QStringLiteral("GetServiceCapabilities"),
        QStringLiteral("GetHostname"),          QStringLiteral("GetWsdlUrl"),
        QStringLiteral("GetEndpointReference")};
    if (open.contains(op))
        return Access::Anyone;
    if (op == QLatin1String("GetDeviceInformation"))
        return Access::Login;
    // Activation: the first user of a device in its factory state.
    if (op == QLatin1String("CreateUsers") && !e.activated)
        return Access::Anyone;
    return Access::Credentials;
}

QString DeviceServiceHandler::requiredLevel(const QString& op) const
{
    static const QStringList secrets = {QStringLiteral("GetUsers"), QStringLiteral("GetSystemUris"),
                                        QStringLiteral("GetSystemLog")};
    return op.startsWith(QLatin1String("Get")) && !secrets.contains(op) ? QStringLiteral("User")
                                                                        : QStringLiteral("Administrator");
}

void DeviceServiceHandler::writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint&) const
{
    DeviceCodec::writeDeviceServiceCapabilities(w);
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
        return systemDateAndTime(e);
    if (op == QLatin1String("SetSystemDateAndTime"))
        return setSystemDateAndTime(call);
    if (op == QLatin1String("GetCapabilities"))
        return capabilities(call);
    if (op == QLatin1String("GetServiceCapabilities"))
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) { writeCapabilities(w, e); });
    if (op == QLatin1String("GetWsdlUrl"))
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("WsdlUrl"),
                         QStringLiteral("http://www.onvif.org/ver10/device/wsdl/devicemgmt.wsdl"));
        });
    if (op == QLatin1String("GetEndpointReference"))
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("GUID"), QStringLiteral("urn:uuid:") + e.uuid);
        });
    if (op == QLatin1String("GetScopes"))
        return R::soap(Ns::Device, response,
                       [&](QXmlStreamWriter& w) { DeviceCodec::writeScopes(w, context.scopes(e)); });
    if (op == QLatin1String("SetScopes") || op == QLatin1String("AddScopes") ||
        op == QLatin1String("RemoveScopes"))
        return changeScopes(call);
    if (op == QLatin1String("GetHostname"))
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("HostnameInformation"));
            S::writeText(w, Ns::Schema, QStringLiteral("FromDHCP"), QStringLiteral("false"));
            S::writeText(w, Ns::Schema, QStringLiteral("Name"), e.hostname);
            w.writeEndElement();
        });
    if (op == QLatin1String("SetHostname"))
        return setHostname(call);
    if (op == QLatin1String("GetNTP") || op == QLatin1String("SetNTP"))
        return ntp(call);
    if (op == QLatin1String("GetNetworkProtocols") || op == QLatin1String("SetNetworkProtocols"))
        return networkProtocols(call);
    if (op == QLatin1String("GetDiscoveryMode"))
        return R::soap(Ns::Device, response, [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("DiscoveryMode"),
                         e.discoverable ? QStringLiteral("Discoverable") : QStringLiteral("NonDiscoverable"));
        });
    if (op == QLatin1String("SetDiscoveryMode")) {
        const QString mode = req.childText(Ns::Device, QStringLiteral("DiscoveryMode")).trimmed();
        if (mode != QLatin1String("Discoverable") && mode != QLatin1String("NonDiscoverable"))
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"),
                            QStringLiteral("The discovery mode is Discoverable or NonDiscoverable"),
                            RESULT_BAD_ARGUMENT);
        e.discoverable = mode == QLatin1String("Discoverable");
        return R::soap(Ns::Device, response);
    }
    if (op == QLatin1String("SystemReboot")) {
        // The decoder restarts once it has answered: its sessions end and it is silent for a while.
        DaemonReply reply = R::soap(Ns::Device, response, [](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("Message"), QStringLiteral("Rebooting"));
        });
        SimulatedFleet* fleet = &model;
        reply.after = [fleet, ip] {
            fleet->restartDecoder(ip);
        };
        return reply;
    }
    if (op == QLatin1String("DeleteUsers") || (op == QLatin1String("CreateUsers") && e.activated) ||
        (op == QLatin1String("SetUser") &&
         req.child(Ns::Device, QStringLiteral("User")).childText(Ns::Schema, QStringLiteral("Username")) !=
             e.user))
        return users(call);
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
            DeviceCodec::writeUsers(
                w,
                QVector<DeviceCodec::User>{{e.user, QString(), QStringLiteral("Administrator")}} + e.users);
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

DaemonReply DeviceServiceHandler::systemDateAndTime(const DaemonEndpoint& e) const
{
    const QDateTime now = QDateTime::currentDateTimeUtc().addMSecs(e.clockOffsetMs);
    return R::soap(Ns::Device, QStringLiteral("GetSystemDateAndTimeResponse"), [&](QXmlStreamWriter& w) {
        w.writeStartElement(Ns::Device, QStringLiteral("SystemDateAndTime"));
        S::writeText(w, Ns::Schema, QStringLiteral("DateTimeType"),
                     e.timeFromNtp ? QStringLiteral("NTP") : QStringLiteral("Manual"));
        S::writeText(w, Ns::Schema, QStringLiteral("DaylightSavings"), QStringLiteral("false"));
        w.writeStartElement(Ns::Schema, QStringLiteral("TimeZone"));
        S::writeText(w, Ns::Schema, QStringLiteral("TZ"), e.timeZone);
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
        // What firmware images must be made for, as in the process.
        S::writeText(w, Ns::Device, QStringLiteral("Model"),
                     decoder ? decoder->model()
                             : QStringLiteral("decoder-%1x%2").arg(type).arg(d.channelCount));
        S::writeText(w, Ns::Device, QStringLiteral("FirmwareVersion"),
                     decoder ? decoder->version() : d.version);
        S::writeText(w, Ns::Device, QStringLiteral("SerialNumber"), d.deviceId);
        S::writeText(w, Ns::Device, QStringLiteral("HardwareId"), QStringLiteral("TVD-%1").arg(type));
    });
}

DaemonReply DeviceServiceHandler::createUsers(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
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

DaemonReply DeviceServiceHandler::setSystemDateAndTime(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const XmlNode& req = call.request;
    const QString type = req.childText(Ns::Device, QStringLiteral("DateTimeType")).trimmed();
    if (type != QLatin1String("Manual") && type != QLatin1String("NTP"))
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"),
                        QStringLiteral("The date and time type is Manual or NTP"), RESULT_BAD_ARGUMENT);
    const XmlNode& zone = req.child(Ns::Device, QStringLiteral("TimeZone"));
    const QString tz = zone.childText(Ns::Schema, QStringLiteral("TZ")).trimmed();
    // A POSIX time zone: a name of letters and an offset, a few dozen characters at most.
    static const QRegularExpression posix(QStringLiteral("^[A-Za-z<>+\\-0-9:,./]{3,64}$"));
    if (!zone.isNull() && !posix.match(tz).hasMatch())
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidTimeZone"),
                        QStringLiteral("The time zone is not a POSIX one"), RESULT_BAD_ARGUMENT);
    QDateTime set;
    if (type == QLatin1String("Manual")) {
        const XmlNode& utc = req.child(Ns::Device, QStringLiteral("UTCDateTime"));
        const XmlNode& d = utc.child(Ns::Schema, QStringLiteral("Date"));
        const XmlNode& t = utc.child(Ns::Schema, QStringLiteral("Time"));
        set = QDateTime(QDate(d.childInt(Ns::Schema, QStringLiteral("Year"), 0),
                              d.childInt(Ns::Schema, QStringLiteral("Month"), 0),
                              d.childInt(Ns::Schema, QStringLiteral("Day"), 0)),
                        QTime(t.childInt(Ns::Schema, QStringLiteral("Hour"), -1),
                              t.childInt(Ns::Schema, QStringLiteral("Minute"), -1),
                              t.childInt(Ns::Schema, QStringLiteral("Second"), -1)),
                        Qt::UTC);
        if (!set.isValid() || set.date().year() < 1970 || set.date().year() > 2100)
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidDateTime"),
                            QStringLiteral("The date and time are not valid"), RESULT_BAD_ARGUMENT);
    }
    e.timeFromNtp = type == QLatin1String("NTP");
    if (!zone.isNull())
        e.timeZone = tz;
    // Set by NTP, the clock is ours again.
    e.clockOffsetMs = set.isValid() ? QDateTime::currentDateTimeUtc().msecsTo(set) : 0;
    return R::soap(Ns::Device, call.op + QStringLiteral("Response"));
}

DaemonReply DeviceServiceHandler::capabilities(const DaemonCall& call) const
{
    const QString category = call.request.childText(Ns::Device, QStringLiteral("Category")).trimmed();
    if (!category.isEmpty() && category != QLatin1String("All") && category != QLatin1String("Device"))
        return R::fault(500, QStringLiteral("Receiver"), QStringLiteral("ActionNotSupported/NoSuchService"),
                        QStringLiteral("The decoder has no %1 service").arg(category.left(40)),
                        RESULT_UNSUPPORTED);
    DeviceCodec::XAddrs xaddrs;
    for (const DaemonServiceHandler* s : context.services()) {
        if (s->ns() == Ns::Device || category != QLatin1String("Device"))
            xaddrs.insert(s->ns(), context.xaddr(call.endpoint, s->path()));
    }
    return R::soap(Ns::Device, QStringLiteral("GetCapabilitiesResponse"),
                   [&](QXmlStreamWriter& w) { DeviceCodec::writeCapabilities(w, xaddrs, 1); });
}

DaemonReply DeviceServiceHandler::changeScopes(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const QString& op = call.op;
    QStringList items;
    QString why;
    if (!DeviceCodec::readScopeItems(call.request, &items, &why))
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"), why,
                        RESULT_BAD_ARGUMENT);
    QStringList fixed;
    for (const DeviceCodec::Scope& s : context.scopes(e)) {
        if (s.fixed)
            fixed << s.item;
    }
    QStringList next = e.configurableScopes;
    if (op == QLatin1String("RemoveScopes")) {
        for (const QString& item : qAsConst(items)) {
            if (fixed.contains(item))
                return R::fault(400, QStringLiteral("Sender"),
                                QStringLiteral("OperationProhibited/FixedScope"),
                                QStringLiteral("The scope %1 is fixed").arg(item), RESULT_BAD_ARGUMENT);
            if (!next.removeOne(item))
                return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/NoScope"),
                                QStringLiteral("The decoder has no scope %1").arg(item), RESULT_BAD_ARGUMENT);
        }
    } else {
        for (const QString& item : qAsConst(items)) {
            if (fixed.contains(item))
                return R::fault(400, QStringLiteral("Sender"),
                                QStringLiteral("OperationProhibited/ScopeOverwrite"),
                                QStringLiteral("The scope %1 is fixed").arg(item), RESULT_BAD_ARGUMENT);
        }
        if (op == QLatin1String("SetScopes"))
            next = items;
        else
            for (const QString& item : qAsConst(items)) {
                if (!next.contains(item))
                    next << item;
            }
        if (fixed.size() + next.size() > DeviceCodec::MaxScopes)
            return R::fault(500, QStringLiteral("Receiver"), QStringLiteral("Action/TooManyScopes"),
                            QStringLiteral("The decoder keeps %1 scopes at most").arg(DeviceCodec::MaxScopes),
                            RESULT_BAD_ARGUMENT);
    }
    e.configurableScopes = next;
    return R::soap(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
        // RemoveScopes names what it removed.
        if (op == QLatin1String("RemoveScopes"))
            for (const QString& item : qAsConst(items))
                S::writeText(w, Ns::Device, QStringLiteral("ScopeItem"), item);
    });
}

DaemonReply DeviceServiceHandler::setHostname(DaemonCall& call)
{
    const QString name = call.request.childText(Ns::Device, QStringLiteral("Name")).trimmed();
    // RFC 1123: labels of letters, digits and hyphens, 63 characters at most, not starting or ending with a
    // hyphen; 253 in all.
    static const QRegularExpression host(
        QStringLiteral("^(?=.{1,253}$)([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(\\.[A-Za-z0-9]([A-Za-z0-"
                       "9-]{0,61}[A-Za-z0-9])?)*$"));
    if (!host.match(name).hasMatch())
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidHostname"),
                        QStringLiteral("The host name is not valid"), RESULT_BAD_ARGUMENT);
    call.endpoint.hostname = name;
    return R::soap(Ns::Device, call.op + QStringLiteral("Response"));
}

DaemonReply DeviceServiceHandler::ntp(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    if (call.op == QLatin1String("GetNTP")) {
        return R::soap(Ns::Device, QStringLiteral("GetNTPResponse"), [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("NTPInformation"));
            S::writeText(w, Ns::Schema, QStringLiteral("FromDHCP"),
                         e.ntpFromDhcp ? QStringLiteral("true") : QStringLiteral("false"));
            for (const QString& server : qAsConst(e.ntpServers)) {
                QHostAddress address;
                const bool isAddress = address.setAddress(server);
                const bool v6 = isAddress && address.protocol() == QAbstractSocket::IPv6Protocol;
                w.writeStartElement(Ns::Schema, QStringLiteral("NTPManual"));
                S::writeText(w, Ns::Schema, QStringLiteral("Type"),
                             !isAddress ? QStringLiteral("DNS")
                             : v6       ? QStringLiteral("IPv6")
                                        : QStringLiteral("IPv4"));
                S::writeText(w, Ns::Schema,
                             !isAddress ? QStringLiteral("DNSname")
                             : v6       ? QStringLiteral("IPv6Address")
                                        : QStringLiteral("IPv4Address"),
                             server);
                w.writeEndElement();
            }
            w.writeEndElement();
        });
    }
    constexpr int MaxServers = 4;
    QStringList servers;
    const QVector<const XmlNode*> manual = call.request.all(Ns::Device, QStringLiteral("NTPManual"));
    if (manual.size() > MaxServers)
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/TooManyNTPServers"),
                        QStringLiteral("The decoder keeps %1 NTP servers at most").arg(MaxServers),
                        RESULT_BAD_ARGUMENT);
    static const QRegularExpression dnsName(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]{0,251}[A-Za-z0-9])?$"));
    for (const XmlNode* host : manual) {
        const QString type = host->childText(Ns::Schema, QStringLiteral("Type")).trimmed();
        QString value;
        bool ok = false;
        QHostAddress address;
        if (type == QLatin1String("IPv4")) {
            value = host->childText(Ns::Schema, QStringLiteral("IPv4Address")).trimmed();
            ok = address.setAddress(value) && address.protocol() == QAbstractSocket::IPv4Protocol;
            if (!ok)
                return R::fault(
                    400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidIPv4Address"),
                    QStringLiteral("The address %1 is not IPv4").arg(value.left(60)), RESULT_BAD_ARGUMENT);
        } else if (type == QLatin1String("IPv6")) {
            value = host->childText(Ns::Schema, QStringLiteral("IPv6Address")).trimmed();
            ok = address.setAddress(value) && address.protocol() == QAbstractSocket::IPv6Protocol;
            if (!ok)
                return R::fault(
                    400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidIPv6Address"),
                    QStringLiteral("The address %1 is not IPv6").arg(value.left(60)), RESULT_BAD_ARGUMENT);
        } else {
            value = host->childText(Ns::Schema, QStringLiteral("DNSname")).trimmed();
            if (type != QLatin1String("DNS") || !dnsName.match(value).hasMatch())
                return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidDnsName"),
                                QStringLiteral("The NTP server %1 is not valid").arg(value.left(60)),
                                RESULT_BAD_ARGUMENT);
        }
        servers << value;
    }
    e.ntpFromDhcp =
        call.request.childText(Ns::Device, QStringLiteral("FromDHCP")).trimmed() == QLatin1String("true");
    e.ntpServers = servers;
    return R::soap(Ns::Device, QStringLiteral("SetNTPResponse"));
}

DaemonReply DeviceServiceHandler::networkProtocols(DaemonCall& call)
{
    const int port = QUrl(context.xaddr(call.endpoint, path())).port();
    if (call.op == QLatin1String("GetNetworkProtocols")) {
        return R::soap(Ns::Device, QStringLiteral("GetNetworkProtocolsResponse"), [&](QXmlStreamWriter& w) {
            const QList<QPair<QString, bool>> protocols = {{QStringLiteral("HTTP"), true},
                                                           {QStringLiteral("HTTPS"), false},
                                                           {QStringLiteral("RTSP"), false}};
            for (const auto& p : protocols) {
                w.writeStartElement(Ns::Device, QStringLiteral("NetworkProtocols"));
                S::writeText(w, Ns::Schema, QStringLiteral("Name"), p.first);
                S::writeText(w, Ns::Schema, QStringLiteral("Enabled"),
                             p.second ? QStringLiteral("true") : QStringLiteral("false"));
                S::writeInt(w, Ns::Schema, QStringLiteral("Port"),
                            p.first == QLatin1String("HTTP")    ? port
                            : p.first == QLatin1String("HTTPS") ? 443
                                                                : 554);
                w.writeEndElement();
            }
        });
    }
    // The daemon serves plain HTTP on one port for the whole fleet: what would change that is refused.
    for (const XmlNode* p : call.request.all(Ns::Device, QStringLiteral("NetworkProtocols"))) {
        const QString name = p->childText(Ns::Schema, QStringLiteral("Name")).trimmed();
        const bool enabled =
            p->childText(Ns::Schema, QStringLiteral("Enabled")).trimmed() == QLatin1String("true");
        QList<int> ports;
        for (const XmlNode* n : p->all(Ns::Schema, QStringLiteral("Port")))
            ports << n->text.trimmed().toInt();
        if (name == QLatin1String("HTTP") && (!enabled || (!ports.isEmpty() && ports != QList<int>{port})))
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/PortAlreadyInUse"),
                            QStringLiteral("HTTP stays on port %1").arg(port), RESULT_BAD_ARGUMENT);
        if ((name == QLatin1String("HTTPS") || name == QLatin1String("RTSP")) && enabled)
            return R::fault(400, QStringLiteral("Sender"),
                            QStringLiteral("InvalidArgVal/ServiceNotSupported"),
                            QStringLiteral("The decoder does not serve %1").arg(name), RESULT_UNSUPPORTED);
        if (name != QLatin1String("HTTP") && name != QLatin1String("HTTPS") && name != QLatin1String("RTSP"))
            return R::fault(400, QStringLiteral("Sender"),
                            QStringLiteral("InvalidArgVal/ServiceNotSupported"),
                            QStringLiteral("No protocol %1").arg(name.left(40)), RESULT_UNSUPPORTED);
    }
    return R::soap(Ns::Device, QStringLiteral("SetNetworkProtocolsResponse"));
}

DaemonReply DeviceServiceHandler::users(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const QString& op = call.op;
    const auto index = [&e](const QString& name) {
        for (int i = 0; i < e.users.size(); ++i) {
            if (e.users.at(i).name == name)
                return i;
        }
        return -1;
    };
    if (op == QLatin1String("DeleteUsers")) {
        QStringList names;
        for (const XmlNode* n : call.request.all(Ns::Device, QStringLiteral("Username")))
            names << n->text;
        for (const QString& name : qAsConst(names)) {
            if (name == e.user)
                return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/FixedUser"),
                                QStringLiteral("The administrator cannot be deleted"), RESULT_BAD_ARGUMENT);
            if (index(name) < 0)
                return R::fault(400, QStringLiteral("Sender"),
                                QStringLiteral("InvalidArgVal/UsernameMissing"),
                                QStringLiteral("No user %1").arg(name.left(40)), RESULT_BAD_ARGUMENT);
        }
        for (const QString& name : qAsConst(names))
            e.users.remove(index(name));
        return R::soap(Ns::Device, op + QStringLiteral("Response"));
    }
    QVector<DeviceCodec::User> users;
    QString why;
    if (!DeviceCodec::readUsers(call.request, &users, &why))
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"), why,
                        RESULT_BAD_ARGUMENT);
    for (const DeviceCodec::User& u : qAsConst(users)) {
        if (u.password.size() < 8)
            return R::fault(400, QStringLiteral("Sender"),
                            QStringLiteral("OperationProhibited/PasswordTooWeak"),
                            QStringLiteral("Too weak password"), RESULT_BAD_ARGUMENT);
    }
    if (op == QLatin1String("CreateUsers")) {
        for (const DeviceCodec::User& u : qAsConst(users)) {
            if (u.name == e.user || index(u.name) >= 0)
                return R::fault(400, QStringLiteral("Sender"),
                                QStringLiteral("OperationProhibited/UsernameClash"),
                                QStringLiteral("The user %1 exists").arg(u.name), RESULT_BAD_ARGUMENT);
        }
        if (e.users.size() + users.size() > DeviceCodec::MaxUsers)
            return R::fault(
                500, QStringLiteral("Receiver"), QStringLiteral("Action/TooManyUsers"),
                QStringLiteral("The decoder keeps %1 users at most").arg(DeviceCodec::MaxUsers + 1),
                RESULT_BAD_ARGUMENT);
        e.users += users;
        return R::soap(Ns::Device, op + QStringLiteral("Response"));
    }
    // SetUser of users other than the administrator.
    for (const DeviceCodec::User& u : qAsConst(users)) {
        if (index(u.name) < 0)
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/UsernameMissing"),
                            QStringLiteral("No user %1").arg(u.name.left(40)), RESULT_BAD_ARGUMENT);
    }
    for (const DeviceCodec::User& u : qAsConst(users))
        e.users[index(u.name)] = u;
    return R::soap(Ns::Device, op + QStringLiteral("Response"));
}

} // namespace pral_matrix
