// The daemon's standard services as any ONVIF client meets them, against the real tvwall-decoderd on
// loopback: who may call what, HTTP Digest (the challenge, a wrong answer counted towards the lock-out, a
// replayed nonce count refused), scopes with their faults, the discovery mode, windows as Display panes fed
// by Receiver receivers, and what --standard-only leaves out.

#include "devicecodec.h"
#include "onvifnamespaces.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

using namespace pral_matrix;

namespace {

const QString Address = QStringLiteral("127.0.0.81");
const QString Pw = QStringLiteral("Passw0rd!");
const int LockThreshold = 3;

/** tvwall-decoderd serving one decoder at Address. */
class Daemon
{
public:
    bool start(const QStringList& arguments = {})
    {
        QFile fleet(dir.filePath(QStringLiteral("fleet.json")));
        const QByteArray json = QStringLiteral(R"({"lockThreshold": %1, "decoders": [
            {"ip": "192.0.2.81", "deviceId": "TVD-81", "model": "TVD-04", "type": 3, "channels": 4,
             "password": "%2", "daemon": {"address": "%3"}}]})")
                                    .arg(LockThreshold)
                                    .arg(Pw, Address)
                                    .toUtf8();
        if (!fleet.open(QIODevice::WriteOnly) || fleet.write(json) != json.size())
            return false;
        fleet.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(TVWALL_DECODERD_FILE),
                      QStringList{QStringLiteral("--fleet"), fleet.fileName()} + arguments);
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains('\n') && clock.elapsed() < 20000 && process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(100);
            out += process.readAllStandardOutput();
        }
        port = quint16(out.trimmed().split(' ').value(3).toUInt());
        return port != 0;
    }
    ~Daemon()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
    QTemporaryDir dir;
    QProcess process;
    quint16 port = 0;
};

QByteArray exchange(quint16 port, const QByteArray& bytes)
{
    QTcpSocket socket;
    socket.connectToHost(Address, port);
    if (!socket.waitForConnected(3000))
        return QByteArray();
    socket.write(bytes);
    QByteArray reply;
    while (socket.waitForReadyRead(5000))
        reply += socket.readAll();
    return reply;
}

