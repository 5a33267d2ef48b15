#pragma once

#include "decoder_network_global.h"
#include "xmlnode.h"

#include <QByteArray>
#include <QDateTime>
#include <QXmlStreamWriter>

#include <functional>

namespace pral_matrix {

/**
 * @brief SOAP 1.2 messages: writing an envelope, reading one back, faults and
 * the WS-Security UsernameToken with a password digest.
 *
 * Every envelope declares all the protocol's prefixes on its root (s, tds,
 * tt, tmd, tls, trv, ter, dn, d, wsa, wsse, wsu) and ours (tvw), so a body
 * writer names elements by namespace and the writer picks the prefix. An
 * envelope of a device that serves the standard services only declares no
 * prefix of ours, and its faults carry no result code of ours.
 */
class DECODER_NETWORK_EXPORT SoapEnvelope
{
public:
    using Writer = std::function<void(QXmlStreamWriter&)>;

    /** What an envelope may carry of ours besides the protocol's own. */
    enum class Vocabulary
    {
        /** Our prefix on the root, our result code in a fault's detail. */
        WithOurs,
        /** The protocol's alone: nothing names our namespace. */
        StandardOnly,
    };

    struct Token
    {
        QString userName;
        QString password;
        /** Added to our clock so that Created reads as the peer's time. */
        qint64 clockOffsetMs = 0;
    };

    /** What a peer's UsernameToken carries. */
    struct ReceivedToken
    {
        bool present = false;
        QString userName;
        QByteArray digest;
        QByteArray nonce;
        QString created;
        bool isDigest = false;
    };

    struct Fault
    {
        /** "Sender" or "Receiver". */
        QString code;
        /** The first ter: subcode's local name, e.g. "NotAuthorized". */
        QString subcode;
        /** The subcode nested in the first, e.g. "UnknownToken" under "InvalidArgVal"; empty when none. */
        QString innerSubcode;
        QString reason;
        /** Our result code in the detail, or 0 when there is none. */
        int result = 0;
        XmlNode detail;
    };

    struct Message
    {
        XmlNode header;
        /** The first element of the body. */
        XmlNode payload;
        bool isFault = false;
        Fault fault;
    };

    /** The whole envelope; token adds a wsse:Security header. */
    static QByteArray build(const Writer& body, const Token* token = nullptr, const Writer& header = {},
                            Vocabulary vocabulary = Vocabulary::WithOurs);
    /**
     * A fault; subcode may nest ter: subcodes joined by '/'; detail writes inside env:Detail. In the standard
     * vocabulary the result code is left out (the caller passes no detail of ours either).
     */
    static QByteArray buildFault(const QString& code, const QString& subcode, const QString& reason,
                                 int result, const Writer& detail = {},
                                 Vocabulary vocabulary = Vocabulary::WithOurs);
    /** false and *error when xml is not a SOAP 1.2 envelope with a body element. */
    static bool parse(const QByteArray& xml, Message* message, QString* error);

    /** Base64(SHA-1(nonce + created + password)). */
    static QByteArray passwordDigest(const QByteArray& nonce, const QString& created,
                                     const QString& password);
    static ReceivedToken readToken(const XmlNode& header);
    /** True when token proves password and was created within maxSkewSecs of now. */
    static bool verify(const ReceivedToken& token, const QString& password, const QDateTime& now,
                       int maxSkewSecs = 300);

    static void writeText(QXmlStreamWriter& w, const QString& ns, const QString& name, const QString& text);
    static void writeInt(QXmlStreamWriter& w, const QString& ns, const QString& name, qint64 value);
};

} // namespace pral_matrix
