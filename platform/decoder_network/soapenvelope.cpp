#include "soapenvelope.h"

#include "onvifnamespaces.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace pral_matrix {

namespace {

const QString PasswordDigestType = QStringLiteral(
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest");
const QString Base64Type = QStringLiteral(
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary");

void declareNamespaces(QXmlStreamWriter& w, SoapEnvelope::Vocabulary vocabulary)
{
    w.writeNamespace(Ns::Soap, QStringLiteral("s"));
    w.writeNamespace(Ns::Device, QStringLiteral("tds"));
    w.writeNamespace(Ns::Schema, QStringLiteral("tt"));
    w.writeNamespace(Ns::DeviceIo, QStringLiteral("tmd"));
    w.writeNamespace(Ns::Display, QStringLiteral("tls"));
    w.writeNamespace(Ns::Receiver, QStringLiteral("trv"));
    w.writeNamespace(Ns::Error, QStringLiteral("ter"));
    w.writeNamespace(Ns::Network, QStringLiteral("dn"));
    w.writeNamespace(Ns::Discovery, QStringLiteral("d"));
    w.writeNamespace(Ns::Addressing, QStringLiteral("wsa"));
    w.writeNamespace(Ns::Security, QStringLiteral("wsse"));
    w.writeNamespace(Ns::Utility, QStringLiteral("wsu"));
    if (vocabulary == SoapEnvelope::Vocabulary::WithOurs)
        w.writeNamespace(Ns::Wall, QStringLiteral("tvw"));
}

QString isoUtc(const QDateTime& t)
{
    return t.toUTC().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzzZ"));
}

} // namespace

void SoapEnvelope::writeText(QXmlStreamWriter& w, const QString& ns, const QString& name, const QString& text)
{
    w.writeTextElement(ns, name, text);
}

void SoapEnvelope::writeInt(QXmlStreamWriter& w, const QString& ns, const QString& name, qint64 value)
{
    w.writeTextElement(ns, name, QString::number(value));
}

QByteArray SoapEnvelope::passwordDigest(const QByteArray& nonce, const QString& created,
                                        const QString& password)
{
    return QCryptographicHash::hash(nonce + created.toUtf8() + password.toUtf8(), QCryptographicHash::Sha1)
        .toBase64();
}

QByteArray SoapEnvelope::build(const Writer& body, const Token* token, const Writer& header,
                               Vocabulary vocabulary)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    declareNamespaces(w, vocabulary);
    w.writeStartElement(Ns::Soap, QStringLiteral("Envelope"));
    if (token || header) {
        w.writeStartElement(Ns::Soap, QStringLiteral("Header"));
        if (header)
            header(w);
        if (token) {
            QByteArray nonce(16, '\0');
            QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(nonce.data()), 4);
            const QString created = isoUtc(QDateTime::currentDateTimeUtc().addMSecs(token->clockOffsetMs));
            w.writeStartElement(Ns::Security, QStringLiteral("Security"));
            w.writeAttribute(Ns::Soap, QStringLiteral("mustUnderstand"), QStringLiteral("1"));
            w.writeStartElement(Ns::Security, QStringLiteral("UsernameToken"));
            w.writeTextElement(Ns::Security, QStringLiteral("Username"), token->userName);
            w.writeStartElement(Ns::Security, QStringLiteral("Password"));
            w.writeAttribute(QStringLiteral("Type"), PasswordDigestType);
            w.writeCharacters(QString::fromLatin1(passwordDigest(nonce, created, token->password)));
            w.writeEndElement();
            w.writeStartElement(Ns::Security, QStringLiteral("Nonce"));
            w.writeAttribute(QStringLiteral("EncodingType"), Base64Type);
            w.writeCharacters(QString::fromLatin1(nonce.toBase64()));
            w.writeEndElement();
            w.writeTextElement(Ns::Utility, QStringLiteral("Created"), created);
            w.writeEndElement();
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeStartElement(Ns::Soap, QStringLiteral("Body"));
    body(w);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray SoapEnvelope::buildFault(const QString& code, const QString& subcode, const QString& reason,
                                    int result, const Writer& detail, Vocabulary vocabulary)
{
    if (vocabulary == Vocabulary::StandardOnly)
        result = 0;
    return build(
        [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Soap, QStringLiteral("Fault"));
            w.writeStartElement(Ns::Soap, QStringLiteral("Code"));
            w.writeTextElement(Ns::Soap, QStringLiteral("Value"), QStringLiteral("s:") + code);
            // ONVIF nests its subcodes: ter:InvalidArgVal, then what exactly was invalid.
            const QStringList subcodes = subcode.split(QLatin1Char('/'), Qt::SkipEmptyParts);
            for (const QString& s : subcodes) {
                w.writeStartElement(Ns::Soap, QStringLiteral("Subcode"));
                w.writeTextElement(Ns::Soap, QStringLiteral("Value"), QStringLiteral("ter:") + s);
            }
            for (int i = 0; i < subcodes.size(); ++i)
                w.writeEndElement();
            w.writeEndElement();
            w.writeStartElement(Ns::Soap, QStringLiteral("Reason"));
            w.writeStartElement(Ns::Soap, QStringLiteral("Text"));
            w.writeAttribute(QStringLiteral("http://www.w3.org/XML/1998/namespace"), QStringLiteral("lang"),
                             QStringLiteral("en"));
            w.writeCharacters(reason);
            w.writeEndElement();
            w.writeEndElement();
            if (result != 0 || detail) {
                w.writeStartElement(Ns::Soap, QStringLiteral("Detail"));
                if (result != 0)
                    writeInt(w, Ns::Wall, QStringLiteral("Result"), result);
                if (detail)
                    detail(w);
                w.writeEndElement();
            }
            w.writeEndElement();
        },
        nullptr, {}, vocabulary);
}

bool SoapEnvelope::parse(const QByteArray& xml, Message* message, QString* error)
{
    *message = Message();
    const XmlNode root = XmlNode::parse(xml, error);
    if (root.isNull())
        return false;
    if (!root.is(Ns::Soap, QStringLiteral("Envelope"))) {
        *error = QStringLiteral("not a SOAP 1.2 envelope");
        return false;
    }
    const XmlNode& body = root.child(Ns::Soap, QStringLiteral("Body"));
    if (body.isNull() || body.children.isEmpty()) {
        *error = QStringLiteral("the envelope has no body element");
        return false;
    }
    message->header = root.child(Ns::Soap, QStringLiteral("Header"));
    message->payload = body.children.first();
    if (message->payload.is(Ns::Soap, QStringLiteral("Fault"))) {
        const XmlNode& f = message->payload;
        Fault& fault = message->fault;
        message->isFault = true;
        const XmlNode& code = f.child(Ns::Soap, QStringLiteral("Code"));
        fault.code = code.resolveQName(code.childText(Ns::Soap, QStringLiteral("Value"))).second;
        const XmlNode& sub = code.child(Ns::Soap, QStringLiteral("Subcode"));
        if (!sub.isNull())
            fault.subcode = sub.resolveQName(sub.childText(Ns::Soap, QStringLiteral("Value"))).second;
        const XmlNode& inner = sub.child(Ns::Soap, QStringLiteral("Subcode"));
        if (!inner.isNull())
            fault.innerSubcode =
                inner.resolveQName(inner.childText(Ns::Soap, QStringLiteral("Value"))).second;
        fault.reason =
            f.child(Ns::Soap, QStringLiteral("Reason")).childText(Ns::Soap, QStringLiteral("Text"));
        fault.detail = f.child(Ns::Soap, QStringLiteral("Detail"));
        fault.result = fault.detail.childInt(Ns::Wall, QStringLiteral("Result"), 0);
    }
    return true;
}

SoapEnvelope::ReceivedToken SoapEnvelope::readToken(const XmlNode& header)
{
    ReceivedToken token;
    const XmlNode& t = header.child(Ns::Security, QStringLiteral("Security"))
                           .child(Ns::Security, QStringLiteral("UsernameToken"));
    if (t.isNull())
        return token;
    token.present = true;
    token.userName = t.childText(Ns::Security, QStringLiteral("Username"));
    const XmlNode& password = t.child(Ns::Security, QStringLiteral("Password"));
    token.isDigest = password.attributes.value(QStringLiteral("Type")) == PasswordDigestType;
    token.digest = password.text.toLatin1();
    token.nonce = QByteArray::fromBase64(t.childText(Ns::Security, QStringLiteral("Nonce")).toLatin1());
    token.created = t.childText(Ns::Utility, QStringLiteral("Created"));
    return token;
}

bool SoapEnvelope::verify(const ReceivedToken& token, const QString& password, const QDateTime& now,
                          int maxSkewSecs)
{
    if (!token.present || !token.isDigest || token.nonce.isEmpty())
        return false;
    const QDateTime created = QDateTime::fromString(token.created, Qt::ISODateWithMs);
    if (!created.isValid() || qAbs(created.secsTo(now)) > maxSkewSecs)
        return false;
    return passwordDigest(token.nonce, token.created, password) == token.digest;
}

} // namespace pral_matrix