QByteArray post(const QByteArray& body, const QByteArray& authorization = {},
                const QByteArray& path = "/onvif/device_service")
{
    return "POST " + path + " HTTP/1.1\r\nContent-Type: application/soap+xml\r\n" +
           (authorization.isEmpty() ? QByteArray() : "Authorization: " + authorization + "\r\n") +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

/** An operation of ns with the XML content, signed with a fresh token when password is not null. */
QByteArray envelope(const QString& ns, const QString& op, const QByteArray& content, const QString& password,
                    const QString& user = QStringLiteral("admin"))
{
    const SoapEnvelope::Token token{user, password, 0};
    QByteArray body = SoapEnvelope::build(
        [&](QXmlStreamWriter& w) { w.writeEmptyElement(ns, QStringLiteral("Placeholder")); },
        password.isNull() ? nullptr : &token);
    // The content is written as given, with the envelope's prefixes (tds, tt, tls, trv, tvw).
    const int at = body.indexOf("Placeholder");
    const int start = body.lastIndexOf('<', at);
    const int end = body.indexOf("/>", at) + 2;
    const QByteArray prefix = body.mid(start + 1, at - start - 1);
    body.replace(start, end - start,
                 "<" + prefix + op.toLatin1() + ">" + content + "</" + prefix + op.toLatin1() + ">");
    return body;
}

QByteArray call(quint16 port, const QString& ns, const QString& op, const QByteArray& content = {},
                const QString& password = Pw, const QByteArray& path = "/onvif/device_service")
{
    return exchange(port, post(envelope(ns, op, content, password), {}, path));
}

QByteArray status(const QByteArray& reply)
{
    return reply.left(reply.indexOf("\r\n"));
}

/** The body of a reply, read as a SOAP message. */
SoapEnvelope::Message message(const QByteArray& reply)
{
    SoapEnvelope::Message m;
    QString error;
    SoapEnvelope::parse(reply.mid(reply.indexOf("\r\n\r\n") + 4), &m, &error);
    return m;
}

struct Challenge
{
    QByteArray nonce;
    QByteArray realm;
};

Challenge challengeOf(const QByteArray& reply)
{
    Challenge c;
    const int at = reply.indexOf("WWW-Authenticate: Digest");
    const QByteArray line = reply.mid(at, reply.indexOf("\r\n", at) - at);
    const auto field = [&line](const QByteArray& name) {
        const int i = line.indexOf(name + "=\"");
        return i < 0 ? QByteArray()
                     : line.mid(i + name.size() + 2,
                                line.indexOf('"', i + name.size() + 2) - i - name.size() - 2);
    };
    c.nonce = field("nonce");
    c.realm = field("realm");
    return c;
}

/** An Authorization header answering challenge, computed here apart from the daemon's code. */
QByteArray digestAnswer(const Challenge& c, const QString& password, const QByteArray& nc,
                        QCryptographicHash::Algorithm algorithm = QCryptographicHash::Md5)
{
    const auto h = [algorithm](const QByteArray& d) {
        return QCryptographicHash::hash(d, algorithm).toHex();
    };
    const QByteArray uri = "/onvif/device_service";
    const QByteArray ha1 = h("admin:" + c.realm + ":" + password.toUtf8());
    const QByteArray ha2 = h("POST:" + uri);
    const QByteArray response = h(ha1 + ":" + c.nonce + ":" + nc + ":0a4f113b:auth:" + ha2);
    return "Digest username=\"admin\", realm=\"" + c.realm + "\", nonce=\"" + c.nonce + "\", uri=\"" + uri +
           "\", algorithm=" + (algorithm == QCryptographicHash::Md5 ? "MD5" : "SHA-256") +
           ", qop=auth, nc=" + nc + ", cnonce=\"0a4f113b\", response=\"" + response + "\"";
}

QByteArray bare(const QString& ns, const QString& op)
{
    return envelope(ns, op, {}, QString());
}

} // namespace

class TestOnvifServices : public QObject
{
    Q_OBJECT

private slots:
    // ONVIF lets anyone call these few; everything else needs credentials, and without any the answer is
    // the Digest challenge.
    void openAndProtectedCalls_data()
    {
        QTest::addColumn<QString>("ns");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("status");
        const QString tds = Ns::Device;
        for (const char* open :
             {"GetSystemDateAndTime", "GetCapabilities", "GetServices", "GetServiceCapabilities",
              "GetHostname", "GetWsdlUrl", "GetEndpointReference"})
            QTest::newRow(open) << tds << QString::fromLatin1(open) << QByteArray("HTTP/1.1 200");
        for (const char* closed : {"GetScopes", "GetNTP", "GetNetworkInterfaces", "GetDNS", "GetUsers",
                                   "GetNetworkProtocols", "GetDiscoveryMode", "SystemReboot"})
            QTest::newRow(closed) << tds << QString::fromLatin1(closed) << QByteArray("HTTP/1.1 401");
        QTest::newRow("display capabilities")
            << Ns::Display << "GetServiceCapabilities" << QByteArray("HTTP/1.1 200");
        QTest::newRow("receivers") << Ns::Receiver << "GetReceivers" << QByteArray("HTTP/1.1 401");
        QTest::newRow("layout") << Ns::Display << "GetLayout" << QByteArray("HTTP/1.1 401");
    }
    void openAndProtectedCalls()
    {
        QFETCH(QString, ns);
        QFETCH(QString, op);
        QFETCH(QByteArray, status);
        Daemon d;
        QVERIFY(d.start());
        const QByteArray reply = exchange(d.port, post(bare(ns, op)));
        QVERIFY2(reply.startsWith(status), reply.left(300).constData());
        if (status.endsWith("401"))
            QVERIFY(reply.contains("WWW-Authenticate: Digest") && reply.contains("NotAuthorized"));
    }

