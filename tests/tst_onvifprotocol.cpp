// The protocol layer both ends share: what the parsers refuse, the digest that proves a password, when a
// decoder answers a probe, the request reader's limits, and a bounded mutation run of every parser.

#include "httprequestparser.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"
#include "xmlnode.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

using namespace pral_matrix;

namespace {

const QByteArray Nonce = QByteArray::fromBase64("AQIDBAUGBwgJCgsMDQ4PEA==");
const QString Created = QStringLiteral("2024-01-01T00:00:00Z");

QByteArray tokenEnvelope(const QString& type, const QByteArray& digest, const QString& created)
{
    return QStringLiteral(
               "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:wsse=\"%1\" "
               "xmlns:wsu=\"%2\"><s:Header><wsse:Security><wsse:UsernameToken>"
               "<wsse:Username>admin</wsse:Username><wsse:Password Type=\"%3\">%4</wsse:Password>"
               "<wsse:Nonce>AQIDBAUGBwgJCgsMDQ4PEA==</wsse:Nonce><wsu:Created>%5</wsu:Created>"
               "</wsse:UsernameToken></wsse:Security></s:Header><s:Body><x/></s:Body></s:Envelope>")
        .arg(Ns::Security, Ns::Utility, type, QString::fromLatin1(digest), created)
        .toUtf8();
}

QByteArray request(const QByteArray& head, const QByteArray& body = {})
{
    return head + "\r\n\r\n" + body;
}

/** Admits a body of up to maxBody bytes anywhere but on /gone, which takes none. */
HttpRequestParser::Admit admitUpTo(qint64 maxBody)
{
    return [maxBody](const HttpRequestParser& head) {
        return head.path == "/gone" ? HttpRequestParser::Admission{0, 404}
                                    : HttpRequestParser::Admission{maxBody, 0};
    };
}

const QByteArray SoapNs = "http://www.w3.org/2003/05/soap-envelope";

/** A SOAP envelope whose root carries rootAttributes and whose body holds body. */
QByteArray envelope(const QByteArray& rootAttributes, const QByteArray& body)
{
    return "<s:Envelope xmlns:s=\"" + SoapNs + "\"" + rootAttributes + "><s:Body>" + body +
           "</s:Body></s:Envelope>";
}

/** count declarations of distinct prefixes (p<first>, p<first+1>, ...), each with a namespace of its own. */
QByteArray declarations(int count, int first = 0)
{
    QByteArray out;
    out.reserve(count * 40);
    for (int i = first; i < first + count; ++i) {
        const QByteArray n = QByteArray::number(i);
        out.append(" xmlns:p").append(n).append("=\"urn:example:ns:").append(n).append('"');
    }
    return out;
}

QByteArray repeated(const QByteArray& piece, int count)
{
    QByteArray out;
    out.reserve(piece.size() * count);
    for (int i = 0; i < count; ++i)
        out += piece;
    return out;
}

/** An element with count attributes a0="1" a1="1" ... */
QByteArray attributed(int count)
{
    QByteArray out = "<x";
    out.reserve(count * 12);
    for (int i = 0; i < count; ++i)
        out.append(" a").append(QByteArray::number(i)).append("=\"1\"");
    return out + "/>";
}

} // namespace

