#include "wsdiscovery.h"

#include "onvifnamespaces.h"
#include "soapenvelope.h"

#include <QUuid>

namespace pral_matrix {

namespace {

const QString ProbeAction = QStringLiteral("http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe");
const QString MatchesAction = QStringLiteral("http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches");
const QString DiscoveryTo = QStringLiteral("urn:schemas-xmlsoap-org:ws:2005:04:discovery");
const QString Anonymous = QStringLiteral("http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous");

QString prefixFor(const QString& ns)
{
    if (ns == Ns::Device)
        return QStringLiteral("tds");
    if (ns == Ns::Network)
        return QStringLiteral("dn");
    if (ns == Ns::Wall)
        return QStringLiteral("tvw");
    return QString();
}

QString typesText(const QVector<WsDiscovery::Type>& types)
{
    QStringList names;
    for (const WsDiscovery::Type& t : types) {
        const QString prefix = prefixFor(t.first);
        if (!prefix.isEmpty())
            names << prefix + QLatin1Char(':') + t.second;
    }
    return names.join(QLatin1Char(' '));
}

QVector<WsDiscovery::Type> readTypes(const XmlNode& node)
{
    QVector<WsDiscovery::Type> types;
    const QStringList names = node.text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& name : names)
        types.append(node.resolveQName(name));
    return types;
}

void writeHeader(QXmlStreamWriter& w, const QString& action, const QString& messageId, const QString& to)
{
    w.writeStartElement(Ns::Addressing, QStringLiteral("Action"));
    w.writeAttribute(Ns::Soap, QStringLiteral("mustUnderstand"), QStringLiteral("1"));
    w.writeCharacters(action);
    w.writeEndElement();
    w.writeTextElement(Ns::Addressing, QStringLiteral("MessageID"), messageId);
    w.writeStartElement(Ns::Addressing, QStringLiteral("To"));
    w.writeAttribute(Ns::Soap, QStringLiteral("mustUnderstand"), QStringLiteral("1"));
    w.writeCharacters(to);
    w.writeEndElement();
}

/** "a/b/c" prefixes "a/b/c/d" but not "a/b/cd". */
bool scopePrefixes(const QString& probed, const QString& announced)
{
    const QStringList p = probed.split(QLatin1Char('/'));
    const QStringList a = announced.split(QLatin1Char('/'));
    if (p.size() > a.size())
        return false;
    for (int i = 0; i < p.size(); ++i) {
        if (i == p.size() - 1 && p.at(i).isEmpty())
            return true;
        if (p.at(i) != a.at(i))
            return false;
    }
    return true;
}

} // namespace

QVector<WsDiscovery::Type> WsDiscovery::decoderTypes()
{
    return {qMakePair(Ns::Device, QStringLiteral("Device")),
            qMakePair(Ns::Network, QStringLiteral("NetworkVideoDisplay"))};
}

QString WsDiscovery::newMessageId()
{
    return QStringLiteral("uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray WsDiscovery::buildProbe(const QString& messageId, const QVector<Type>& types,
                                   const QStringList& scopes)
{
    return SoapEnvelope::build(
        [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Discovery, QStringLiteral("Probe"));
            if (!types.isEmpty())
                w.writeTextElement(Ns::Discovery, QStringLiteral("Types"), typesText(types));
            if (!scopes.isEmpty())
                w.writeTextElement(Ns::Discovery, QStringLiteral("Scopes"), scopes.join(QLatin1Char(' ')));
            w.writeEndElement();
        },
        nullptr,
        [&](QXmlStreamWriter& w) {
            writeHeader(w, ProbeAction, messageId, DiscoveryTo);
            w.writeStartElement(Ns::Addressing, QStringLiteral("ReplyTo"));
            w.writeTextElement(Ns::Addressing, QStringLiteral("Address"), Anonymous);
            w.writeEndElement();
        });
}

