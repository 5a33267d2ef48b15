// A standard ONVIF client (Debian's libonvif) against the decoder daemon on loopback: device information,
// date and time, network settings and users with a UsernameToken digest, and the answer to its unicast
// discovery probe; the daemon's replies carry the ONVIF schemas' element names in their namespaces.

#include "decoderdaemon.h"
#include "onvifbackend.h"
#include "onvifnamespaces.h"
#include "servicebackend.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>
#include <QtTest>

#include <libxml/tree.h>
#include <onvif.h>

#include <cstring>
#include <memory>

using namespace pral_matrix;

namespace {

const QString Address = QStringLiteral("127.0.0.61");
const char* const Password = "Interop@2024";

struct Peer
{
    std::unique_ptr<OnvifData, decltype(&std::free)> data{
        static_cast<OnvifData*>(std::calloc(1, sizeof(OnvifData))), &std::free};
    Peer(quint16 port, const char* password)
    {
        const QByteArray url =
            QStringLiteral("http://%1:%2/onvif/device_service").arg(Address).arg(port).toLatin1();
        qstrcpy(data->xaddrs, url.constData());
        // The peer keeps the request line of each service, as it would after reading the device's services.
        qstrcpy(data->device_service, "POST /onvif/device_service HTTP/1.1\r\n");
        qstrcpy(data->username, "admin");
        qstrcpy(data->password, password);
    }
};

/**
 * Returns in the millisecond after the one it was called in. The peer's UsernameToken carries the same nonce
 * every time and its Created to the millisecond, so two of its calls within one millisecond send the same
 * token, which the decoder rightly refuses as a replay; over a real network no two calls come that close.
 */
void nextMillisecond()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (QDateTime::currentMSecsSinceEpoch() == now)
        QThread::yieldCurrentThread();
}

/** One SOAP call with our own envelope and a digest, over a plain socket; the reply's body. */
QByteArray call(quint16 port, const QString& name)
{
    const SoapEnvelope::Token token{QStringLiteral("admin"), QString::fromLatin1(Password), 0};
    const QByteArray body =
        SoapEnvelope::build([&name](QXmlStreamWriter& w) { w.writeEmptyElement(Ns::Device, name); }, &token);
    QTcpSocket socket;
    socket.connectToHost(Address, port);
    if (!socket.waitForConnected(3000))
        return QByteArray();
    socket.write(
        "POST /onvif/device_service HTTP/1.1\r\nContent-Type: application/soap+xml\r\nContent-Length: " +
        QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QByteArray reply;
    while (socket.waitForReadyRead(3000))
        reply += socket.readAll();
    return reply.mid(reply.indexOf("\r\n\r\n") + 4);
}

/** The node at path, each step "namespace|name" from the body's first element down. */
const XmlNode* follow(const XmlNode& from, const QStringList& path)
{
    const XmlNode* node = &from;
    for (const QString& step : path) {
        const XmlNode& next = node->child(step.section('|', 0, 0), step.section('|', 1));
        if (next.isNull())
            return nullptr;
        node = &next;
    }
    return node;
}

} // namespace