    void digestIsAcceptedCountedAndNotReplayed()
    {
        Daemon d;
        QVERIFY(d.start());
        const QByteArray users = bare(Ns::Device, QStringLiteral("GetUsers"));
        const Challenge c = challengeOf(exchange(d.port, post(users)));
        QVERIFY(!c.nonce.isEmpty());
        for (auto algorithm : {QCryptographicHash::Md5, QCryptographicHash::Sha256}) {
            const QByteArray nc = algorithm == QCryptographicHash::Md5 ? "00000001" : "00000002";
            QCOMPARE(status(exchange(d.port, post(users, digestAnswer(c, Pw, nc, algorithm)))),
                     QByteArray("HTTP/1.1 200 OK"));
        }
        // The same nonce count again is a replay: refused and challenged anew, not counted.
        for (int i = 0; i < LockThreshold + 1; ++i) {
            const QByteArray replay = exchange(d.port, post(users, digestAnswer(c, Pw, "00000002")));
            QVERIFY2(status(replay) == "HTTP/1.1 401 Unauthorized" && replay.contains("used before"),
                     replay.constData());
        }
        // Wrong answers count towards the lock-out like wrong tokens: then even the right one is refused.
        for (int i = 0; i < LockThreshold; ++i) {
            const QByteArray wrong = exchange(
                d.port,
                post(users, digestAnswer(c, "guess", QByteArray::number(10 + i).rightJustified(8, '0'))));
            QVERIFY2(status(wrong).startsWith("HTTP/1.1 40"), wrong.constData());
        }
        const QByteArray locked = exchange(d.port, post(users, digestAnswer(c, Pw, "00000020")));
        QVERIFY2(locked.contains("USERLOCK"), locked.constData());
        // A forged nonce is no answer at all: challenged, nothing counted.
        Challenge forged = c;
        forged.nonce = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
        QVERIFY(status(exchange(d.port, post(users, digestAnswer(forged, Pw, "00000001")))) ==
                "HTTP/1.1 401 Unauthorized");
    }