class TestOnvifProtocol : public QObject
{
    Q_OBJECT

private slots:
    void digestProvesThePasswordOnlyWhenFresh_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("ageSecs");
        QTest::addColumn<bool>("accepted");
        const QString digest = QStringLiteral("http://docs.oasis-open.org/wss/2004/01/"
                                              "oasis-200401-wss-username-token-profile-1.0#PasswordDigest");
        QTest::newRow("right password") << digest << "Passw0rd!" << 10 << true;
        QTest::newRow("wrong password") << digest << "Passw0rd?" << 10 << false;
        QTest::newRow("created too long ago") << digest << "Passw0rd!" << 301 << false;
        QTest::newRow("clear-text type") << digest.section('#', 0, 0) + "#PasswordText"
                                         << "Passw0rd!" << 10 << false;
    }
    void digestProvesThePasswordOnlyWhenFresh()
    {
        QFETCH(QString, type);
        QFETCH(QString, password);
        QFETCH(int, ageSecs);
        QFETCH(bool, accepted);
        // Base64(SHA-1(nonce + created + password)), computed apart from this code.
        QCOMPARE(SoapEnvelope::passwordDigest(Nonce, Created, QStringLiteral("Passw0rd!")),
                 QByteArray("FJopTZo6gLdwjYZ/wwe+miSaL58="));
        SoapEnvelope::Message m;
        QString error;
        QVERIFY2(
            SoapEnvelope::parse(tokenEnvelope(type, "FJopTZo6gLdwjYZ/wwe+miSaL58=", Created), &m, &error),
            qPrintable(error));
        const SoapEnvelope::ReceivedToken token = SoapEnvelope::readToken(m.header);
        QCOMPARE(token.userName, QStringLiteral("admin"));
        const QDateTime now = QDateTime::fromString(Created, Qt::ISODate).addSecs(ageSecs);
        QCOMPARE(SoapEnvelope::verify(token, password, now), accepted);
    }

    void builtTokenVerifiesAndFaultsReadBack()
    {
        const SoapEnvelope::Token token{QStringLiteral("admin"), QStringLiteral("s3cret-pw"), 0};
        SoapEnvelope::Message m;
        QString error;
        QVERIFY(SoapEnvelope::parse(
            SoapEnvelope::build([](QXmlStreamWriter& w) { w.writeEmptyElement(Ns::Device, "GetUsers"); },
                                &token),
            &m, &error));
        QVERIFY(m.payload.is(Ns::Device, QStringLiteral("GetUsers")));
        QVERIFY(SoapEnvelope::verify(SoapEnvelope::readToken(m.header), token.password,
                                     QDateTime::currentDateTimeUtc()));
        ConnectErrorMsgInfo refusal;
        refusal.errorType = QStringLiteral("PASSWDERR");
        refusal.errorCount = 2;
        refusal.lockThreshold = 5;
        QVERIFY(SoapEnvelope::parse(
            SoapEnvelope::buildFault(QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                                     QStringLiteral("no"), -22,
                                     [&](QXmlStreamWriter& w) { OnvifCodec::writeLoginRefusal(w, refusal); }),
            &m, &error));
        QVERIFY(m.isFault);
        QCOMPARE(m.fault.code, QStringLiteral("Sender"));
        QCOMPARE(m.fault.subcode, QStringLiteral("NotAuthorized"));
        QCOMPARE(m.fault.result, -22);
        ConnectErrorMsgInfo read;
        QVERIFY(OnvifCodec::readLoginRefusal(m.fault.detail, &read));
        QCOMPARE(read.errorType, refusal.errorType);
        QCOMPARE(read.errorCount, 2);
        QCOMPARE(read.lockMinutes, -1);
    }

    void parserRefusesWhatNoPeerShouldSend_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QByteArray deep = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>";
        for (int i = 0; i < 40; ++i)
            deep += "<a>";
        QTest::newRow("entity expansion")
            << QByteArray("<!DOCTYPE x [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;\">]>"
                          "<x>&b;</x>");
        QTest::newRow("nested too deep") << deep;
        QTest::newRow("truncated") << QByteArray(
            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Bo");
        QTest::newRow("SOAP 1.1 envelope") << QByteArray(
            "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><x/></e:Body>"
            "</e:Envelope>");
        QTest::newRow("empty body") << QByteArray(
            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body/></s:Envelope>");
        QTest::newRow("not XML") << QByteArray("HTTP/1.1 200 OK");
    }
    void parserRefusesWhatNoPeerShouldSend()
    {
        QFETCH(QByteArray, xml);
        SoapEnvelope::Message m;
        QString error;
        QVERIFY(!SoapEnvelope::parse(xml, &m, &error));
        QVERIFY(!error.isEmpty());
    }

    // Every limit of the XML reader, at its value and one beyond, and the shapes that once cost gigabytes
    // or seconds: refused (naming the limit) or read, each quickly.
    void xmlReaderKeepsItsLimits_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("says");
        using X = XmlNode;
        // Envelope and Body are two levels and two elements of every document here.
        auto nested = [](int levels) {
            return repeated("<a>", levels) + repeated("</a>", levels);
        };
        auto text = [](int bytes) {
            return "<x>" + QByteArray(bytes, 't') + "</x>";
        };
        auto value = [](int bytes) {
            return "<x a=\"" + QByteArray(bytes, 'v') + "\"/>";
        };
        const QByteArray inner = "<a" + declarations(X::MaxNamespaceDeclarationsPerElement, 1000) + ">";

        QTest::newRow("depth at the limit") << envelope({}, nested(X::MaxDepth - 2)) << true << QString();
        QTest::newRow("depth beyond") << envelope({}, nested(X::MaxDepth - 1)) << false << "nested deeper";
        QTest::newRow("elements at the limit")
            << envelope({}, repeated("<a/>", X::MaxElements - 2)) << true << QString();
        QTest::newRow("elements beyond")
            << envelope({}, repeated("<a/>", X::MaxElements - 1)) << false << "more than 20000 elements";
        QTest::newRow("attributes at the limit")
            << envelope({}, attributed(X::MaxAttributesPerElement)) << true << QString();
        QTest::newRow("attributes beyond") << envelope({}, attributed(X::MaxAttributesPerElement + 1))
                                           << false << "more than 64 attributes on one element";
        QTest::newRow("declarations on one element at the limit")
            << envelope(declarations(X::MaxNamespaceDeclarationsPerElement - 1), "<x/>") << true << QString();
        QTest::newRow("declarations on one element beyond")
            << envelope(declarations(X::MaxNamespaceDeclarationsPerElement), "<x/>") << false
            << "more than 128 namespace declarations on one element";
        QTest::newRow("declarations in scope at the limit")
            << envelope(declarations(X::MaxNamespaceDeclarationsPerElement - 1), inner + "<x/></a>") << true
            << QString();
        QTest::newRow("declarations in scope beyond")
            << envelope(declarations(X::MaxNamespaceDeclarationsPerElement - 1),
                        inner + "<x xmlns:q=\"urn:q\"/></a>")
            << false << "more than 256 namespace declarations in scope";
        QTest::newRow("declarations in a document at the limit")
            << envelope({}, repeated("<a xmlns:p=\"urn:p\"/>", X::MaxNamespaceDeclarations - 1)) << true
            << QString();
        QTest::newRow("declarations in a document beyond")
            << envelope({}, repeated("<a xmlns:p=\"urn:p\"/>", X::MaxNamespaceDeclarations)) << false
            << "more than 4096 namespace declarations";
        QTest::newRow("attribute value at the limit")
            << envelope({}, value(X::MaxAttributeValueBytes)) << true << QString();
        QTest::newRow("attribute value beyond") << envelope({}, value(X::MaxAttributeValueBytes + 1)) << false
                                                << "an attribute value longer than 16384 bytes";
        QTest::newRow("text at the limit") << envelope({}, text(X::MaxTextBytes)) << true << QString();
        QTest::newRow("text beyond") << envelope({}, text(X::MaxTextBytes + 1)) << false
                                     << "a text longer than 4194304 bytes";
        // The text of one element is all of its pieces: around a child and in a CDATA section.
        QTest::newRow("text beyond in pieces")
            << envelope({}, "<x>" + QByteArray(X::MaxTextBytes / 2, 't') + "<y/><![CDATA[" +
                                QByteArray(X::MaxTextBytes / 2 + 1, 'c') + "]]></x>")
            << false << "a text longer";
        const QByteArray twoTexts = envelope({}, text(0) + text(0));
        const int fill = X::MaxDocumentBytes - twoTexts.size();
        QTest::newRow("document at the limit")
            << envelope({}, text(fill / 2) + text(fill - fill / 2)) << true << QString();
        QTest::newRow("document beyond") << envelope({}, text(fill / 2) + text(fill - fill / 2 + 1)) << false
                                         << "a document larger than 8388608 bytes";

        // A root with 12,000 prefixes and 20,000 children declaring one more each: gigabytes once.
        QByteArray children;
        children.reserve(20000 * 48);
        for (int i = 0; i < 20000; ++i)
            children.append("<a").append(declarations(1, 12000 + i)).append("/>");
        QTest::newRow("namespace bomb")
            << envelope(declarations(12000), children) << false << "namespace declarations on one element";
        QTest::newRow("attribute flood")
            << envelope({}, attributed(50000)) << false << "attributes on one element";
        // The largest namespace bomb the limits let through, every child using the prefix it declares.
        QByteArray allowed;
        for (int i = 0; i < X::MaxNamespaceDeclarations - X::MaxNamespaceDeclarationsPerElement; ++i)
            allowed.append("<q:a xmlns:q=\"urn:q").append(QByteArray::number(i)).append("\" q:b=\"1\"/>");
        QTest::newRow("namespace bomb within the limits")
            << envelope(declarations(X::MaxNamespaceDeclarationsPerElement - 1), allowed) << true
            << QString();
        // What real devices send: their whole namespace table on the Envelope.
        QTest::newRow("sixty prefixes on the envelope")
            << envelope(declarations(60), "<p7:x p3:token=\"a\"><p59:y/></p7:x>") << true << QString();
    }
    void xmlReaderKeepsItsLimits()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, accepted);
        QFETCH(QString, says);
        QElapsedTimer clock;
        clock.start();
        QString error;
        const XmlNode root = XmlNode::parse(xml, &error);
        const qint64 ms = clock.elapsed();
        QVERIFY2(root.isNull() != accepted, qPrintable(error));
        if (!accepted)
            QVERIFY2(error.contains(says), qPrintable(error));
        else
            QVERIFY(root.is(QString::fromLatin1(SoapNs), QStringLiteral("Envelope")));