bool WsDiscovery::parseProbe(const QByteArray& datagram, Probe* probe, QString* error)
{
    if (datagram.size() > MaxDatagramBytes) {
        *error = QStringLiteral("a datagram larger than %1 bytes").arg(MaxDatagramBytes);
        return false;
    }
    SoapEnvelope::Message message;
    if (!SoapEnvelope::parse(datagram, &message, error))
        return false;
    if (!message.payload.is(Ns::Discovery, QStringLiteral("Probe"))) {
        *error = QStringLiteral("not a probe");
        return false;
    }
    probe->messageId = message.header.childText(Ns::Addressing, QStringLiteral("MessageID"));
    probe->types = readTypes(message.payload.child(Ns::Discovery, QStringLiteral("Types")));
    probe->scopes = message.payload.childText(Ns::Discovery, QStringLiteral("Scopes"))
                        .simplified()
                        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return true;
}

QByteArray WsDiscovery::buildProbeMatch(const QString& relatesTo, const Match& match, quint32 instanceId,
                                        quint32 messageNumber, SoapEnvelope::Vocabulary vocabulary)
{
    return SoapEnvelope::build(
        [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Discovery, QStringLiteral("ProbeMatches"));
            w.writeStartElement(Ns::Discovery, QStringLiteral("ProbeMatch"));
            w.writeStartElement(Ns::Addressing, QStringLiteral("EndpointReference"));
            w.writeTextElement(Ns::Addressing, QStringLiteral("Address"), match.endpoint);
            w.writeEndElement();
            w.writeTextElement(Ns::Discovery, QStringLiteral("Types"), typesText(match.types));
            w.writeTextElement(Ns::Discovery, QStringLiteral("Scopes"), match.scopes.join(QLatin1Char(' ')));
            w.writeTextElement(Ns::Discovery, QStringLiteral("XAddrs"), match.xaddrs.join(QLatin1Char(' ')));
            SoapEnvelope::writeInt(w, Ns::Discovery, QStringLiteral("MetadataVersion"),
                                   match.metadataVersion);
            w.writeEndElement();
            w.writeEndElement();
        },
        nullptr,
        [&](QXmlStreamWriter& w) {
            writeHeader(w, MatchesAction, newMessageId(), Anonymous);
            w.writeTextElement(Ns::Addressing, QStringLiteral("RelatesTo"), relatesTo);
            w.writeStartElement(Ns::Discovery, QStringLiteral("AppSequence"));
            w.writeAttribute(QStringLiteral("InstanceId"), QString::number(instanceId));
            w.writeAttribute(QStringLiteral("MessageNumber"), QString::number(messageNumber));
            w.writeEndElement();
        },
        vocabulary);
}

bool WsDiscovery::parseProbeMatches(const QByteArray& datagram, QString* relatesTo, QVector<Match>* matches,
                                    QString* error)
{
    if (datagram.size() > MaxDatagramBytes) {
        *error = QStringLiteral("a datagram larger than %1 bytes").arg(MaxDatagramBytes);
        return false;
    }
    SoapEnvelope::Message message;
    if (!SoapEnvelope::parse(datagram, &message, error))
        return false;
    if (!message.payload.is(Ns::Discovery, QStringLiteral("ProbeMatches"))) {
        *error = QStringLiteral("not a probe answer");
        return false;
    }
    *relatesTo = message.header.childText(Ns::Addressing, QStringLiteral("RelatesTo"));
    matches->clear();
    for (const XmlNode* m : message.payload.all(Ns::Discovery, QStringLiteral("ProbeMatch"))) {
        Match match;
        match.endpoint = m->child(Ns::Addressing, QStringLiteral("EndpointReference"))
                             .childText(Ns::Addressing, QStringLiteral("Address"));
        match.types = readTypes(m->child(Ns::Discovery, QStringLiteral("Types")));
        match.scopes = m->childText(Ns::Discovery, QStringLiteral("Scopes"))
                           .simplified()
                           .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        match.xaddrs = m->childText(Ns::Discovery, QStringLiteral("XAddrs"))
                           .simplified()
                           .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        match.metadataVersion = m->childInt(Ns::Discovery, QStringLiteral("MetadataVersion"), 0);
        matches->append(match);
    }
    return true;
}

bool WsDiscovery::answers(const Probe& probe, const QVector<Type>& types, const QStringList& scopes)
{
    for (const Type& t : probe.types) {
        if (!types.contains(t))
            return false;
    }
    for (const QString& wanted : probe.scopes) {
        if (std::none_of(scopes.begin(), scopes.end(),
                         [&wanted](const QString& s) { return scopePrefixes(wanted, s); }))
            return false;
    }
    return true;
}

} // namespace pral_matrix
