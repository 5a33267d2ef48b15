#include "deviceserviceclient.h"

#include "extensionserviceclient.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "onvifrequest.h"

#include <QHostAddress>
#include <QRegularExpression>
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

/** The time a device's clock shows: UTC where it says it, else its local time and POSIX time zone. */
QDateTime deviceClock(const XmlNode& time)
{
    const auto read = [](const XmlNode& at) {
        const XmlNode& d = at.child(Ns::Schema, QStringLiteral("Date"));
        const XmlNode& t = at.child(Ns::Schema, QStringLiteral("Time"));
        return QDateTime(QDate(d.childInt(Ns::Schema, QStringLiteral("Year"), 0),
                               d.childInt(Ns::Schema, QStringLiteral("Month"), 0),
                               d.childInt(Ns::Schema, QStringLiteral("Day"), 0)),
                         QTime(t.childInt(Ns::Schema, QStringLiteral("Hour"), -1),
                               t.childInt(Ns::Schema, QStringLiteral("Minute"), -1),
                               t.childInt(Ns::Schema, QStringLiteral("Second"), -1)),
                         Qt::UTC);
    };
    const QDateTime utc = read(time.child(Ns::Schema, QStringLiteral("UTCDateTime")));
    if (utc.isValid())
        return utc;
    const QDateTime local = read(time.child(Ns::Schema, QStringLiteral("LocalDateTime")));
    // "CST-8" is eight hours east of UTC: POSIX counts the offset the other way round.
    static const QRegularExpression zone(QStringLiteral("^[A-Za-z]{3,}([+-]?)(\\d{1,2})(?::(\\d{2}))?"));
    const QRegularExpressionMatch m = zone.match(time.child(Ns::Schema, QStringLiteral("TimeZone"))
                                                     .childText(Ns::Schema, QStringLiteral("TZ"))
                                                     .trimmed());
    if (!local.isValid() || !m.hasMatch())
        return local;
    const int west = (m.captured(2).toInt() * 60 + m.captured(3).toInt()) * 60;
    return local.addSecs(m.captured(1) == QLatin1String("-") ? -west : west);
}

using Prefixed = DeviceServiceClient::PrefixedAddress;

QVector<Prefixed> addressesIn(const XmlNode& config, const QStringList& kinds)
{
    QVector<Prefixed> found;
    for (const QString& kind : kinds) {
        for (const XmlNode* a : config.all(Ns::Schema, kind)) {
            const QString text = a->childText(Ns::Schema, QStringLiteral("Address")).trimmed();
            if (!text.isEmpty())
                found.append(Prefixed{text, a->childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1)});
        }
    }
    return found;
}

bool enabled(const XmlNode& node)
{
    return node.childText(Ns::Schema, QStringLiteral("Enabled")).trimmed() != QLatin1String("false");
}

/** The first IPv4 name server of tt:DNSInformation: those from DHCP where the device takes them from there.
 */