    void scopesKeepTheirFixedOnes_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("scope");
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<bool>("listed");
        QTest::newRow("add") << "AddScopes"
                             << "onvif://www.onvif.org/location/hall" << QByteArray() << true;
        QTest::newRow("set") << "SetScopes"
                             << "onvif://www.onvif.org/name/wall-a" << QByteArray() << true;
        QTest::newRow("remove configurable")
            << "RemoveScopes"
            << "onvif://www.onvif.org/location/unknown" << QByteArray() << false;
        QTest::newRow("remove fixed")
            << "RemoveScopes"
            << "onvif://www.onvif.org/type/video_decoder" << QByteArray("FixedScope") << true;
        QTest::newRow("remove missing")
            << "RemoveScopes"
            << "onvif://www.onvif.org/location/none" << QByteArray("NoScope") << false;
        QTest::newRow("overwrite fixed")
            << "SetScopes"
            << "onvif://www.onvif.org/hardware/TVD-04" << QByteArray("ScopeOverwrite") << true;
        QTest::newRow("not a URI") << "AddScopes"
                                   << "no scope" << QByteArray("InvalidArgVal") << false;
        // SetScopes names its list Scopes; ScopeItem there is a list of none, which would clear them all.
        QTest::newRow("set with the items of add")
            << "SetScopes:ScopeItem"
            << "onvif://www.onvif.org/name/wall-b" << QByteArray("InvalidArgVal") << false;
    }
    void scopesKeepTheirFixedOnes()
    {
        QFETCH(QString, op);
        QFETCH(QString, scope);
        QFETCH(QByteArray, fault);
        QFETCH(bool, listed);
        // The element as the operation's schema names it, unless the row names another.
        QString element =
            op == QLatin1String("SetScopes") ? QStringLiteral("Scopes") : QStringLiteral("ScopeItem");
        if (op.contains(QLatin1Char(':'))) {
            element = op.section(QLatin1Char(':'), 1);
            op = op.section(QLatin1Char(':'), 0, 0);
        }
        Daemon d;
        QVERIFY(d.start());
        const QByteArray reply =
            call(d.port, Ns::Device, op,
                 "<tds:" + element.toLatin1() + ">" + scope.toUtf8() + "</tds:" + element.toLatin1() + ">");
        QVERIFY2(fault.isEmpty() ? status(reply) == "HTTP/1.1 200 OK" : reply.contains(fault),
                 reply.constData());
        const QVector<DeviceCodec::Scope> scopes =
            DeviceCodec::readScopes(message(call(d.port, Ns::Device, QStringLiteral("GetScopes"))).payload);
        const bool found = std::any_of(scopes.begin(), scopes.end(),
                                       [&](const DeviceCodec::Scope& s) { return s.item == scope; });
        QCOMPARE(found, listed);
        // The fixed ones stay whatever was asked.
        QVERIFY(std::any_of(scopes.begin(), scopes.end(), [](const DeviceCodec::Scope& s) {
            return s.fixed && s.item == QLatin1String("onvif://www.onvif.org/type/video_decoder");
        }));
        // SetScopes replaces the configurable ones; a refused call leaves them as they were.
        const bool former = std::any_of(scopes.begin(), scopes.end(), [](const DeviceCodec::Scope& s) {
            return s.item == QLatin1String("onvif://www.onvif.org/name/TVD-81");
        });
        QCOMPARE(former, op != QLatin1String("SetScopes") || !fault.isEmpty());
    }

    // A probe with only standard types is answered with the standard scopes, ours too unless the daemon
    // serves standard services only; NonDiscoverable silences it.
    void discoveryFollowsModeAndServing_data()
    {
        QTest::addColumn<bool>("standardOnly");
        QTest::addColumn<QString>("mode");
        QTest::newRow("ours, discoverable") << false << "Discoverable";
        QTest::newRow("standard only") << true << "Discoverable";
        QTest::newRow("non-discoverable") << false << "NonDiscoverable";
    }
    void discoveryFollowsModeAndServing()
    {
        QFETCH(bool, standardOnly);
        QFETCH(QString, mode);
        Daemon d;
        QVERIFY(d.start(standardOnly ? QStringList{QStringLiteral("--standard-only")} : QStringList()));
        QVERIFY(status(call(d.port, Ns::Device, QStringLiteral("SetDiscoveryMode"),
                            "<tds:DiscoveryMode>" + mode.toLatin1() + "</tds:DiscoveryMode>")) ==
                "HTTP/1.1 200 OK");
        QUdpSocket socket;
        QVERIFY(socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
        socket.writeDatagram(WsDiscovery::buildProbe(QStringLiteral("uuid:9"), WsDiscovery::decoderTypes()),
                             QHostAddress(Address), d.port);
        const bool answered = socket.waitForReadyRead(1500);
        QCOMPARE(answered, mode == QLatin1String("Discoverable"));
        if (!answered)
            return;
        QByteArray datagram(int(socket.pendingDatagramSize()), '\0');
        socket.readDatagram(datagram.data(), datagram.size());
        QString relatesTo;
        QString error;
        QVector<WsDiscovery::Match> matches;
        QVERIFY2(WsDiscovery::parseProbeMatches(datagram, &relatesTo, &matches, &error), qPrintable(error));
        const DeviceCodec::Identity identity = DeviceCodec::readIdentity(matches.first().scopes);
        QCOMPARE(identity.hardware, QStringLiteral("TVD-04"));
        QCOMPARE(identity.name, QStringLiteral("TVD-81"));
        QVERIFY(identity.types.contains(QStringLiteral("video_decoder")));
        const bool ours =
            std::any_of(matches.first().scopes.begin(), matches.first().scopes.end(),
                        [](const QString& s) { return s.startsWith(QLatin1String("tvwall://")); });
        QCOMPARE(ours, !standardOnly);
        const QByteArray services = call(d.port, Ns::Device, QStringLiteral("GetServices"),
                                         "<tds:IncludeCapability>true</tds:IncludeCapability>");
        QCOMPARE(services.contains("<tds:Namespace>" + Ns::Wall.toLatin1()), !standardOnly);
        QVERIFY(services.contains(Ns::Display.toLatin1()) && services.contains(Ns::Receiver.toLatin1()));
    }

    // A standard-only decoder answers in the standard vocabulary alone: no prefix or namespace of ours on any
    // envelope, no result code or refusal counters in a fault, no scope of ours, and what a client sends of
    // ours (a window record on a pane, window sources on a receiver) is neither kept nor handed back. The
    // same calls to a decoder with our extension do name it, so the check could fail.
    void standardOnlySendsNothingOfOurs_data()
    {
        QTest::addColumn<bool>("standardOnly");
        QTest::newRow("standard only") << true;
        QTest::newRow("ours too") << false;
    }
    void standardOnlySendsNothingOfOurs()
    {
        QFETCH(bool, standardOnly);
        Daemon d;
        QVERIFY(d.start(standardOnly ? QStringList{QStringLiteral("--standard-only")} : QStringList()));
        const QByteArray receiverPath = "/onvif/receiver_service";
        const QByteArray displayPath = "/onvif/display_service";
        const QByteArray configuration =
            "<trv:Configuration><tt:Mode>AlwaysConnect</tt:Mode><tt:MediaUri>rtsp://127.0.0.1/cam1</"
            "tt:MediaUri>"
            "<tt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream><tt:Transport><tt:Protocol>RTSP</tt:Protocol>"
            "</tt:Transport></tt:StreamSetup><tvw:Source Slot=\"4\" Kind=\"2\" Name=\"camera 4\"/>"
            "</trv:Configuration>";
        QMap<QString, QByteArray> replies;
        replies["GetServices"] = call(d.port, Ns::Device, QStringLiteral("GetServices"),
                                      "<tds:IncludeCapability>true</tds:IncludeCapability>", QString());
        replies["GetCapabilities"] =
            call(d.port, Ns::Device, QStringLiteral("GetCapabilities"), {}, QString());
        replies["GetScopes"] = call(d.port, Ns::Device, QStringLiteral("GetScopes"));
        replies["an operation the device has not"] = call(d.port, Ns::Device, QStringLiteral("GetWall"));
        replies["no credentials"] = call(d.port, Ns::Device, QStringLiteral("GetUsers"), {}, QString());
        replies["a wrong password"] = call(d.port, Ns::Device, QStringLiteral("GetUsers"), {}, "not it");
        replies["not well-formed"] = exchange(d.port, post("<s:Envelope"));
        replies["CreateReceiver"] =
            call(d.port, Ns::Receiver, QStringLiteral("CreateReceiver"), configuration, Pw, receiverPath);
        replies["GetReceivers"] =
            call(d.port, Ns::Receiver, QStringLiteral("GetReceivers"), {}, Pw, receiverPath);
        replies["CreatePaneConfiguration"] =
            call(d.port, Ns::Display, QStringLiteral("CreatePaneConfiguration"),
                 "<tls:VideoOutput>VO-0-0</tls:VideoOutput><tls:PaneConfiguration><tt:Token>p</tt:Token>"
                 "<tvw:Window X=\"0\" Y=\"0\" Width=\"100\" Height=\"100\"/></tls:PaneConfiguration>",
                 Pw, displayPath);
        replies["GetPaneConfigurations"] = call(d.port, Ns::Display, QStringLiteral("GetPaneConfigurations"),
                                                "<tls:VideoOutput>VO-0-0</tls:VideoOutput>", Pw, displayPath);
        replies["GetVideoOutputConfiguration"] =
            call(d.port, Ns::DeviceIo, QStringLiteral("GetVideoOutputConfiguration"),
                 "<tmd:VideoOutputToken>VO-0-0</tmd:VideoOutputToken>", Pw, "/onvif/deviceio_service");
        QUdpSocket socket;
        QVERIFY(socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
        socket.writeDatagram(WsDiscovery::buildProbe(QStringLiteral("uuid:9"), WsDiscovery::decoderTypes()),
                             QHostAddress(Address), d.port);
        QVERIFY(socket.waitForReadyRead(3000));
        QByteArray datagram(int(socket.pendingDatagramSize()), '\0');
        socket.readDatagram(datagram.data(), datagram.size());
        replies["a probe"] = "\r\n\r\n" + datagram;

        for (auto it = replies.constBegin(); it != replies.constEnd(); ++it) {
            const QByteArray body = it.value().mid(it.value().indexOf("\r\n\r\n") + 4);
            QVERIFY2(body.startsWith("<?xml"), qPrintable(it.key() + ": " + it.value().left(200)));
            const bool ours =
                body.contains(Ns::Wall.toLatin1()) || body.contains("tvw:") || body.contains("tvwall://");
            QVERIFY2(ours == !standardOnly, qPrintable(it.key() + ": " + body));
        }
        // The calls themselves were served: in this mode too, the window record and sources were only left
        // out.
        QVERIFY(status(replies["CreateReceiver"]) == "HTTP/1.1 200 OK");
        QVERIFY(status(replies["GetPaneConfigurations"]) == "HTTP/1.1 200 OK");
        QVERIFY(replies["GetPaneConfigurations"].contains(">p</"));
        QVERIFY(status(replies["GetVideoOutputConfiguration"]) == "HTTP/1.1 200 OK");
        QCOMPARE(status(replies["a wrong password"]), QByteArray("HTTP/1.1 400 Bad Request"));
        // Without ours, the fault still says what it is.
        QCOMPARE(message(replies["a wrong password"]).fault.subcode, QStringLiteral("NotAuthorized"));
        QCOMPARE(message(replies["an operation the device has not"]).fault.subcode,
                 QStringLiteral("ActionNotSupported"));
    }

    // A window through the standard services: a receiver, a pane made for it, the layout that places it;
    // the pane then shows in GetLayout where it was put, fed by the receiver; a shown pane and its receiver
    // cannot be deleted, and a layout that would move it is refused.
    void paneFedByReceiverBecomesAWindow()
    {
        Daemon d;
        QVERIFY(d.start({QStringLiteral("--standard-only")}));
        const QByteArray made =
            call(d.port, Ns::Receiver, QStringLiteral("CreateReceiver"),
                 "<trv:Configuration><tt:Mode>AlwaysConnect</tt:Mode><tt:MediaUri>rtsp://127.0.0.1/cam1"
                 "</tt:MediaUri><tt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream><tt:Transport>"
                 "<tt:Protocol>RTSP</tt:Protocol></tt:Transport></tt:StreamSetup></trv:Configuration>",
                 Pw, "/onvif/receiver_service");
        const QString receiver = message(made)
                                     .payload.child(Ns::Receiver, QStringLiteral("Receiver"))
                                     .childText(Ns::Schema, QStringLiteral("Token"));
        QVERIFY2(!receiver.isEmpty(), made.constData());
        const QByteArray pane = call(
            d.port, Ns::Display, QStringLiteral("CreatePaneConfiguration"),
            "<tls:VideoOutput>VO-0-0</tls:VideoOutput><tls:PaneConfiguration><tt:ReceiverToken>" +
                receiver.toLatin1() + "</tt:ReceiverToken><tt:Token>x</tt:Token></tls:PaneConfiguration>");
        const QString token = message(pane).payload.childText(Ns::Display, QStringLiteral("PaneToken"));
        // The token the client proposed, since it was free.
        QCOMPARE(token, QStringLiteral("x"));
        const QByteArray area =
            "<tt:PaneLayout><tt:Pane>" + token.toLatin1() +
            "</tt:Pane><tt:Area bottom=\"0\" top=\"1\" right=\"0\" left=\"-1\"/></tt:PaneLayout>";
        QVERIFY(status(call(d.port, Ns::Display, QStringLiteral("SetLayout"),
                            "<tls:VideoOutput>VO-0-0</tls:VideoOutput><tls:Layout>" + area +
                                "</tls:Layout>")) == "HTTP/1.1 200 OK");
        const XmlNode layout = message(call(d.port, Ns::Display, QStringLiteral("GetLayout"),
                                            "<tls:VideoOutput>VO-0-0</tls:VideoOutput>"))
                                   .payload.child(Ns::Display, QStringLiteral("Layout"));
        const XmlNode& shown = layout.child(Ns::Schema, QStringLiteral("PaneLayout"));
        QCOMPARE(shown.childText(Ns::Schema, QStringLiteral("Pane")), token);
        QCOMPARE(shown.child(Ns::Schema, QStringLiteral("Area")).attributes.value(QStringLiteral("right")),
                 QStringLiteral("0"));
        const QByteArray state = call(d.port, Ns::Receiver, QStringLiteral("GetReceiverState"),
                                      "<trv:ReceiverToken>" + receiver.toLatin1() + "</trv:ReceiverToken>");
        QVERIFY2(state.contains(">Connected<"), state.constData());
        QVERIFY(call(d.port, Ns::Display, QStringLiteral("DeletePaneConfiguration"),
                     "<tls:VideoOutput>VO-0-0</tls:VideoOutput><tls:PaneToken>" + token.toLatin1() +
                         "</tls:PaneToken>")
                    .contains("PaneInUse"));
        QVERIFY(call(d.port, Ns::Receiver, QStringLiteral("DeleteReceiver"),
                     "<trv:ReceiverToken>" + receiver.toLatin1() + "</trv:ReceiverToken>")
                    .contains("ReceiverInUse"));
        QByteArray moved = area;
        moved.replace("right=\"0\"", "right=\"0.5\"");
        QVERIFY(call(d.port, Ns::Display, QStringLiteral("SetLayout"),
                     "<tls:VideoOutput>VO-0-0</tls:VideoOutput><tls:Layout>" + moved + "</tls:Layout>")
                    .contains("InvalidLayout"));
        QVERIFY(call(d.port, Ns::Display, QStringLiteral("GetLayout"),
                     "<tls:VideoOutput>VO-9-9</tls:VideoOutput>")
                    .contains("NoVideoOutput"));
        // The extension is not there at all in this mode: no path, and no operation at the device's.
        QVERIFY(status(call(d.port, Ns::Wall, QStringLiteral("GetWall"), {}, Pw, "/onvif/wall_service"))
                    .startsWith("HTTP/1.1 404"));
        QVERIFY(call(d.port, Ns::Wall, QStringLiteral("GetWall")).contains("ActionNotSupported"));
    }

    // Users a client creates log in with their own passwords, within their level.
    void usersLogInWithinTheirLevel()
    {
        Daemon d;
        QVERIFY(d.start());
        QVERIFY(
            status(call(d.port, Ns::Device, QStringLiteral("CreateUsers"),
                        "<tds:User><tt:Username>viewer</tt:Username><tt:Password>Viewer@2024</tt:Password>"
                        "<tt:UserLevel>User</tt:UserLevel></tds:User>")) == "HTTP/1.1 200 OK");
        const auto as = [&d](const QString& op, const QByteArray& content = {}) {
            return exchange(d.port, post(envelope(Ns::Device, op, content, QStringLiteral("Viewer@2024"),
                                                  QStringLiteral("viewer"))));
        };
        QCOMPARE(status(as(QStringLiteral("GetScopes"))), QByteArray("HTTP/1.1 200 OK"));
        QVERIFY(as(QStringLiteral("SetHostname"), "<tds:Name>other</tds:Name>").contains("may not call"));
        QVERIFY(call(d.port, Ns::Device, QStringLiteral("DeleteUsers"), "<tds:Username>admin</tds:Username>")
                    .contains("FixedUser"));
        QVERIFY(status(call(d.port, Ns::Device, QStringLiteral("DeleteUsers"),
                            "<tds:Username>viewer</tds:Username>")) == "HTTP/1.1 200 OK");
        QVERIFY(as(QStringLiteral("GetScopes")).contains("NotAuthorized"));
    }
};

QTEST_GUILESS_MAIN(TestOnvifServices)
#include "tst_onvifservices.moc"