#ifdef __SANITIZE_ADDRESS__
        const qint64 budget = 4000; // the sanitizers slow reading several times over
#else
        const qint64 budget = 1000;
#endif
        // 8 MiB reads in a fraction of this; the bombs took seconds to minutes before they were bounded.
        QVERIFY2(ms < budget, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
    }

    void namespacesResolveInTheirScope()
    {
        QString error;
        XmlNode root = XmlNode::parse("<r xmlns:a=\"urn:1\" xmlns=\"urn:d\"><x xmlns:a=\"urn:2\"><y/></x>"
                                      "<z/></r>",
                                      &error);
        QVERIFY2(!root.isNull(), qPrintable(error));
        const XmlNode inner = root.children.at(0).children.at(0);
        QCOMPARE(inner.resolveQName(QStringLiteral("a:q")),
                 qMakePair(QStringLiteral("urn:2"), QStringLiteral("q")));
        // The sibling after a redeclaring element sees the outer declaration again.
        QCOMPARE(root.children.at(1).resolveQName(QStringLiteral("a:q")).first, QStringLiteral("urn:1"));
        QCOMPARE(root.children.at(1).resolveQName(QStringLiteral("q")).first, QStringLiteral("urn:d"));
        QCOMPARE(root.children.at(1).ns, QStringLiteral("urn:d"));
        QCOMPARE(root.children.at(1).resolveQName(QStringLiteral("b:q")).first, QString());
        // A node taken out of its tree keeps the scope it was read in.
        root = XmlNode();
        QCOMPARE(inner.resolveQName(QStringLiteral("a:q")).first, QStringLiteral("urn:2"));
        QCOMPARE(inner.namespaceFor(QString()), QStringLiteral("urn:d"));
    }

    void decoderAnswersOnlyTheProbesItMatches_data()
    {
        QTest::addColumn<QByteArray>("types");
        QTest::addColumn<QString>("scopes");
        QTest::addColumn<bool>("answers");
        QTest::newRow("any device") << QByteArray() << QString() << true;
        QTest::newRow("tds:Device") << QByteArray("x:Device") << QString() << true;
        QTest::newRow("transmitter only") << QByteArray("n:NetworkVideoTransmitter") << QString() << false;
        QTest::newRow("scope by segments") << QByteArray() << "onvif://www.onvif.org/type" << true;
        QTest::newRow("scope cut mid-segment") << QByteArray() << "onvif://www.onvif.org/typ" << false;
    }
    void decoderAnswersOnlyTheProbesItMatches()
    {
        QFETCH(QByteArray, types);
        QFETCH(QString, scopes);
        QFETCH(bool, answers);
        // Prefixes of the prober's own choosing: types resolve through the namespaces in scope.
        const QByteArray probe =
            "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\" "
            "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
            "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><e:Header><a:MessageID>uuid:1</"
            "a:MessageID>"
            "</e:Header><e:Body><d:Probe xmlns:x=\"http://www.onvif.org/ver10/device/wsdl\" "
            "xmlns:n=\"http://www.onvif.org/ver10/network/wsdl\">" +
            (types.isEmpty() ? QByteArray() : "<d:Types>" + types + "</d:Types>") +
            (scopes.isEmpty() ? QByteArray() : "<d:Scopes>" + scopes.toUtf8() + "</d:Scopes>") +
            "</d:Probe></e:Body></e:Envelope>";
        WsDiscovery::Probe parsed;
        QString error;
        QVERIFY2(WsDiscovery::parseProbe(probe, &parsed, &error), qPrintable(error));
        QCOMPARE(parsed.messageId, QStringLiteral("uuid:1"));
        MatrixInfo info;
        info.deviceId = QStringLiteral("TVD-04 20230410/AA");
        info.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
        info.outputList = {OutputInfo{401, 1, 0}, OutputInfo{402, 2, 0}};
        QCOMPARE(WsDiscovery::answers(parsed, WsDiscovery::decoderTypes(), OnvifCodec::decoderScopes(info)),
                 answers);
    }

    // A datagram is read only up to its limit, whatever its XML would allow: padding after the envelope
    // makes it as large as the row says.
    void discoveryDatagramsKeepTheirLimit_data()
    {
        QTest::addColumn<bool>("matches");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("probe at the limit") << false << WsDiscovery::MaxDatagramBytes << true;
        QTest::newRow("probe beyond") << false << WsDiscovery::MaxDatagramBytes + 1 << false;
        QTest::newRow("matches at the limit") << true << WsDiscovery::MaxDatagramBytes << true;
        QTest::newRow("matches beyond") << true << WsDiscovery::MaxDatagramBytes + 1 << false;
    }
    void discoveryDatagramsKeepTheirLimit()
    {
        QFETCH(bool, matches);
        QFETCH(int, size);
        QFETCH(bool, read);
        WsDiscovery::Match match;
        match.endpoint = QStringLiteral("urn:uuid:5f0c2a1e-0000-4000-8000-000000000002");
        match.types = WsDiscovery::decoderTypes();
        QByteArray datagram = matches ? WsDiscovery::buildProbeMatch("uuid:1", match, 1, 1)
                                      : WsDiscovery::buildProbe("uuid:1", WsDiscovery::decoderTypes());
        datagram += QByteArray(size - datagram.size(), ' ');
        QString error;
        WsDiscovery::Probe probe;
        QString relatesTo;
        QVector<WsDiscovery::Match> found;
        const bool ok = matches ? WsDiscovery::parseProbeMatches(datagram, &relatesTo, &found, &error)
                                : WsDiscovery::parseProbe(datagram, &probe, &error);
        QVERIFY2(ok == read, qPrintable(error));
        if (!read)
            QVERIFY2(error.contains(QStringLiteral("larger than")), qPrintable(error));
    }

    void probeMatchCarriesTheDecoder()
    {
        MatrixInfo info;
        info.deviceId = QStringLiteral("TVD-04 20230410/AA");
        info.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
        info.channelCount = 2;
        info.version = QStringLiteral("V2.3.1 build 7");
        info.outputList = {OutputInfo{401, 1, 0}, OutputInfo{402, 2, 0}};
        WsDiscovery::Match match;
        match.endpoint = QStringLiteral("urn:uuid:1");
        match.types = WsDiscovery::decoderTypes();
        match.scopes = OnvifCodec::decoderScopes(info);
        match.xaddrs = QStringList{QStringLiteral("http://127.0.0.2:8080/onvif/device_service")};
        QString relatesTo;
        QString error;
        QVector<WsDiscovery::Match> read;
        QVERIFY(WsDiscovery::parseProbeMatches(WsDiscovery::buildProbeMatch("uuid:7", match, 1, 1),
                                               &relatesTo, &read, &error));
        QCOMPARE(relatesTo, QStringLiteral("uuid:7"));
        QCOMPARE(read.size(), 1);
        QCOMPARE(read.first().types, WsDiscovery::decoderTypes());
        MatrixInfo back;
        QVERIFY(OnvifCodec::readDecoderScopes(read.first().scopes, &back));
        QCOMPARE(back.deviceId, info.deviceId);
        QCOMPARE(back.version, info.version);
        QCOMPARE(back.outputList.size(), 2);
        QCOMPARE(back.outputList.at(1).outputId, 402);
    }

    void windowSurvivesTheWire()
    {
        MatrixWindowInfo window;
        window.windowParam1 = 1;
        window.width = 32768;
        window.screenList = {WindowScreenInfo{1, 2, 3}};
        WindowSourceInfo source;
        source.sourceSlot = 4;
        source.pictureMode = 3;
        source.picturePath = QStringLiteral("picture:red \"1\".jpg");
        window.sourceList = {source, WindowSourceInfo()};
        SoapEnvelope::Message m;
        QString error;
        QVERIFY(SoapEnvelope::parse(
            SoapEnvelope::build([&](QXmlStreamWriter& w) { OnvifCodec::writeWindow(w, window); }), &m,
            &error));
        const MatrixWindowInfo back = OnvifCodec::readWindow(m.payload);
        QCOMPARE(back.windowParam1, 1);
        QCOMPARE(back.windowParam3, window.windowParam3);
        QCOMPARE(back.width, 32768);
        QCOMPARE(back.sourceList.size(), 2);
        QCOMPARE(back.sourceList.at(0).picturePath, source.picturePath);
        QCOMPARE(back.sourceList.at(0).pictureMode, 3);
        QCOMPARE(back.sourceList.at(1).sourceSlot, -1);
        QCOMPARE(back.screenList.at(0).row, 3);
    }

    // What a decoder says of its boot and configuration goes to the operator and into comparisons: only a
    // boot number and a SHA-256 in hex are taken, anything else reads as "not told".
    void restartCapabilitiesReadOnlyWhatTheyCanBe_data()
    {
        QTest::addColumn<QString>("bootId");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<int>("readBoot");
        QTest::addColumn<QString>("readMarker");
        const QString sum = QString(64, QLatin1Char('a'));
        QTest::newRow("written and read back") << "7" << sum << 7 << sum;
        QTest::newRow("nothing imported yet") << "1"
                                              << "" << 1 << "";
        QTest::newRow("negative boot") << "-5" << sum << -1 << sum;
        QTest::newRow("boot not a number") << "seven" << sum << -1 << sum;
        QTest::newRow("marker in capitals") << "2" << sum.toUpper() << 2 << "";
        QTest::newRow("marker one digit long") << "2" << sum + "a" << 2 << "";
        QTest::newRow("marker with markup") << "2"
                                            << "<b>" + sum.left(61) << 2 << "";
    }
    void restartCapabilitiesReadOnlyWhatTheyCanBe()
    {
        QFETCH(QString, bootId);
        QFETCH(QString, marker);
        QFETCH(int, readBoot);
        QFETCH(QString, readMarker);
        SoapEnvelope::Message m;
        QString error;
        QVERIFY(SoapEnvelope::parse(SoapEnvelope::build([&](QXmlStreamWriter& w) {
                                        w.writeStartElement(QStringLiteral("urn:x"),
                                                            QStringLiteral("Capabilities"));
                                        w.writeAttribute(QStringLiteral("BootId"), bootId);
                                        if (!marker.isEmpty())
                                            w.writeAttribute(QStringLiteral("ConfigMarker"), marker);
                                        w.writeEndElement();
                                    }),
                                    &m, &error));
        int boot = 0;
        QString read = QStringLiteral("untouched");
        OnvifCodec::readRestartCapabilities(m.payload, &boot, &read);
        QCOMPARE(boot, readBoot);
        QCOMPARE(read, readMarker);
    }

    void requestReaderKeepsItsLimits_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::newRow("complete") << request("POST /x HTTP/1.1\r\nContent-Length: 3", "abc") << 0;
        QTest::newRow("body without length") << request("POST /x HTTP/1.1\r\nHost: a") << 411;
        QTest::newRow("chunked") << request("POST /x HTTP/1.1\r\nTransfer-Encoding: chunked", "3\r\nabc")
                                 << 501;
        QTest::newRow("body too large") << request("POST /x HTTP/1.1\r\nContent-Length: 1001") << 413;
        QTest::newRow("head too large")
            << QByteArray("GET /x HTTP/1.1\r\nX: ") + QByteArray(20000, 'a') << 431;
        QTest::newRow("bad request line") << request("GET x") << 400;
        QTest::newRow("other version") << request("GET /x HTTP/2.0") << 505;
        QTest::newRow("negative length") << request("POST /x HTTP/1.1\r\nContent-Length: -1") << 400;
        QTest::newRow("header twice") << request("GET /x HTTP/1.1\r\nA: 1\r\na: 2") << 400;
        QByteArray lines;
        for (int i = 1; i < HttpRequestParser::MaxHeaderLines; ++i)
            lines += "\r\nh" + QByteArray::number(i) + ": 1";
        QTest::newRow("header lines at the limit")
            << request("POST /x HTTP/1.1\r\nContent-Length: 3" + lines, "abc") << 0;
        QTest::newRow("header lines beyond")
            << request("POST /x HTTP/1.1\r\nContent-Length: 3" + lines + "\r\nh0: 1", "abc") << 431;
        // Short lines without end: refused by their number long before they fill the head's bytes.
        QTest::newRow("header lines without end") << "GET /x HTTP/1.1" + lines + lines << 431;
        QTest::newRow("path that takes no body")
            << request("POST /gone HTTP/1.1\r\nContent-Length: 3", "abc") << 404;
        // The admission sees the head alone: a body is never read for a path that refuses it.
        QTest::newRow("path refused before its body")
            << request("POST /gone HTTP/1.1\r\nContent-Length: 900") << 404;
    }
    void requestReaderKeepsItsLimits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        HttpRequestParser parser(admitUpTo(1000), 60000);
        HttpRequestParser::State state = HttpRequestParser::NeedMore;
        // Byte by byte: the reader must not depend on how the stream is cut.
        for (int i = 0; i < bytes.size() && state == HttpRequestParser::NeedMore; ++i)
            state = parser.feed(bytes.mid(i, 1));
        QCOMPARE(state, status ? HttpRequestParser::Failed : HttpRequestParser::Complete);
        QCOMPARE(parser.failureStatus(), status);
        if (!status)
            QCOMPARE(parser.body, QByteArray("abc"));
    }

    // A request is cut at its deadline however its bytes trickle in: the head at the head's, the rest at
    // the whole request's, each counted from the first byte on.
    void requestReaderHoldsItsDeadlines_data()
    {
        QTest::addColumn<QByteArray>("prompt");
        QTest::addColumn<int>("deadlineMs");
        QTest::newRow("head dripped") << QByteArray("POST /x HTTP/1.1") << 200;
        QTest::newRow("body dripped") << request("POST /x HTTP/1.1\r\nContent-Length: 900") << 400;
    }
    void requestReaderHoldsItsDeadlines()
    {
        QFETCH(QByteArray, prompt);
        QFETCH(int, deadlineMs);
        QElapsedTimer clock;
        clock.start();
        HttpRequestParser parser(admitUpTo(1000), 400, 200);
        QCOMPARE(parser.feed(prompt), HttpRequestParser::NeedMore);
        QVERIFY(parser.remainingMs() <= deadlineMs);
        // One more byte at every poll: each read is prompt, the request as a whole is not.
        const QByteArray drip = prompt.endsWith("\r\n\r\n") ? "b" : "x";
        QTRY_COMPARE_WITH_TIMEOUT(parser.feed(drip), HttpRequestParser::Failed, 5000);
        QVERIFY2(clock.elapsed() >= deadlineMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(parser.failureStatus(), 408);
        QCOMPARE(parser.remainingMs(), qint64(0));
        // A connection that went quiet is cut as well.
        HttpRequestParser quiet(admitUpTo(1000), 400, 200);
        quiet.feed(prompt);
        QTRY_COMPARE_WITH_TIMEOUT(quiet.checkDeadline(), HttpRequestParser::Failed, 5000);
        QCOMPARE(quiet.failureStatus(), 408);
    }

    void mutatedMessagesAreRefusedOrReadCleanly()
    {
        MatrixInfo info;
        info.deviceId = QStringLiteral("TVD-01");
        info.matrixType = MATRIX_TYPE_SINGLE_OUTPUT;
        WsDiscovery::Match match;
        match.scopes = OnvifCodec::decoderScopes(info);
        match.xaddrs = QStringList{QStringLiteral("http://127.0.0.2:80/onvif/device_service")};
        const SoapEnvelope::Token token{QStringLiteral("admin"), QStringLiteral("pw"), 0};
        const QList<QByteArray> seeds = {
            WsDiscovery::buildProbe("uuid:1", WsDiscovery::decoderTypes()),
            WsDiscovery::buildProbeMatch("uuid:1", match, 1, 1),
            SoapEnvelope::buildFault("Sender", "NotAuthorized", "no", -22),
            SoapEnvelope::build([](QXmlStreamWriter& w) { OnvifCodec::writeWindow(w, MatrixWindowInfo()); },
                                &token),
            request("POST /onvif/device_service HTTP/1.1\r\nContent-Length: 4", "<a/>"),
        };
        QRandomGenerator random(12345);
#ifdef __SANITIZE_ADDRESS__
        const int rounds = 4000; // the sanitizers slow each round tenfold; CI runs them on every change
#else
        const int rounds = 20000;
#endif
        QElapsedTimer clock;
        qint64 slowest = 0;
        int accepted = 0;
        for (int round = 0; round < rounds; ++round) {
            QByteArray bytes = seeds.at(round % seeds.size());
            const int edits = 1 + int(random.bounded(8));
            for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
                const int at = int(random.bounded(bytes.size()));
                switch (random.bounded(5)) {
                case 0:
                    bytes[at] = char(bytes.at(at) ^ (1 << random.bounded(8)));
                    break;
                case 1:
                    bytes.truncate(at);
                    break;
                case 2:
                    bytes.insert(at, bytes.mid(int(random.bounded(bytes.size())), 40));
                    break;
                case 3:
                    bytes.insert(at, "<&\"]]>\r\n\0"[random.bounded(9)]);
                    break;
                default:
                    bytes.remove(at, int(random.bounded(20)));
                }
            }
            clock.start();
            SoapEnvelope::Message m;
            QString error;
            if (SoapEnvelope::parse(bytes, &m, &error)) {
                ++accepted;
                QVERIFY(!m.payload.isNull());
            } else {
                QVERIFY(!error.isEmpty());
            }
            WsDiscovery::Probe probe;
            QVector<WsDiscovery::Match> matches;
            QString relatesTo;
            WsDiscovery::parseProbe(bytes, &probe, &error);
            WsDiscovery::parseProbeMatches(bytes, &relatesTo, &matches, &error);
            HttpRequestParser parser(admitUpTo(64), 60000);
            if (parser.feed(bytes) == HttpRequestParser::Complete)
                QVERIFY(parser.body.size() <= 64 &&
                        parser.body.size() == parser.headers.value("content-length").toInt());
            slowest = qMax(slowest, clock.elapsed());
        }
        // Some mutants stay valid, so the readers were exercised past their first check.
        QVERIFY(accepted > 0);
        // A message of a few hundred bytes reads in microseconds; a second means a reader that loops or
        // backtracks on what it was given, however busy the machine.
        QVERIFY2(slowest < 1000, qPrintable(QStringLiteral("a mutant took %1 ms to read").arg(slowest)));
    }
};

QTEST_GUILESS_MAIN(TestOnvifProtocol)
#include "tst_onvifprotocol.moc"
