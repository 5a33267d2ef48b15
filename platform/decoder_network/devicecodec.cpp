#include "devicecodec.h"

#include "onvifnamespaces.h"
#include "soapenvelope.h"

#include <QUrl>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;

const QString Root = QStringLiteral("onvif://www.onvif.org/");

void writeBool(QXmlStreamWriter& w, const QString& ns, const QString& name, bool value)
{
    S::writeText(w, ns, name, value ? QStringLiteral("true") : QStringLiteral("false"));
}

void attribute(QXmlStreamWriter& w, const QString& name, bool value)
{
    w.writeAttribute(name, value ? QStringLiteral("true") : QStringLiteral("false"));
}

} // namespace

QString DeviceCodec::scopeRoot()
{
    return Root;
}

QString DeviceCodec::standardScope(const QString& kind, const QString& value)
{
    return Root + kind + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(value));
}

DeviceCodec::Identity DeviceCodec::readIdentity(const QStringList& scopes)
{
    Identity identity;
    for (const QString& scope : scopes) {
        if (!scope.startsWith(Root))
            continue;
        const QString rest = scope.mid(Root.size());
        const QString kind = rest.section(QLatin1Char('/'), 0, 0);
        const QString value = QUrl::fromPercentEncoding(rest.section(QLatin1Char('/'), 1).toUtf8());
        if (kind == QLatin1String("type"))
            identity.types << value;
        else if (kind == QLatin1String("name") && identity.name.isEmpty())
            identity.name = value;
        else if (kind == QLatin1String("hardware") && identity.hardware.isEmpty())
            identity.hardware = value;
        else if (kind == QLatin1String("location") && identity.location.isEmpty())
            identity.location = value;
    }
    return identity;
}