class TestOnvifInterop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QJsonArray decoders{QJsonObject{{"ip", "192.0.2.61"},
                                              {"deviceId", "TVD-61-20240101AA"},
                                              {"type", 3},
                                              {"channels", 4},
                                              {"version", "V2.3.1"},
                                              {"password", Password},
                                              {"dns", "192.0.2.53"},
                                              {"daemon", QJsonObject{{"address", Address}}}}};
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(QJsonDocument(QJsonObject{{"decoders", decoders}}).toJson(),
                                                 OnvifBackend::Options(), &error),
                 qPrintable(error));
        ServiceBackend::inDaemon([this](DecoderDaemon& d) { port = d.port(); });
        QVERIFY(port);
    }

    void standardClientReadsTheDecoder()
    {
        Peer peer(port, Password);
        OnvifData* d = peer.data.get();
        QCOMPARE(getTimeOffset(d), 0);
        QVERIFY(qAbs(qint64(d->time_offset)) < 5);
        QCOMPARE(getDeviceInformation(d), 0);
        QCOMPARE(QByteArray(d->serial_number), QByteArray("TVD-61-20240101AA"));
        // The network settings need credentials, which the peer sends with every call.
        nextMillisecond();
        QCOMPARE(getNetworkInterfaces(d), 0);
        QCOMPARE(QByteArray(d->ip_address_buf), Address.toLatin1());
        QCOMPARE(d->prefix_length, 24);
        nextMillisecond();
        QCOMPARE(getDNS(d), 0);
        QCOMPARE(QByteArray(d->dns_buf), QByteArray("192.0.2.53"));
        nextMillisecond();
        QCOMPARE(getNetworkDefaultGateway(d), 0);
        QVERIFY(qstrlen(d->default_gateway_buf) > 0);
        Peer wrong(port, "not-the-password");
        QVERIFY(getDeviceInformation(wrong.data.get()) != 0);
    }

    void repliesUseTheSchemasNames_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("path");
        const QString tds = Ns::Device + '|';
        const QString tt = Ns::Schema + '|';
        QTest::newRow("date and time")
            << "GetSystemDateAndTime"
            << QStringList{tds + "SystemDateAndTime", tt + "UTCDateTime", tt + "Date", tt + "Year"};
        QTest::newRow("device information") << "GetDeviceInformation" << QStringList{tds + "FirmwareVersion"};
        QTest::newRow("network interface") << "GetNetworkInterfaces"
                                           << QStringList{tds + "NetworkInterfaces", tt + "IPv4",
                                                          tt + "Config", tt + "Manual", tt + "PrefixLength"};
        QTest::newRow("name server") << "GetDNS"
                                     << QStringList{tds + "DNSInformation", tt + "DNSManual",
                                                    tt + "IPv4Address"};
        QTest::newRow("gateway") << "GetNetworkDefaultGateway"
                                 << QStringList{tds + "NetworkGateway", tt + "IPv4Address"};
        QTest::newRow("users") << "GetUsers" << QStringList{tds + "User", tt + "UserLevel"};
        QTest::newRow("services") << "GetServices" << QStringList{tds + "Service", tds + "XAddr"};
    }
    void repliesUseTheSchemasNames()
    {
        QFETCH(QString, call);
        QFETCH(QStringList, path);
        SoapEnvelope::Message m;
        QString error;
        QVERIFY2(SoapEnvelope::parse(::call(port, call), &m, &error), qPrintable(error));
        QVERIFY(m.payload.is(Ns::Device, call + QStringLiteral("Response")));
        QVERIFY2(follow(m.payload, path), qPrintable(path.join(" / ")));
    }

    void standardProbeIsAnsweredByUnicast()
    {
        char probe[4096] = {0};
        getDiscoveryXml2(probe, sizeof probe);
        QUdpSocket socket;
        QVERIFY(socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QVERIFY(socket.writeDatagram(QByteArray(probe), QHostAddress(Address), port) > 0);
        QVERIFY(socket.waitForReadyRead(3000));
        QByteArray answer(int(socket.pendingDatagramSize()), '\0');
        socket.readDatagram(answer.data(), answer.size());
        // The peer's own XML reader takes the answer.
        xmlDocPtr doc =
            xmlReadMemory(answer.constData(), answer.size(), "probe.xml", nullptr, XML_PARSE_NONET);
        QVERIFY(doc);
        xmlFreeDoc(doc);
        QString relatesTo;
        QString error;
        QVector<WsDiscovery::Match> matches;
        QVERIFY2(WsDiscovery::parseProbeMatches(answer, &relatesTo, &matches, &error), qPrintable(error));
        WsDiscovery::Probe sent;
        QVERIFY(WsDiscovery::parseProbe(QByteArray(probe), &sent, &error));
        QCOMPARE(relatesTo, sent.messageId);
        QCOMPARE(matches.size(), 1);
        QCOMPARE(matches.first().xaddrs,
                 QStringList{QStringLiteral("http://%1:%2/onvif/device_service").arg(Address).arg(port)});
        QVERIFY(matches.first().endpoint.startsWith(QStringLiteral("urn:uuid:")));
    }

    void standardClientChangesThePasswordWithADigest()
    {
        Peer peer(port, Password);
        QCOMPARE(getTimeOffset(peer.data.get()), 0);
        char changed[] = "Changed@2024";
        // The peer reports -1 for an empty SetUserResponse whatever happened; what counts is the effect.
        nextMillisecond();
        setUser(changed, peer.data.get());
        nextMillisecond();
        QVERIFY(getDeviceInformation(peer.data.get()) != 0);
        Peer renewed(port, changed);
        QCOMPARE(getDeviceInformation(renewed.data.get()), 0);
    }

private:
    quint16 port = 0;
};

QTEST_MAIN(TestOnvifInterop)
#include "tst_onvifinterop.moc"
