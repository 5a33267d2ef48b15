// The client against devices that mean harm, each a small fake device on a loopback address driven through
// the real service thread: replies built to exhaust memory or time (a namespace bomb, an attribute flood, a
// header flood, a slow drip, an endless body), values no record can hold, and devices that lie about who or
// where they are. Every bad call must end with a clear non-zero code within twice its timeout, with the
// process's peak memory under a stated bound; nothing secret may reach a host whose identity was not checked;
// and quitting must not wait for a device that stalls.

#include "backendnotices.h"
#include "decoderdaemon.h"
#include "fakepeer.h"
#include "matrixsdkworker.h"
#include "onvifbackend.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "servicebackend.h"
#include "servicespy.h"
#include "servicethread.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <future>

using namespace pral_matrix;
using S = SoapEnvelope;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

// Short enough to keep the suite quick, long enough for a loaded machine; the sanitizers run everything
// several times slower.
const int TimeoutMs = Sanitized ? 2500 : 1000;
// What one bad call may add to the process's peak: the 8 MB reply limit, the reader's work on it, and
// libcurl's buffers. The sanitizer build keeps freed memory in quarantine and shadows every byte.
const qint64 PeakGrowthBoundKb = Sanitized ? 128 * 1024 : 64 * 1024;

const QString Password = QStringLiteral("Passw0rd!");
const QString DeviceId = QStringLiteral("TVD-FAKE-1");

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

qint64 statusKb(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

/** Starts a new peak: VmHWM falls back to what the process holds now. */
qint64 resetPeakKb()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (!refs.open(QIODevice::WriteOnly) || refs.write("5") != 1)
        return -1;
    refs.close();
    return statusKb("VmRSS");
}

QByteArray envelope(const S::Writer& body)
{
    return S::build(body);
}

FakePeer::Answer soapReply(const S::Writer& body)
{
    return FakePeer::reply(200, envelope(body));
}

/** A fault whose detail carries result as the decoder's code, even 0. */
FakePeer::Answer fault(int result)
{
    return FakePeer::reply(400, S::buildFault(QStringLiteral("Receiver"), QStringLiteral("Action"),
                                              QStringLiteral("refused"), 0, [result](QXmlStreamWriter& w) {
                                                  S::writeInt(w, Ns::Wall, QStringLiteral("Result"), result);
                                              }));
}

/** A wall of rows x cols with count screens, as GetWall answers it. */
S::Writer wall(int rows, int cols, int screens, const QString& name = QStringLiteral("lobby"))
{
    return [=](QXmlStreamWriter& w) {
        w.writeStartElement(Ns::Wall, QStringLiteral("GetWallResponse"));
        w.writeStartElement(Ns::Wall, QStringLiteral("Wall"));
        w.writeAttribute(QStringLiteral("Name"), name);
        w.writeAttribute(QStringLiteral("MainIp"), QStringLiteral("127.0.0.9"));
        w.writeAttribute(QStringLiteral("Type"), QStringLiteral("3"));
        w.writeAttribute(QStringLiteral("Rows"), QString::number(rows));
        w.writeAttribute(QStringLiteral("Columns"), QString::number(cols));
        for (int i = 0; i < screens; ++i) {
            w.writeStartElement(Ns::Wall, QStringLiteral("Screen"));
            w.writeAttribute(QStringLiteral("Ip"), QStringLiteral("127.0.0.9"));
            w.writeAttribute(QStringLiteral("Channel"), QStringLiteral("1"));
            w.writeAttribute(QStringLiteral("Row"), QString::number(qMin(i / qMax(1, cols), 9)));
            w.writeAttribute(QStringLiteral("Column"), QString::number(i % qMax(1, qMin(cols, 10))));
            w.writeAttribute(QStringLiteral("Type"), QStringLiteral("3"));
            w.writeEndElement();
        }
        w.writeEndElement();
        w.writeEndElement();
    };
}

/**
 * What an honest decoder of ours answers. servicesHost is the host its GetServices names (its own, unless a
 * row says otherwise).
 */