bool DeviceCodec::isScope(const QString& scope)
{
    if (scope.isEmpty() || scope.size() > MaxScopeLength)
        return false;
    const QUrl url(scope, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() &&
           std::none_of(scope.begin(), scope.end(), [](QChar c) { return c.isSpace() || !c.isPrint(); });
}

void DeviceCodec::writeScopes(QXmlStreamWriter& w, const QVector<Scope>& scopes)
{
    for (const Scope& s : scopes) {
        w.writeStartElement(Ns::Device, QStringLiteral("Scopes"));
        S::writeText(w, Ns::Schema, QStringLiteral("ScopeDef"),
                     s.fixed ? QStringLiteral("Fixed") : QStringLiteral("Configurable"));
        S::writeText(w, Ns::Schema, QStringLiteral("ScopeItem"), s.item);
        w.writeEndElement();
    }
}

QVector<DeviceCodec::Scope> DeviceCodec::readScopes(const XmlNode& response)
{
    QVector<Scope> scopes;
    for (const XmlNode* s : response.all(Ns::Device, QStringLiteral("Scopes"))) {
        const QString item = s->childText(Ns::Schema, QStringLiteral("ScopeItem")).trimmed();
        if (isScope(item) && scopes.size() < MaxScopes)
            scopes.append(
                Scope{item, s->childText(Ns::Schema, QStringLiteral("ScopeDef")) == QLatin1String("Fixed")});
    }
    return scopes;
}

namespace {

/** SetScopes names its list Scopes; AddScopes and RemoveScopes name theirs ScopeItem. */
QString scopeItemName(const QString& op)
{
    return op == QLatin1String("SetScopes") ? QStringLiteral("Scopes") : QStringLiteral("ScopeItem");
}

} // namespace

void DeviceCodec::writeScopeItems(QXmlStreamWriter& w, const QString& op, const QStringList& items)
{
    for (const QString& item : items)
        S::writeText(w, Ns::Device, scopeItemName(op), item);
}

bool DeviceCodec::readScopeItems(const XmlNode& request, QStringList* items, QString* why)
{
    items->clear();
    const QVector<const XmlNode*> all = request.all(Ns::Device, scopeItemName(request.name));
    // Each of the three requests names one scope at least: an empty SetScopes would clear them all.
    if (all.isEmpty() || all.size() > MaxScopes) {
        *why = tr("%1 scopes (1 to %2)").arg(all.size()).arg(MaxScopes);
        return false;
    }
    for (const XmlNode* node : all) {
        const QString item = node->text.trimmed();
        if (!isScope(item)) {
            *why = tr("the scope \"%1\"").arg(item.left(60));
            return false;
        }
        if (!items->contains(item))
            items->append(item);
    }
    return true;
}

bool DeviceCodec::isUserLevel(const QString& level)
{
    return level == QLatin1String("Administrator") || level == QLatin1String("Operator") ||
           level == QLatin1String("User");
}

bool DeviceCodec::readUsers(const XmlNode& request, QVector<User>* users, QString* why)
{
    users->clear();
    const QVector<const XmlNode*> all = request.all(Ns::Device, QStringLiteral("User"));
    if (all.isEmpty() || all.size() > MaxUsers) {
        *why = tr("%1 users (1 to %2)").arg(all.size()).arg(MaxUsers);
        return false;
    }
    for (const XmlNode* node : all) {
        User user;
        user.name = node->childText(Ns::Schema, QStringLiteral("Username"));
        user.password = node->childText(Ns::Schema, QStringLiteral("Password"));
        user.level = node->childText(Ns::Schema, QStringLiteral("UserLevel")).trimmed();
        const bool printable = std::all_of(user.name.begin(), user.name.end(),
                                           [](QChar c) { return c.isPrint() && !c.isSpace(); });
        if (user.name.isEmpty() || user.name.size() > MaxUserNameLength || !printable) {
            *why = tr("the user name \"%1\"").arg(user.name.left(40));
            return false;
        }
        if (user.password.size() > MaxPasswordLength) {
            *why = tr("a password of %1 characters (at most %2)")
                       .arg(user.password.size())
                       .arg(MaxPasswordLength);
            return false;
        }
        if (!isUserLevel(user.level)) {
            *why = tr("the user level \"%1\"").arg(user.level.left(40));
            return false;
        }
        users->append(user);
    }
    return true;
}

void DeviceCodec::writeUsers(QXmlStreamWriter& w, const QVector<User>& users)
{
    for (const User& u : users) {
        w.writeStartElement(Ns::Device, QStringLiteral("User"));
        S::writeText(w, Ns::Schema, QStringLiteral("Username"), u.name);
        S::writeText(w, Ns::Schema, QStringLiteral("UserLevel"), u.level);
        w.writeEndElement();
    }
}

void DeviceCodec::writeCapabilities(QXmlStreamWriter& w, const XAddrs& xaddrs, int videoOutputs)
{
    w.writeStartElement(Ns::Device, QStringLiteral("Capabilities"));
    w.writeStartElement(Ns::Schema, QStringLiteral("Device"));
    S::writeText(w, Ns::Schema, QStringLiteral("XAddr"), xaddrs.value(Ns::Device));
    w.writeStartElement(Ns::Schema, QStringLiteral("Network"));
    writeBool(w, Ns::Schema, QStringLiteral("IPFilter"), false);
    writeBool(w, Ns::Schema, QStringLiteral("ZeroConfiguration"), false);
    writeBool(w, Ns::Schema, QStringLiteral("IPVersion6"), true);
    writeBool(w, Ns::Schema, QStringLiteral("DynDNS"), false);
    w.writeEndElement();
    w.writeStartElement(Ns::Schema, QStringLiteral("System"));
    writeBool(w, Ns::Schema, QStringLiteral("DiscoveryResolve"), false);
    writeBool(w, Ns::Schema, QStringLiteral("DiscoveryBye"), false);
    writeBool(w, Ns::Schema, QStringLiteral("RemoteDiscovery"), false);
    writeBool(w, Ns::Schema, QStringLiteral("SystemBackup"), false);
    writeBool(w, Ns::Schema, QStringLiteral("SystemLogging"), true);
    writeBool(w, Ns::Schema, QStringLiteral("FirmwareUpgrade"), false);
    w.writeStartElement(Ns::Schema, QStringLiteral("SupportedVersions"));
    S::writeInt(w, Ns::Schema, QStringLiteral("Major"), 2);
    S::writeInt(w, Ns::Schema, QStringLiteral("Minor"), 60);
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(Ns::Schema, QStringLiteral("Security"));
    for (const char* name : {"TLS1.1", "TLS1.2", "OnboardKeyGeneration", "AccessPolicyConfig", "X.509Token",
                             "SAMLToken", "KerberosToken", "RELToken"})
        writeBool(w, Ns::Schema, QLatin1String(name), false);
    w.writeEndElement();
    w.writeEndElement();
    if (xaddrs.contains(Ns::DeviceIo) || xaddrs.contains(Ns::Display) || xaddrs.contains(Ns::Receiver)) {
        w.writeStartElement(Ns::Schema, QStringLiteral("Extension"));
        if (xaddrs.contains(Ns::DeviceIo)) {
            w.writeStartElement(Ns::Schema, QStringLiteral("DeviceIO"));
            S::writeText(w, Ns::Schema, QStringLiteral("XAddr"), xaddrs.value(Ns::DeviceIo));
            S::writeInt(w, Ns::Schema, QStringLiteral("VideoSources"), 0);
            S::writeInt(w, Ns::Schema, QStringLiteral("VideoOutputs"), videoOutputs);
            S::writeInt(w, Ns::Schema, QStringLiteral("AudioSources"), 0);
            S::writeInt(w, Ns::Schema, QStringLiteral("AudioOutputs"), 0);
            S::writeInt(w, Ns::Schema, QStringLiteral("RelayOutputs"), 0);
            w.writeEndElement();
        }
        if (xaddrs.contains(Ns::Display)) {
            w.writeStartElement(Ns::Schema, QStringLiteral("Display"));
            S::writeText(w, Ns::Schema, QStringLiteral("XAddr"), xaddrs.value(Ns::Display));
            writeBool(w, Ns::Schema, QStringLiteral("FixedLayout"), false);
            w.writeEndElement();
        }
        if (xaddrs.contains(Ns::Receiver)) {
            w.writeStartElement(Ns::Schema, QStringLiteral("Receiver"));
            S::writeText(w, Ns::Schema, QStringLiteral("XAddr"), xaddrs.value(Ns::Receiver));
            writeBool(w, Ns::Schema, QStringLiteral("RTP_Multicast"), false);
            writeBool(w, Ns::Schema, QStringLiteral("RTP_TCP"), true);
            writeBool(w, Ns::Schema, QStringLiteral("RTP_RTSP_TCP"), true);
            S::writeInt(w, Ns::Schema, QStringLiteral("SupportedReceivers"), 128);
            S::writeInt(w, Ns::Schema, QStringLiteral("MaximumRTSPURILength"), 1024);
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement();
}

DeviceCodec::XAddrs DeviceCodec::readCapabilities(const XmlNode& response)
{
    XAddrs xaddrs;
    const XmlNode& c = response.child(Ns::Device, QStringLiteral("Capabilities"));
    const auto take = [&xaddrs](const QString& ns, const XmlNode& node) {
        const QString xaddr = node.childText(Ns::Schema, QStringLiteral("XAddr")).trimmed();
        if (!node.isNull() && !xaddr.isEmpty())
            xaddrs.insert(ns, xaddr);
    };
    take(Ns::Device, c.child(Ns::Schema, QStringLiteral("Device")));
    const XmlNode& extension = c.child(Ns::Schema, QStringLiteral("Extension"));
    take(Ns::DeviceIo, extension.child(Ns::Schema, QStringLiteral("DeviceIO")));
    take(Ns::Display, extension.child(Ns::Schema, QStringLiteral("Display")));
    take(Ns::Receiver, extension.child(Ns::Schema, QStringLiteral("Receiver")));
    return xaddrs;
}

void DeviceCodec::writeDeviceServiceCapabilities(QXmlStreamWriter& w)
{
    w.writeStartElement(Ns::Device, QStringLiteral("Capabilities"));
    w.writeEmptyElement(Ns::Device, QStringLiteral("Network"));
    attribute(w, QStringLiteral("IPFilter"), false);
    attribute(w, QStringLiteral("ZeroConfiguration"), false);
    attribute(w, QStringLiteral("IPVersion6"), true);
    attribute(w, QStringLiteral("DynDNS"), false);
    attribute(w, QStringLiteral("HostnameFromDHCP"), false);
    w.writeAttribute(QStringLiteral("NTP"), QStringLiteral("4"));
    w.writeEmptyElement(Ns::Device, QStringLiteral("Security"));
    attribute(w, QStringLiteral("UsernameToken"), true);
    attribute(w, QStringLiteral("HttpDigest"), true);
    w.writeAttribute(QStringLiteral("MaxUsers"), QString::number(MaxUsers + 1));
    w.writeAttribute(QStringLiteral("MaxUserNameLength"), QString::number(MaxUserNameLength));
    w.writeAttribute(QStringLiteral("MaxPasswordLength"), QString::number(MaxPasswordLength));
    w.writeEmptyElement(Ns::Device, QStringLiteral("System"));
    attribute(w, QStringLiteral("DiscoveryResolve"), false);
    attribute(w, QStringLiteral("DiscoveryBye"), false);
    attribute(w, QStringLiteral("RemoteDiscovery"), false);
    attribute(w, QStringLiteral("SystemBackup"), false);
    attribute(w, QStringLiteral("SystemLogging"), true);
    attribute(w, QStringLiteral("FirmwareUpgrade"), false);
    attribute(w, QStringLiteral("HttpFirmwareUpgrade"), true);
    attribute(w, QStringLiteral("HttpSystemBackup"), true);
    attribute(w, QStringLiteral("HttpSystemLogging"), false);
    attribute(w, QStringLiteral("HttpSupportInformation"), true);
    w.writeEndElement();
}

void DeviceCodec::writeDeviceIoServiceCapabilities(QXmlStreamWriter& w, int videoOutputs)
{
    w.writeEmptyElement(Ns::DeviceIo, QStringLiteral("Capabilities"));
    w.writeAttribute(QStringLiteral("VideoSources"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("VideoOutputs"), QString::number(videoOutputs));
    w.writeAttribute(QStringLiteral("AudioSources"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("AudioOutputs"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("RelayOutputs"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("SerialPorts"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("DigitalInputs"), QStringLiteral("0"));
}

} // namespace pral_matrix