QString nameServer(const XmlNode& information)
{
    const bool fromDhcp = information.childText(Ns::Schema, QStringLiteral("FromDHCP")).trimmed() == "true";
    for (const QString& kind :
         fromDhcp ? QStringList{QStringLiteral("DNSFromDHCP"), QStringLiteral("DNSManual")}
                  : QStringList{QStringLiteral("DNSManual"), QStringLiteral("DNSFromDHCP")}) {
        for (const XmlNode* server : information.all(Ns::Schema, kind)) {
            const QString v4 = server->childText(Ns::Schema, QStringLiteral("IPv4Address")).trimmed();
            if (!v4.isEmpty())
                return v4;
        }
    }
    return QString();
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
    const bool tls = transport.deviceService(ip).scheme() == QLatin1String("https");
    // Over TLS the first call, which carries nothing secret, shows the key: the one pinned for the device
    // expected here, or on first use any, which every later call of the login must show again.
    if (tls)
        transport.useKey(ip, QByteArray());
    // The device's clock first: the digest carries a creation time the device checks.
    const int clock = readClock(ip, &session.clockOffsetMs);
    if (clock != RESULT_OK) {
        login.result = clock;
        return outcome;
    }
    if (tls)
        transport.useKey(ip, transport.seenKey(ip));
    session.userName = userName;
    session.password = password;

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
        } else if (login.result == RESULT_WRONG_PASSWORD) {
            // A device that keeps no counters (any ONVIF device, or one that answered with HTTP Digest's
            // 401) refused the credentials all the same: the operator hears so, without numbers.
            login.hasError = true;
            login.error = ConnectErrorMsgInfo();
            login.error.errorType = QStringLiteral("PASSWDERR");
        }
        transport.report(ip, info, false);
        return outcome;
    }
    session.version = info.message.payload.childText(Ns::Device, QStringLiteral("FirmwareVersion"));
    session.deviceId = info.message.payload.childText(Ns::Device, QStringLiteral("SerialNumber"));
    login.model = info.message.payload.childText(Ns::Device, QStringLiteral("Model"));
    // A model name no image could be made for is no model at all: the batch's model check then leaves the
    // decoder out instead of showing whatever it sent.
    if (login.model.size() > OnvifCodec::MaxVersionChars)
        login.model.clear();
    QString why;
    if (!OnvifCodec::checkVersion(session.version, &why)) {
        login.result = transport.refuse(ip, why);
        return outcome;
    }
    if (tls) {
        // The key is bound to the id the device proved with the credentials; shown by a device whose
        // address nobody knew it at, a key other than its pinned one is refused here.
        const QByteArray key = transport.seenKey(ip);
        const QByteArray pinned = transport.keyPins().key(session.deviceId);
        if (!pinned.isEmpty() && pinned != key) {
            transport.notice(ip, transport.keyChanged(ip));
            login.result = OnvifBackend::ResultNotTrusted;
            return outcome;
        }
        session.key = key;
        transport.keyPins().remember(session.deviceId, key, ip);
        // A search may know the device by another id (its endpoint's, when it tells its serial number only
        // after a login): the key is the one the next search's first call must see too.
        const QString foundAs = transport.expectedDevice(ip);
        if (!foundAs.isEmpty() && foundAs != session.deviceId)
            transport.keyPins().remember(foundAs, key, ip);
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
    QStringList foreign;
    for (const XmlNode* s : services.message.payload.all(Ns::Device, QStringLiteral("Service"))) {
        const QString ns = s->childText(Ns::Device, QStringLiteral("Namespace"));
        const QString xaddr = s->childText(Ns::Device, QStringLiteral("XAddr"));
        if (!session.services.contains(ns))
            session.services.append(ns);
        // Authenticated calls go where the device was found, never to a host it names.
        const QUrl url(xaddr);
        if (QHostAddress(url.host()).isEqual(address, QHostAddress::TolerantConversion))
            session.xaddrs.insert(ns, xaddr);
        else if (!foreign.contains(url.host()))
            foreign << url.host().left(60);
    }
    const XmlNode& caps = ExtensionServiceClient::capabilities(services.message);
    if (!caps.isNull() && session.offers(Ns::Wall)) {
        session.matrixType = caps.attributeInt(QStringLiteral("DecoderType"), MATRIX_TYPE_UNKNOWN);
        OnvifCodec::readRestartCapabilities(caps, &session.bootId, &session.configMarker);
    } else {
        // Any ONVIF device: a display with its outputs, or no decoder at all.
        int outputs = -1;
        for (const XmlNode* s : services.message.payload.all(Ns::Device, QStringLiteral("Service"))) {
            if (s->childText(Ns::Device, QStringLiteral("Namespace")) == Ns::DeviceIo)
                outputs = s->child(Ns::Device, QStringLiteral("Capabilities"))
                              .child(Ns::DeviceIo, QStringLiteral("Capabilities"))
                              .attributeInt(QStringLiteral("VideoOutputs"), -1);
        }
        // Devices that give no capabilities with their services give their outputs here.
        if (outputs < 0) {
            const OnvifTransport::Call capabilities =
                transport.soap(ip, Ns::Device,
                               onvifRequest(Ns::Device, QStringLiteral("GetCapabilities"),
                                            {{QStringLiteral("Category"), QStringLiteral("All")}}),
                               &token);
            if (capabilities.ok())
                outputs = capabilities.message.payload.child(Ns::Device, QStringLiteral("Capabilities"))
                              .child(Ns::Schema, QStringLiteral("Extension"))
                              .child(Ns::Schema, QStringLiteral("DeviceIO"))
                              .childInt(Ns::Schema, QStringLiteral("VideoOutputs"), -1);
        }
        if (outputs > OnvifCodec::MaxChannels) {
            login.result = transport.refuse(
                ip, tr("%1 video outputs (at most %2)").arg(outputs).arg(OnvifCodec::MaxChannels));
            return outcome;
        }
        const bool display = session.offers(Ns::Display) || outputs > 0;
        session.matrixType = !display      ? MATRIX_TYPE_NO_OUTPUT
                             : outputs > 1 ? MATRIX_TYPE_MULTI_OUTPUT
                                           : MATRIX_TYPE_SINGLE_OUTPUT;
        // The id WS-Discovery knows it by: what a probe of this address must show again.
        const OnvifTransport::Call reference = transport.soap(
            ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetEndpointReference")), &token);
        if (reference.ok())
            session.endpoint =
                reference.message.payload.childText(Ns::Device, QStringLiteral("GUID")).trimmed().left(200);
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
    login.bootId = session.bootId;
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

int DeviceServiceClient::readClock(const QString& ip, qint64* offsetMs)
{
    const OnvifTransport::Call clock = transport.soap(
        ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetSystemDateAndTime")), nullptr);
    if (!clock.ok()) {
        transport.report(ip, clock, false);
        return clock.code();
    }
    const XmlNode& time = clock.message.payload.child(Ns::Device, QStringLiteral("SystemDateAndTime"));
    const QDateTime deviceTime = deviceClock(time);
    const qint64 offset = deviceTime.isValid() ? QDateTime::currentDateTimeUtc().msecsTo(deviceTime) : 0;
    // Within a few seconds the clocks agree; the rounding of the device's seconds is not a skew.
    *offsetMs = qAbs(offset) > 5000 ? offset : 0;
    transport.setClockOffset(ip, *offsetMs);
    return RESULT_OK;
}

int DeviceServiceClient::readNetwork(const QString& ip, DeviceNetworkCfg_t* cfg)
{
    S::Token known;
    const bool haveCredentials = transport.credentials(ip, &known);
    qint64 offset = 0;
    // A token made by our clock alone is refused by a decoder whose clock is hours away.
    if (haveCredentials && !transport.hasSession(ip) && !transport.clockOffset(ip, &offset)) {
        const int read = readClock(ip, &offset);
        if (read != RESULT_OK)
            return read;
        known.clockOffsetMs = offset;
    }
    const S::Token* token = haveCredentials ? &known : nullptr;
    const OnvifTransport::Call nic = transport.soap(
        ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetNetworkInterfaces")), token);
    if (!token && nic.code() == RESULT_WRONG_PASSWORD) {
        // Nobody logged in yet (a decoder just found): the address is all we know, and the operator, who
        // is asked for credentials before anything is set, fills in the rest.
        putField(cfg->ipv4Addr, ip);
        transport.notice(
            ip,
            tr("Decoder(%1) tells its network settings only after a login: only its address is filled in.")
                .arg(ip));
        return RESULT_OK;
    }
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
    const NetworkReading reading =
        readInterfaces(ip, nic.message.payload.all(Ns::Device, QStringLiteral("NetworkInterfaces")));
    if (!reading.found)
        transport.notice(ip, tr("Decoder(%1) reported no network interface.").arg(ip));
    // A text that does not fit its field would be cut into another address: refused instead.
    QString why = reading.why;
    const auto put = [&why](auto& field, const QString& text, QAbstractSocket::NetworkLayerProtocol kind) {
        if (why.isEmpty() && OnvifCodec::checkAddressField(text, int(sizeof field), kind, &why))
            putField(field, text);
    };
    const auto v4Kind = QAbstractSocket::IPv4Protocol;
    const auto v6Kind = QAbstractSocket::IPv6Protocol;
    put(cfg->ipv4Addr, reading.ipv4.address, v4Kind);
    put(cfg->ipv4Mask, OnvifCodec::maskFromPrefix(reading.ipv4.prefix), v4Kind);
    put(cfg->ipv6Addr, reading.ipv6.address, v6Kind);
    cfg->ipv6PrefixLen = reading.ipv6.address.isEmpty() ? 0 : reading.ipv6.prefix;
    const XmlNode& g = gateway.message.payload.child(Ns::Device, QStringLiteral("NetworkGateway"));
    put(cfg->ipv4Gateway, g.childText(Ns::Schema, QStringLiteral("IPv4Address")).trimmed(), v4Kind);
    put(cfg->ipv6Gateway, g.childText(Ns::Schema, QStringLiteral("IPv6Address")).trimmed(), v6Kind);
    put(cfg->dns, nameServer(dns.message.payload.child(Ns::Device, QStringLiteral("DNSInformation"))),
        v4Kind);
    if (!why.isEmpty())
        return transport.refuse(ip, why);
    return RESULT_OK;
}

DeviceServiceClient::NetworkReading
DeviceServiceClient::readInterfaces(const QString& ip, const QVector<const XmlNode*>& interfaces)
{
    NetworkReading r;
    const QStringList v4Kinds{QStringLiteral("Manual"), QStringLiteral("FromDHCP"),
                              QStringLiteral("LinkLocal")};
    // The interface that holds the address we reach the decoder at is the one we would change; without
    // it (the address is forwarded to the decoder), the first one that has an IPv4 address, then any.
    const XmlNode* chosen = nullptr;
    Prefixed reached;
    for (const XmlNode* nic : interfaces) {
        const XmlNode& v4 = nic->child(Ns::Schema, QStringLiteral("IPv4"));
        if (!enabled(v4))
            continue;
        for (const Prefixed& a : addressesIn(v4.child(Ns::Schema, QStringLiteral("Config")), v4Kinds)) {
            if (!chosen &&
                QHostAddress(a.address).isEqual(QHostAddress(ip), QHostAddress::TolerantConversion)) {
                chosen = nic;
                reached = a;
            }
        }
    }
    for (const XmlNode* nic : interfaces) {
        const XmlNode& v4 = nic->child(Ns::Schema, QStringLiteral("IPv4"));
        if (!chosen && enabled(*nic) && enabled(v4) &&
            !addressesIn(v4.child(Ns::Schema, QStringLiteral("Config")), v4Kinds).isEmpty())
            chosen = nic;
    }
    if (!chosen && !interfaces.isEmpty())
        chosen = interfaces.first();
    if (!chosen)
        return r;
    r.found = true;
    const XmlNode& v4 = chosen->child(Ns::Schema, QStringLiteral("IPv4"));
    const XmlNode& v4Config = v4.child(Ns::Schema, QStringLiteral("Config"));
    if (!reached.address.isEmpty()) {
        r.ipv4 = reached;
    } else if (enabled(v4)) {
        // A decoder on DHCP shows the address it was given; its manual one waits unused.
        const bool dhcp =
            v4Config.childText(Ns::Schema, QStringLiteral("DHCP")).trimmed() == QLatin1String("true");
        const QVector<Prefixed> all =
            addressesIn(v4Config, dhcp ? QStringList{QStringLiteral("FromDHCP"), QStringLiteral("Manual")}
                                       : QStringList{QStringLiteral("Manual"), QStringLiteral("FromDHCP")});
        if (!all.isEmpty())
            r.ipv4 = all.first();
    }
    if (!r.ipv4.address.isEmpty() && (r.ipv4.prefix < 0 || r.ipv4.prefix > 32))
        r.why = tr("an IPv4 prefix length of %1 (0 to 32)").arg(r.ipv4.prefix);
    const XmlNode& v6 = chosen->child(Ns::Schema, QStringLiteral("IPv6"));
    if (enabled(v6)) {
        // A link-local address is the interface's own, not one an operator sets.
        const QVector<Prefixed> all =
            addressesIn(v6.child(Ns::Schema, QStringLiteral("Config")),
                        {QStringLiteral("Manual"), QStringLiteral("FromDHCP"), QStringLiteral("FromRA")});
        for (const Prefixed& a : all) {
            if (!QHostAddress(a.address).isLinkLocal()) {
                r.ipv6 = a;
                break;
            }
        }
    }
    if (r.why.isEmpty() && !r.ipv6.address.isEmpty() && (r.ipv6.prefix < 0 || r.ipv6.prefix > 128))
        r.why = tr("an IPv6 prefix length of %1 (0 to 128)").arg(r.ipv6.prefix);
    return r;
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
