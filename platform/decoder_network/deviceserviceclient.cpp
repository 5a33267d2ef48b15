#include "deviceserviceclient.h"

#include "extensionserviceclient.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "onvifrequest.h"

#include <QHostAddress>
#include <QUrl>

#include <cstring>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;

QString fieldText(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

template <size_t N>
void putField(char (&field)[N], const QString& text)
{
    const QByteArray bytes = text.toLatin1().left(int(N) - 1);
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

QDateTime lineTime(const QString& line)
{
    return QDateTime::fromString(line.left(19), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

/** What a decoder answered to a file it was sent: 0, or the code its "result" line names. */
int uploadResult(int status, const QByteArray& reply)
{
    if (status == 200)
        return RESULT_OK;
    bool ok = false;
    const int code = reply.trimmed().mid(7).toInt(&ok);
    return reply.startsWith("result ") && ok && code != 0 ? code : int(RESULT_BAD_ARGUMENT);
}

/** A user element of CreateUsers and SetUser. */
S::Writer user(const QString& name, const QString& password)
{
    return [name, password](QXmlStreamWriter& w) {
        w.writeStartElement(Ns::Device, QStringLiteral("User"));
        w.writeTextElement(Ns::Schema, QStringLiteral("Username"), name);
        w.writeTextElement(Ns::Schema, QStringLiteral("Password"), password);
        w.writeTextElement(Ns::Schema, QStringLiteral("UserLevel"), QStringLiteral("Administrator"));
        w.writeEndElement();
    };
}

} // namespace

DeviceServiceClient::DeviceServiceClient(OnvifTransport& transport)
    : transport(transport)
{
}

DeviceServiceClient::LoginOutcome DeviceServiceClient::login(const QString& ip, const QString& userName,
                                                             const QString& password)
{
    LoginOutcome outcome;
    DecoderBackend::Login& login = outcome.login;
    OnvifTransport::Session& session = outcome.session;
    QHostAddress address;
    if (!address.setAddress(ip) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return outcome;
    transport.rememberCredentials(ip, userName, password);
    // The device's clock first: the digest carries a creation time the device checks.
    const OnvifTransport::Call clock = transport.soap(
        ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetSystemDateAndTime")), nullptr);
    if (!clock.ok()) {
        login.result = clock.code();
        transport.report(ip, clock, false);
        return outcome;
    }
    session.userName = userName;
    session.password = password;
    const XmlNode& utc = clock.message.payload.child(Ns::Device, QStringLiteral("SystemDateAndTime"))
                             .child(Ns::Schema, QStringLiteral("UTCDateTime"));
    const XmlNode& d = utc.child(Ns::Schema, QStringLiteral("Date"));
    const XmlNode& t = utc.child(Ns::Schema, QStringLiteral("Time"));
    const QDateTime deviceTime(QDate(d.childInt(Ns::Schema, QStringLiteral("Year"), 0),
                                     d.childInt(Ns::Schema, QStringLiteral("Month"), 0),
                                     d.childInt(Ns::Schema, QStringLiteral("Day"), 0)),
                               QTime(t.childInt(Ns::Schema, QStringLiteral("Hour"), 0),
                                     t.childInt(Ns::Schema, QStringLiteral("Minute"), 0),
                                     t.childInt(Ns::Schema, QStringLiteral("Second"), 0)),
                               Qt::UTC);
    const qint64 offset = deviceTime.isValid() ? QDateTime::currentDateTimeUtc().msecsTo(deviceTime) : 0;
    // Within a few seconds the clocks agree; the rounding of the device's seconds is not a skew.
    session.clockOffsetMs = qAbs(offset) > 5000 ? offset : 0;

    const S::Token token = session.token();
    const OnvifTransport::Call info = transport.soap(
        ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetDeviceInformation")), &token);
    if (!info.ok()) {
        login.result = info.code();
        QString why;
        if (info.result == RESULT_OK &&
            OnvifCodec::readLoginRefusal(info.message.fault.detail, &login.error)) {
            // Counters no decoder keeps are not shown to the operator as if they were true.
            login.hasError = OnvifCodec::checkLoginRefusal(login.error, &why);
            if (!login.hasError) {
                login.error = ConnectErrorMsgInfo();
                transport.refuse(ip, why);
            }
        }
        transport.report(ip, info, false);
        return outcome;
    }
    session.version = info.message.payload.childText(Ns::Device, QStringLiteral("FirmwareVersion"));
    session.deviceId = info.message.payload.childText(Ns::Device, QStringLiteral("SerialNumber"));
    QString why;
    if (!OnvifCodec::checkVersion(session.version, &why)) {
        login.result = transport.refuse(ip, why);
        return outcome;
    }

    const OnvifTransport::Call services =
        transport.soap(ip, Ns::Device,
                       onvifRequest(Ns::Device, QStringLiteral("GetServices"),
                                    {{QStringLiteral("IncludeCapability"), QStringLiteral("true")}}),
                       &token);
    if (!services.ok()) {
        login.result = services.code();
        transport.report(ip, services, false);
        return outcome;
    }
    session.matrixType = MATRIX_TYPE_SINGLE_OUTPUT;
    QStringList foreign;
    for (const XmlNode* s : services.message.payload.all(Ns::Device, QStringLiteral("Service"))) {
        const QString ns = s->childText(Ns::Device, QStringLiteral("Namespace"));
        const QString xaddr = s->childText(Ns::Device, QStringLiteral("XAddr"));
        // Authenticated calls go where the device was found, never to a host it names.
        const QUrl url(xaddr);
        if (QHostAddress(url.host()).isEqual(address, QHostAddress::TolerantConversion))
            session.xaddrs.insert(ns, xaddr);
        else if (!foreign.contains(url.host()))
            foreign << url.host().left(60);
    }
    const XmlNode& caps = ExtensionServiceClient::capabilities(services.message);
    if (!caps.isNull()) {
        session.matrixType = caps.attributeInt(QStringLiteral("DecoderType"), MATRIX_TYPE_UNKNOWN);
        OnvifCodec::readRestartCapabilities(caps, &session.bootId, &session.configMarker);
    }
    if (!foreign.isEmpty())
        transport.notice(ip, tr("Decoder(%1) named another host (%2) for its services; its calls stay at %1.")
                                 .arg(ip, foreign.join(QStringLiteral(", "))));
    if (!OnvifCodec::checkMatrixType(session.matrixType, &why)) {
        login.result = transport.refuse(ip, why);
        return outcome;
    }
    login.result = RESULT_OK;
    login.matrixType = session.matrixType;
    login.version = session.version;
    return outcome;
}

int DeviceServiceClient::createAdministrator(const QString& ip, const QString& password)
{
    const OnvifTransport::Call call = transport.soap(
        ip, Ns::Device,
        onvifRequest(Ns::Device, QStringLiteral("CreateUsers"), user(QStringLiteral("admin"), password)),
        nullptr);
    transport.report(ip, call, false);
    // A device that has users asks who we are: it is activated already.
    return call.code() == RESULT_WRONG_PASSWORD ? int(RESULT_ALREADY_ACTIVE) : call.code();
}

int DeviceServiceClient::setUser(const QString& ip, const QString& userName, const QString& oldPassword,
                                 const QString& newPassword, qint64 clockOffsetMs)
{
    const S::Token token{userName, oldPassword, clockOffsetMs};
    const OnvifTransport::Call call = transport.soap(
        ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("SetUser"), user(userName, newPassword)),
        &token);
    transport.report(ip, call, true);
    return call.code();
}

int DeviceServiceClient::readNetwork(const QString& ip, DeviceNetworkCfg_t* cfg)
{
    S::Token known;
    const S::Token* token = transport.credentials(ip, &known) ? &known : nullptr;
    const OnvifTransport::Call nic = transport.soap(
        ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetNetworkInterfaces")), token);
    const OnvifTransport::Call dns =
        nic.ok() ? transport.soap(ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetDNS")), token)
                 : nic;
    const OnvifTransport::Call gateway =
        dns.ok() ? transport.soap(ip, Ns::Device,
                                  onvifRequest(Ns::Device, QStringLiteral("GetNetworkDefaultGateway")), token)
                 : dns;
    if (!gateway.ok()) {
        transport.report(ip, gateway, false);
        return gateway.code();
    }
    const XmlNode& n = nic.message.payload.child(Ns::Device, QStringLiteral("NetworkInterfaces"));
    const XmlNode& v4 = n.child(Ns::Schema, QStringLiteral("IPv4"))
                            .child(Ns::Schema, QStringLiteral("Config"))
                            .child(Ns::Schema, QStringLiteral("Manual"));
    const XmlNode& v6 = n.child(Ns::Schema, QStringLiteral("IPv6"))
                            .child(Ns::Schema, QStringLiteral("Config"))
                            .child(Ns::Schema, QStringLiteral("Manual"));
    // A text that does not fit its field would be cut into another address: refused instead.
    QString why;
    const auto put = [&why](auto& field, const QString& text, QAbstractSocket::NetworkLayerProtocol kind) {
        if (why.isEmpty() && OnvifCodec::checkAddressField(text, int(sizeof field), kind, &why))
            putField(field, text);
    };
    const auto v4Kind = QAbstractSocket::IPv4Protocol;
    const auto v6Kind = QAbstractSocket::IPv6Protocol;
    put(cfg->ipv4Addr, v4.childText(Ns::Schema, QStringLiteral("Address")), v4Kind);
    const QString v4Prefix = v4.childText(Ns::Schema, QStringLiteral("PrefixLength"));
    const int prefix = v4.childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1);
    if (why.isEmpty() && !v4Prefix.isEmpty() && (prefix < 0 || prefix > 32))
        why = tr("an IPv4 prefix length of %1 (0 to 32)").arg(v4Prefix.left(20));
    put(cfg->ipv4Mask, OnvifCodec::maskFromPrefix(prefix), v4Kind);
    put(cfg->ipv6Addr, v6.childText(Ns::Schema, QStringLiteral("Address")), v6Kind);
    cfg->ipv6PrefixLen = v6.childInt(Ns::Schema, QStringLiteral("PrefixLength"), 0);
    if (why.isEmpty() && (cfg->ipv6PrefixLen < 0 || cfg->ipv6PrefixLen > 128))
        why = tr("an IPv6 prefix length of %1 (0 to 128)").arg(cfg->ipv6PrefixLen);
    const XmlNode& g = gateway.message.payload.child(Ns::Device, QStringLiteral("NetworkGateway"));
    put(cfg->ipv4Gateway, g.childText(Ns::Schema, QStringLiteral("IPv4Address")), v4Kind);
    put(cfg->ipv6Gateway, g.childText(Ns::Schema, QStringLiteral("IPv6Address")), v6Kind);
    put(cfg->dns,
        dns.message.payload.child(Ns::Device, QStringLiteral("DNSInformation"))
            .child(Ns::Schema, QStringLiteral("DNSManual"))
            .childText(Ns::Schema, QStringLiteral("IPv4Address")),
        v4Kind);
    if (!why.isEmpty())
        return transport.refuse(ip, why);
    return RESULT_OK;
}

int DeviceServiceClient::writeNetwork(const QString& ip, const S::Token& token, const DeviceNetworkCfg_t& cfg)
{
    const QString address = fieldText(cfg.ipv4Addr, sizeof cfg.ipv4Addr);
    const int prefix = OnvifCodec::prefixLength(fieldText(cfg.ipv4Mask, sizeof cfg.ipv4Mask));
    const QString ipv6 = fieldText(cfg.ipv6Addr, sizeof cfg.ipv6Addr);
    // Gateway and name server first: the address change moves the decoder away.
    const QList<S::Writer> steps = {
        onvifRequest(Ns::Device, QStringLiteral("SetDNS"),
                     [&](QXmlStreamWriter& w) {
                         w.writeTextElement(Ns::Device, QStringLiteral("FromDHCP"), QStringLiteral("false"));
                         w.writeStartElement(Ns::Device, QStringLiteral("DNSManual"));
                         w.writeTextElement(Ns::Schema, QStringLiteral("Type"), QStringLiteral("IPv4"));
                         w.writeTextElement(Ns::Schema, QStringLiteral("IPv4Address"),
                                            fieldText(cfg.dns, sizeof cfg.dns));
                         w.writeEndElement();
                     }),
        onvifRequest(Ns::Device, QStringLiteral("SetNetworkDefaultGateway"),
                     {{QStringLiteral("IPv4Address"), fieldText(cfg.ipv4Gateway, sizeof cfg.ipv4Gateway)},
                      {QStringLiteral("IPv6Address"), fieldText(cfg.ipv6Gateway, sizeof cfg.ipv6Gateway)}}),
        onvifRequest(Ns::Device, QStringLiteral("SetNetworkInterfaces"), [&](QXmlStreamWriter& w) {
            w.writeTextElement(Ns::Device, QStringLiteral("InterfaceToken"), QStringLiteral("eth0"));
            w.writeStartElement(Ns::Device, QStringLiteral("NetworkInterface"));
            w.writeTextElement(Ns::Schema, QStringLiteral("Enabled"), QStringLiteral("true"));
            w.writeStartElement(Ns::Schema, QStringLiteral("IPv4"));
            w.writeTextElement(Ns::Schema, QStringLiteral("Enabled"), QStringLiteral("true"));
            w.writeStartElement(Ns::Schema, QStringLiteral("Manual"));
            w.writeTextElement(Ns::Schema, QStringLiteral("Address"), address);
            w.writeTextElement(Ns::Schema, QStringLiteral("PrefixLength"), QString::number(prefix));
            w.writeEndElement();
            w.writeTextElement(Ns::Schema, QStringLiteral("DHCP"), QStringLiteral("false"));
            w.writeEndElement();
            w.writeStartElement(Ns::Schema, QStringLiteral("IPv6"));
            w.writeTextElement(Ns::Schema, QStringLiteral("Enabled"),
                               ipv6.isEmpty() ? QStringLiteral("false") : QStringLiteral("true"));
            if (!ipv6.isEmpty()) {
                w.writeStartElement(Ns::Schema, QStringLiteral("Manual"));
                w.writeTextElement(Ns::Schema, QStringLiteral("Address"), ipv6);
                w.writeTextElement(Ns::Schema, QStringLiteral("PrefixLength"),
                                   QString::number(cfg.ipv6PrefixLen));
                w.writeEndElement();
            }
            w.writeTextElement(Ns::Schema, QStringLiteral("DHCP"), QStringLiteral("Off"));
            w.writeEndElement();
            w.writeEndElement();
        })};
    for (const S::Writer& step : steps) {
        const OnvifTransport::Call call = transport.soap(ip, Ns::Device, step, &token);
        transport.report(ip, call, false);
        if (!call.ok())
            return call.code();
    }
    return RESULT_OK;
}

int DeviceServiceClient::factoryDefault(const QString& ip)
{
    return transport
        .sessionCall(ip, Ns::Device,
                     onvifRequest(Ns::Device, QStringLiteral("SetSystemFactoryDefault"),
                                  {{QStringLiteral("FactoryDefault"), QStringLiteral("Hard")}}))
        .code();
}

int DeviceServiceClient::systemLog(const QString& ip, int logType, const QDateTime& begin,
                                   const QDateTime& end, QStringList* lines)
{
    // ONVIF has the system and access logs; the span is ours to cut.
    const OnvifTransport::Call call = transport.sessionCall(
        ip, Ns::Device,
        onvifRequest(Ns::Device, QStringLiteral("GetSystemLog"),
                     {{QStringLiteral("LogType"),
                       logType == 0 ? QStringLiteral("System") : QStringLiteral("Access")}}));
    if (!call.ok())
        return call.code();
    const QStringList all = call.message.payload.child(Ns::Device, QStringLiteral("SystemLog"))
                                .childText(Ns::Schema, QStringLiteral("String"))
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : all) {
        const QDateTime at = lineTime(line);
        if (at.isValid() && at >= begin.toLocalTime().addMSecs(-999) && at <= end)
            lines->append(line);
    }
    return RESULT_OK;
}

int DeviceServiceClient::downloadSystemFile(const QString& ip, const QString& uriName, const QString& path)
{
    const OnvifTransport::Call uris =
        transport.sessionCall(ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetSystemUris")));
    if (!uris.ok())
        return uris.code();
    return transport.download(ip, uris.message.payload.childText(Ns::Device, uriName), path);
}

int DeviceServiceClient::restore(const QString& ip, const QByteArray& content, bool* broken)
{
    *broken = false;
    const OnvifTransport::Call start =
        transport.sessionCall(ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("StartSystemRestore")));
    if (!start.ok())
        return start.code();
    QByteArray reply;
    const OnvifTransport::Call sent = transport.http(
        transport.onDevice(ip, start.message.payload.childText(Ns::Device, QStringLiteral("UploadUri"))),
        "POST", content, "application/octet-stream", 4096, &reply);
    if (sent.result == RESULT_OK)
        return uploadResult(sent.httpStatus, reply);
    transport.report(ip, sent, false);
    *broken = true;
    // Cut in the middle, as the connection to a decoder that restarts or drops out would be.
    return sent.result == OnvifBackend::ResultConnectionLost ? int(RESULT_BAD_HANDLE) : sent.result;
}

int DeviceServiceClient::startFirmwareUpgrade(const QString& ip, const S::Token& token,
                                              const QByteArray& image)
{
    const OnvifTransport::Call start = transport.soap(
        ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("StartFirmwareUpgrade")), &token);
    transport.report(ip, start, false);
    if (!start.ok())
        return start.code();
    QByteArray reply;
    const OnvifTransport::Call sent = transport.http(
        transport.onDevice(ip, start.message.payload.childText(Ns::Device, QStringLiteral("UploadUri"))),
        "POST", image, "application/octet-stream", 4096, &reply);
    return sent.result == RESULT_OK ? uploadResult(sent.httpStatus, reply) : sent.result;
}

int DeviceServiceClient::firmwareVersion(const QString& ip, const S::Token& token, QString* version)
{
    const OnvifTransport::Call info = transport.soap(
        ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetDeviceInformation")), &token);
    if (!info.ok())
        return info.code();
    *version = info.message.payload.childText(Ns::Device, QStringLiteral("FirmwareVersion"));
    return RESULT_OK;
}

} // namespace pral_matrix
