// The protocol layer both ends share: what the parsers refuse, the digest that proves a password, when a
// decoder answers a probe, the request reader's limits, and a bounded mutation run of every parser.

#include "httprequestparser.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"

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
    }
    void requestReaderKeepsItsLimits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        HttpRequestParser parser(1000);
        HttpRequestParser::State state = HttpRequestParser::NeedMore;
        // Byte by byte: the reader must not depend on how the stream is cut.
        for (int i = 0; i < bytes.size() && state == HttpRequestParser::NeedMore; ++i)
            state = parser.feed(bytes.mid(i, 1));
        QCOMPARE(state, status ? HttpRequestParser::Failed : HttpRequestParser::Complete);
        QCOMPARE(parser.failureStatus(), status);
        if (!status)
            QCOMPARE(parser.body, QByteArray("abc"));
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
            HttpRequestParser parser(64);
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