FakePeer::Answer honest(const FakePeer::Request& r, const QString& servicesHost, quint16 servicesPort)
{
    const QString op = r.operation();
    if (op == QLatin1String("GetSystemDateAndTime")) {
        return soapReply([](QXmlStreamWriter& w) {
            const QDateTime now = QDateTime::currentDateTimeUtc();
            w.writeStartElement(Ns::Device, QStringLiteral("GetSystemDateAndTimeResponse"));
            w.writeStartElement(Ns::Device, QStringLiteral("SystemDateAndTime"));
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
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("GetDeviceInformation")) {
        return soapReply([](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("GetDeviceInformationResponse"));
            S::writeText(w, Ns::Device, QStringLiteral("FirmwareVersion"), QStringLiteral("V2.1.0"));
            S::writeText(w, Ns::Device, QStringLiteral("SerialNumber"), DeviceId);
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("GetServices")) {
        const QString base = QStringLiteral("http://%1:%2").arg(servicesHost).arg(servicesPort);
        return soapReply([base](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("GetServicesResponse"));
            for (const QString& ns : {Ns::Device, Ns::Wall}) {
                w.writeStartElement(Ns::Device, QStringLiteral("Service"));
                S::writeText(w, Ns::Device, QStringLiteral("Namespace"), ns);
                S::writeText(w, Ns::Device, QStringLiteral("XAddr"), base + QStringLiteral("/onvif/service"));
                if (ns == Ns::Wall) {
                    w.writeStartElement(Ns::Device, QStringLiteral("Capabilities"));
                    w.writeStartElement(Ns::Wall, QStringLiteral("Capabilities"));
                    w.writeAttribute(QStringLiteral("DecoderType"), QStringLiteral("3"));
                    w.writeEndElement();
                    w.writeEndElement();
                }
                w.writeEndElement();
            }
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("GetWall"))
        return soapReply(wall(2, 2, 4));
    if (op == QLatin1String("SetUser") || op == QLatin1String("CreateUsers") ||
        op == QLatin1String("EndSession"))
        return soapReply([op](QXmlStreamWriter& w) { w.writeEmptyElement(Ns::Device, op + "Response"); });
    return fault(-3);
}

/** Appends printf-style text without an allocation of its own: the sanitizers make each one slow. */
template <typename... Args>
void appendf(QByteArray* out, const char* format, Args... args)
{
    char piece[64];
    const int n = std::snprintf(piece, sizeof piece, format, args...);
    out->append(piece, qMin(n, int(sizeof piece) - 1));
}

/** The shape of a namespace bomb: a root with thousands of prefixes, and thousands of children adding one. */
QByteArray namespaceBomb()
{
    QByteArray xml;
    xml.reserve(1024 * 1024);
    xml += "<s:Envelope xmlns:s=\"" + Ns::Soap.toUtf8() + "\" xmlns:tds=\"" + Ns::Device.toUtf8() + "\"";
    for (int i = 0; i < 12000; ++i)
        appendf(&xml, " xmlns:p%d=\"urn:p%d\"", i, i);
    xml += "><s:Body><tds:GetSystemDateAndTimeResponse>";
    // Under the reader's element limit, so that only a limit on namespaces can stop it.
    for (int i = 0; i < 19000; ++i)
        appendf(&xml, "<a xmlns:q%d=\"urn:q\"/>", i);
    return xml + "</tds:GetSystemDateAndTimeResponse></s:Body></s:Envelope>";
}

QByteArray attributeFlood()
{
    QByteArray xml;
    xml.reserve(5 * 1024 * 1024);
    xml += "<s:Envelope xmlns:s=\"" + Ns::Soap.toUtf8() + "\" xmlns:tds=\"" + Ns::Device.toUtf8() +
           "\"><s:Body><tds:GetSystemDateAndTimeResponse";
    for (int i = 0; i < 400000; ++i)
        appendf(&xml, " a%d=\"1\"", i);
    return xml + "/></s:Body></s:Envelope>";
}

/** A probe answer for the decoder info at the given XAddrs. */
QByteArray probeMatch(const QString& relatesTo, const MatrixInfo& info, const QStringList& xaddrs,
                      const QString& endpoint, const QStringList& extraScopes = {})
{
    WsDiscovery::Match match;
    match.endpoint = endpoint;
    match.types = WsDiscovery::decoderTypes();
    match.scopes = OnvifCodec::decoderScopes(info);
    for (const QString& s : extraScopes) {
        const QString key = s.section(QLatin1Char('/'), 0, -2) + QLatin1Char('/');
        for (QString& scope : match.scopes) {
            if (scope.startsWith(key))
                scope = s;
        }
    }
    match.xaddrs = xaddrs;
    match.metadataVersion = 1;
    return WsDiscovery::buildProbeMatch(relatesTo, match, 1, 1);
}

MatrixInfo factoryDecoder(const QString& id)
{
    MatrixInfo info;
    info.deviceId = id;
    info.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
    info.channelCount = 2;
    info.outputList = {OutputInfo{101, 1, 0}, OutputInfo{102, 2, 0}};
    info.version = QStringLiteral("V2.1.0");
    info.activated = false;
    return info;
}

MatrixInfo login(const QString& ip)
{
    MatrixInfo info;
    info.ip = ip;
    info.userName = QStringLiteral("admin");
    info.password = Password;
    return info;
}

using Notices = BackendNotices;

} // namespace

Q_DECLARE_METATYPE(FakePeer::Answer)

class TestHostileDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
        QVERIFY2(resetPeakKb() > 0, "the peak memory of this process cannot be measured");
    }

    void init()
    {
        QVERIFY(runOnServiceThread([] {}));
    }

    // One device answers one of the login's calls with something built to exhaust the client; the others
    // honestly. Each row failed before the client had limits of its own.
    void badReplyEndsTheCallWithAClearCode_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<FakePeer::Answer>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("notice");
        FakePeer::Answer flood;
        flood.kind = FakePeer::Kind::FloodHeaders;
        flood.limitMs = 4 * TimeoutMs;
        FakePeer::Answer drip =
            FakePeer::reply(200, envelope([](QXmlStreamWriter& w) {
                                w.writeEmptyElement(Ns::Device, "GetSystemDateAndTimeResponse");
                            }));
        drip.kind = FakePeer::Kind::Drip;
        drip.dripIntervalMs = 100;
        FakePeer::Answer endless;
        endless.kind = FakePeer::Kind::EndlessBody;
        endless.bytes = "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\nConnection: close\r\n\r\n"
                        "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body><x>";
        endless.limitBytes = 64 * 1024 * 1024;
        endless.limitMs = 4 * TimeoutMs;
        FakePeer::Answer declared = FakePeer::reply(200, "<x/>");
        declared.bytes.replace("Content-Length: 4", "Content-Length: 1000000000");

        QTest::newRow("namespace bomb") << "GetSystemDateAndTime" << FakePeer::reply(200, namespaceBomb())
                                        << int(OnvifBackend::ResultBadReply) << "could not be read";
        QTest::newRow("attribute flood") << "GetSystemDateAndTime" << FakePeer::reply(200, attributeFlood())
                                         << int(OnvifBackend::ResultBadReply) << "could not be read";
        QTest::newRow("header flood")
            << "GetSystemDateAndTime" << flood << int(OnvifBackend::ResultBadReply) << "header lines";
        QTest::newRow("slow drip") << "GetSystemDateAndTime" << drip << int(OnvifBackend::ResultTimeout)
                                   << "did not answer within";
        QTest::newRow("endless body") << "GetSystemDateAndTime" << endless
                                      << int(OnvifBackend::ResultBadReply) << "reply of more than 8 MB";
        QTest::newRow("body of a declared gigabyte")
            << "GetDeviceInformation" << declared << int(OnvifBackend::ResultBadReply)
            << "reply of more than 8 MB";
        QTest::newRow("fault with result 1")
            << "GetDeviceInformation" << fault(1) << int(OnvifBackend::ResultOutOfRange) << "result code 1";
        QTest::newRow("fault with result 0")
            << "GetServices" << fault(0) << int(OnvifBackend::ResultOutOfRange) << "result code 0";
        QTest::newRow("a version of 5000 characters")
            << "GetDeviceInformation" << soapReply([](QXmlStreamWriter& w) {
                   w.writeStartElement(Ns::Device, QStringLiteral("GetDeviceInformationResponse"));
                   S::writeText(w, Ns::Device, QStringLiteral("FirmwareVersion"),
                                QString(5000, QLatin1Char('9')));
                   w.writeEndElement();
               })
            << int(OnvifBackend::ResultOutOfRange) << "version of 5000 characters";
    }
    void badReplyEndsTheCallWithAClearCode()
    {
        QFETCH(QString, operation);
        QFETCH(FakePeer::Answer, answer);
        QFETCH(int, result);
        QFETCH(QString, notice);
        const QString ip = nextAddress();
        FakePeer device;
        QVERIFY(device.listen(ip));
        device.setHandler([&](const FakePeer::Request& r) {
            return r.operation() == operation ? answer : honest(r, ip, device.port());
        });
        Notices notices;
        install(device.port(), {}, 0, &notices);

        const qint64 before = resetPeakKb();
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        QElapsedTimer clock;
        clock.start();
        worker().connectMatrix(login(ip), nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 10 * TimeoutMs);
        const qint64 took = clock.elapsed();
        QCOMPARE(results.first().at(0).value<CMHandle>()->ip(), ip);
        const qint64 grewKb = statusKb("VmHWM") - before;
        qInfo("%s: %lld ms against a timeout of %d ms, peak grew by %lld KB", QTest::currentDataTag(), took,
              TimeoutMs, grewKb);
        QCOMPARE(results.first().at(1).toInt(), result);
        QVERIFY2(took <= 2 * TimeoutMs, qPrintable(QString::number(took)));
        QVERIFY2(grewKb <= PeakGrowthBoundKb, qPrintable(QString::number(grewKb)));
        QVERIFY(!worker().getHandleByIp(ip));
        QTRY_VERIFY2(notices.joined().contains(notice), qPrintable(notices.joined()));
        QVERIFY(device.operations().contains(operation));
    }

    // A logged-in decoder reports what no record holds: the value never reaches the service's results.
    void absurdValuesAreRefused_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<FakePeer::Answer>("answer");
        QTest::addColumn<QString>("notice");
        QTest::newRow("rows and columns of 2^31-1")
            << "GetWall" << soapReply(wall(2147483647, 2147483647, 1)) << "2147483647 x 2147483647";
        QTest::newRow("5,000 screens") << "GetWall" << soapReply(wall(10, 10, 5000)) << "5000 screens";
        QTest::newRow("a wall of 0 rows") << "GetWall" << soapReply(wall(0, 4, 0)) << "0 x 4";
        QTest::newRow("a wall name of 300 bytes")
            << "GetWall" << soapReply(wall(2, 2, 4, QString(300, QLatin1Char('n')))) << "300 bytes";
    }
    void absurdValuesAreRefused()
    {
        QFETCH(QString, operation);
        QFETCH(FakePeer::Answer, answer);
        QFETCH(QString, notice);
        const QString ip = nextAddress();
        FakePeer device;
        QVERIFY(device.listen(ip));
        device.setHandler([&](const FakePeer::Request& r) {
            return r.operation() == operation ? answer : honest(r, ip, device.port());
        });
        Notices notices;
        OnvifBackend* backend = install(device.port(), {}, 0, &notices);
        ServiceSpy connected(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(login(ip), nullptr);
        QTRY_COMPARE(connected.size(), 1);
        QCOMPARE(connected.first().at(1).toInt(), int(RESULT_OK));

        DecoderBackend::Layout layout;
        QVERIFY(runOnServiceThread([&] { layout = backend->getLayout(ip); }));
        QCOMPARE(layout.result, int(OnvifBackend::ResultOutOfRange));
        // What the page is given: no wall at all, not a wall of absurd size.
        ServiceSpy layouts(&MatrixSdkWorker::signalGetLayoutInfoResult);
        worker().getLayout(worker().getHandleByIp(ip), nullptr);
        QTRY_COMPARE(layouts.size(), 1);
        QCOMPARE(layouts.first().at(3).toInt(), 0);
        QVERIFY(layouts.first().at(2).value<MatrixInfoList>().isEmpty());
        QVERIFY2(notices.joined().contains(notice), qPrintable(notices.joined()));
        // A refused value is not a lost decoder.
        QVERIFY(worker().getHandleByIp(ip));
    }

    // Answers to a search that claim what their sender cannot vouch for. listed: where the search shows the
    // decoder; activatedAt: the one fake that may hear the activation (none: activation is refused).
    void searchBelievesAnAnswerOnlyForItsSender_data()
    {
        QTest::addColumn<QStringList>("senders");
        QTest::addColumn<QStringList>("xaddrHosts");
        QTest::addColumn<QStringList>("extraScopes");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("activatedAt");
        QTest::addColumn<QString>("notice");
        QTest::newRow("another host's address")
            << QStringList{"127.0.0.63"} << QStringList{"127.0.0.64"} << QStringList() << QStringList()
            << QString() << "another address";
        QTest::newRow("::1") << QStringList{"127.0.0.63"} << QStringList{"[::1]"} << QStringList()
                             << QStringList() << QString() << "another address";
        QTest::newRow("its own and another host's address")
            << QStringList{"127.0.0.63"} << QStringList{"127.0.0.64", "127.0.0.63"} << QStringList()
            << QStringList{"127.0.0.63"} << "127.0.0.63" << QString();
        QTest::newRow("its IPv6 address beside its IPv4 one")
            << QStringList{"127.0.0.63"} << QStringList{"[::1]", "127.0.0.63"} << QStringList()
            << QStringList{"127.0.0.63"} << "127.0.0.63" << QString();
        QTest::newRow("one device at two of its addresses")
            << QStringList{"127.0.0.66", "127.0.0.65"} << QStringList{"127.0.0.65", "127.0.0.66"}
            << QStringList() << QStringList{"127.0.0.65"} << "127.0.0.65" << QString();
        QTest::newRow("channels 2^31-1") << QStringList{"127.0.0.63"} << QStringList{"127.0.0.63"}
                                         << QStringList{"tvwall://decoder/channels/2147483647"}
                                         << QStringList() << QString() << "2147483647 channels";
        QTest::newRow("200 outputs") << QStringList{"127.0.0.63"} << QStringList{"127.0.0.63"} <<
            [] {
                QStringList outputs;
                for (int i = 1; i <= 200; ++i)
                    outputs << QStringLiteral("%1%3A%1").arg(i);
                return QStringList{"tvwall://decoder/outputs/" + outputs.join("%2C")};
            }() << QStringList() << QString()
                                     << "200 outputs";
        QTest::newRow("a device id of 40 bytes")
            << QStringList{"127.0.0.63"} << QStringList{"127.0.0.63"}
            << QStringList{"tvwall://decoder/id/" + QString(40, QLatin1Char('D'))} << QStringList()
            << QString() << "40 bytes";
    }
    void searchBelievesAnAnswerOnlyForItsSender()
    {
        QFETCH(QStringList, senders);
        QFETCH(QStringList, xaddrHosts);
        QFETCH(QStringList, extraScopes);
        QFETCH(QStringList, listed);
        QFETCH(QString, activatedAt);
        QFETCH(QString, notice);
        // Every host a row names has a fake HTTP side on one port, so that whatever is sent anywhere is seen.
        QMap<QString, FakePeer*> peers;
        QObject owner;
        quint16 httpPort = 0;
        for (const QString& host : senders + xaddrHosts) {
            const QString address = host == QLatin1String("[::1]") ? QStringLiteral("::1") : host;
            if (peers.contains(address))
                continue;
            auto* peer = new FakePeer(&owner);
            QVERIFY2(peer->listen(address, httpPort), qPrintable(address));
            httpPort = peer->port();
            peer->setHandler(
                [peer, address](const FakePeer::Request& r) { return honest(r, address, peer->port()); });
            peers.insert(address, peer);
        }
        quint16 discoveryPort = 0;
        for (const QString& sender : senders) {
            auto* responder = new FakeResponder(&owner);
            QVERIFY(responder->bind(sender, discoveryPort));
            if (discoveryPort == 0)
                discoveryPort = responder->port();
            QStringList xaddrs;
            for (const QString& host : xaddrHosts)
                xaddrs << QStringLiteral("http://%1:%2/onvif/device_service").arg(host).arg(httpPort);
            responder->setAnswer([=](const QString& messageId) {
                return probeMatch(messageId, factoryDecoder(DeviceId), xaddrs,
                                  QStringLiteral("urn:uuid:fake-one"), extraScopes);
            });
        }
        Notices notices;
        install(httpPort, senders, discoveryPort, &notices);

        ServiceSpy found(&MatrixSdkWorker::signalSearchMatrixResult);
        worker().searchMatrix();
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, 5000);
        QCOMPARE(found.first().first().value<MatrixInfoMap>().keys(), listed);
        if (!notice.isEmpty())
            QVERIFY2(notices.joined().contains(notice), qPrintable(notices.joined()));

        ServiceSpy activated(&MatrixSdkWorker::signalActiveDecoderFinished);
        worker().activeDecoder(DeviceId, Password);
        QTRY_COMPARE_WITH_TIMEOUT(activated.size(), 1, 5000);
        QCOMPARE(activated.first().first().toInt() == RESULT_OK, !activatedAt.isEmpty());
        for (auto it = peers.constBegin(); it != peers.constEnd(); ++it) {
            const bool heard = it.value()->operations().contains(QStringLiteral("CreateUsers"));
            QVERIFY2(heard == (it.key() == activatedAt), qPrintable(it.key()));
        }
    }

    // A fake answers a search with the id of a decoder in its factory state: both are shown, neither gets the
    // new administrator's password, and a search without the fake settles it.
    void idClaimedByTwoHostsIsAConflict()
    {
        const QByteArray fleet = R"({"decoders": [
            {"ip": "192.0.2.61", "deviceId": "TVD-FACTORY", "type": 3, "channels": 2, "activated": false,
             "daemon": {"address": "127.0.0.61"}}]})";
        OnvifBackend::Options options;
        options.requestTimeoutMs = TimeoutMs;
        options.discoveryWaitMs = 400;
        options.targets = QStringList{QStringLiteral("127.0.0.61"), QStringLiteral("127.0.0.62")};
        Notices notices;
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(fleet, options, &error,
                                                 [&](OnvifBackend* b) { notices.wire(b); }),
                 qPrintable(error));
        quint16 discoveryPort = 0;
        ServiceBackend::inDaemon([&](DecoderDaemon& d) { discoveryPort = d.discoveryPort(); });
        FakePeer thief;
        QVERIFY(thief.listen(QStringLiteral("127.0.0.62")));
        thief.setHandler([&](const FakePeer::Request& r) { return honest(r, "127.0.0.62", thief.port()); });
        FakeResponder claim;
        QVERIFY(claim.bind(QStringLiteral("127.0.0.62"), discoveryPort));
        const QString xaddr = QStringLiteral("http://127.0.0.62:%1/onvif/device_service").arg(thief.port());
        claim.setAnswer([&](const QString& messageId) {
            return probeMatch(messageId, factoryDecoder(QStringLiteral("TVD-FACTORY")), {xaddr},
                              QStringLiteral("urn:uuid:thief"));
        });

        ServiceSpy found(&MatrixSdkWorker::signalSearchMatrixResult);
        worker().searchMatrix();
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, 5000);
        QCOMPARE(found.first().first().value<MatrixInfoMap>().keys(),
                 (QStringList{"127.0.0.61", "127.0.0.62"}));
        QVERIFY2(notices.joined().contains("TVD-FACTORY answered from 127.0.0.61, 127.0.0.62"),
                 qPrintable(notices.joined()));

        ServiceSpy activated(&MatrixSdkWorker::signalActiveDecoderFinished);
        worker().activeDecoder(QStringLiteral("TVD-FACTORY"), Password);
        QTRY_COMPARE_WITH_TIMEOUT(activated.size(), 1, 5000);
        QCOMPARE(activated.first().first().toInt(), int(OnvifBackend::ResultIdentityConflict));
        QVERIFY(!thief.operations().contains(QStringLiteral("CreateUsers")));

        // The thief is gone: the next search finds the decoder at one address, still in its factory state.
        claim.setAnswer([](const QString&) { return QByteArray(); });
        worker().searchMatrix();
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 2, 5000);
        const MatrixInfoMap second = found.at(1).first().value<MatrixInfoMap>();
        QCOMPARE(second.keys(), QStringList{"127.0.0.61"});
        QVERIFY(!second.first().activated);
        worker().activeDecoder(QStringLiteral("TVD-FACTORY"), Password);
        QTRY_COMPARE_WITH_TIMEOUT(activated.size(), 2, 5000);
        QCOMPARE(activated.at(1).first().toInt(), int(RESULT_OK));
        QVERIFY(thief.operations().isEmpty());
    }

    // The services a decoder names on another host are not followed: the calls stay where it was found.
    void servicesOnAnotherHostAreNotFollowed()
    {
        const QString ip = nextAddress();
        FakePeer foreign;
        QVERIFY(foreign.listen(QStringLiteral("127.0.0.68")));
        foreign.setHandler([&](const FakePeer::Request& r) { return honest(r, ip, foreign.port()); });
        FakePeer device;
        QVERIFY(device.listen(ip));
        device.setHandler(
            [&](const FakePeer::Request& r) { return honest(r, "127.0.0.68", foreign.port()); });
        Notices notices;
        OnvifBackend* backend = install(device.port(), {}, 0, &notices);
        ServiceSpy connected(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(login(ip), nullptr);
        QTRY_COMPARE(connected.size(), 1);
        QCOMPARE(connected.first().at(1).toInt(), int(RESULT_OK));
        DecoderBackend::Layout layout;
        QVERIFY(runOnServiceThread([&] { layout = backend->getLayout(ip); }));
        QCOMPARE(layout.result, int(RESULT_OK));
        QCOMPARE(layout.rows, 2);
        QCOMPARE(foreign.connections(), 0);
        QVERIFY(device.operations().contains(QStringLiteral("GetWall")));
        QVERIFY2(notices.joined().contains("named another host (127.0.0.68)"), qPrintable(notices.joined()));
    }

    // A new password travels in the clear: it goes only to an address that answers a probe as the decoder
    // logged in there.
    void passwordGoesOnlyToTheDecoderThatAnswers_data()
    {
        QTest::addColumn<QString>("answersAs");
        QTest::addColumn<int>("result");
        QTest::newRow("answers as itself") << DeviceId << int(RESULT_OK);
        QTest::newRow("answers as another decoder")
            << "TVD-OTHER" << int(OnvifBackend::ResultIdentityUnconfirmed);
        QTest::newRow("does not answer") << QString() << int(OnvifBackend::ResultIdentityUnconfirmed);
    }
    void passwordGoesOnlyToTheDecoderThatAnswers()
    {
        QFETCH(QString, answersAs);
        QFETCH(int, result);
        const QString ip = nextAddress();
        FakePeer device;
        QVERIFY(device.listen(ip));
        device.setHandler([&](const FakePeer::Request& r) { return honest(r, ip, device.port()); });
        FakeResponder responder;
        QVERIFY(responder.bind(ip, 0));
        const QString xaddr = QStringLiteral("http://%1:%2/onvif/device_service").arg(ip).arg(device.port());
        responder.setAnswer([&](const QString& messageId) {
            return answersAs.isEmpty() ? QByteArray()
                                       : probeMatch(messageId, factoryDecoder(answersAs), {xaddr},
                                                    QStringLiteral("urn:uuid:x"));
        });
        Notices notices;
        install(device.port(), {ip}, responder.port(), &notices);
        ServiceSpy connected(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(login(ip), nullptr);
        QTRY_COMPARE(connected.size(), 1);
        QCOMPARE(connected.first().at(1).toInt(), int(RESULT_OK));

        ServiceSpy changed(&MatrixSdkWorker::signalUserPasswordModifyResult);
        worker().userPasswordModify(worker().getHandleByIp(ip), Password, QStringLiteral("N3w-Passw0rd!"));
        QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, 5000);
        QCOMPARE(changed.first().first().toInt(), result);
        QCOMPARE(device.operations().contains(QStringLiteral("SetUser")), result == RESULT_OK);
        QVERIFY(responder.probes() > 0);
    }

    // A call in flight to a device that stalls ends soon after the back end is told to give up, never at
    // its own timeout.
    void abandonedCallEndsAtOnce()
    {
        const QString ip = nextAddress();
        FakePeer device;
        QVERIFY(device.listen(ip));
        device.setHandler([](const FakePeer::Request&) { return FakePeer::stall(); });
        OnvifBackend::Options options;
        options.httpPort = device.port();
        options.requestTimeoutMs = 30000;
        OnvifBackend backend(options);
        std::future<int> call =
            std::async(std::launch::async, [&] { return backend.login(ip, "admin", Password).result; });
        QTRY_COMPARE(device.requests().size(), 1);
        QElapsedTimer clock;
        clock.start();
        backend.abandonCalls(0);
        const int result = call.get();
        qInfo("abandoned after %lld ms", clock.elapsed());
        QVERIFY2(clock.elapsed() <= 200, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(result, int(RESULT_UNAVAILABLE));
    }

    // The application quits while a login waits on a decoder that never answers: it ends in a moment.
    void quittingDoesNotWaitForAStalledDevice()
    {
        // The demonstration store puts the fleet's decoders at 127.0.0.2 and on; the first one stalls.
        FakePeer device;
        QVERIFY(device.listen(QStringLiteral("127.0.0.2")));
        device.setHandler([](const FakePeer::Request&) { return FakePeer::stall(); });
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TVWALL_KEY_FILE"), dir.filePath(QStringLiteral("app.key")));
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        app.start(QStringLiteral(TVWALL_APP_FILE),
                  {"--backend", "onvif", "--discover", "127.0.0.2", "--onvif-port",
                   QString::number(device.port()), "--timeout-ms", "20000", "--demo", "--data-dir",
                   dir.filePath(QStringLiteral("app"))});
        QVERIFY(app.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(device.requests().size() >= 1, 30000);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(::kill(pid_t(app.processId()), SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(app.state() == QProcess::NotRunning, 25000);
        qInfo("quit %lld ms after SIGTERM, with a call in flight whose timeout is 20000 ms", clock.elapsed());
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        // The grace for calls in flight is 100 ms; the rest is the application's own orderly end.
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }

private:
    /** A loopback address of its own for each case: the service remembers refusals per address. */
    QString nextAddress() { return QStringLiteral("127.0.0.%1").arg(nextHost++); }

    OnvifBackend* install(quint16 httpPort, const QStringList& targets, quint16 discoveryPort,
                          Notices* notices)
    {
        OnvifBackend::Options options;
        options.httpPort = httpPort;
        options.targets = targets;
        options.discoveryPort = discoveryPort;
        options.discoveryWaitMs = 400;
        options.connectTimeoutMs = TimeoutMs;
        options.requestTimeoutMs = TimeoutMs;
        auto backend = std::make_unique<OnvifBackend>(options);
        OnvifBackend* raw = backend.get();
        notices->wire(raw);
        worker().setBackend(std::move(backend));
        return raw;
    }

    QTemporaryDir dir;
    int nextHost = 71;
};

QTEST_MAIN(TestHostileDevice)
#include "tst_hostiledevice.moc"
