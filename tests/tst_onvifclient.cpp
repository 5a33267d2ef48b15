// The client against devices that no one here wrote: each a fake device on a loopback address that answers
// with replies in the shapes real ONVIF devices send (gSOAP envelopes full of prefixes, a camera with ONVIF's
// scopes only, DHCP, several interfaces, IPv6 only, an empty interface list, an HTTP Digest challenge, a
// clock two hours off, a device of ONVIF's first versions, TLS), driven through the real service thread as
// the page drives it. What protects: search lists every device that answers, login works whatever the
// device's clock and scheme, network reads take the interface the client reaches, windows go through the
// display and receiver services, walls are refused at once on a device without our extension, and a device's
// TLS key is pinned on first use and refused when it changes.

#include "fakepeer.h"
#include "matrixsdkworker.h"
#include "onvifbackend.h"
#include "onvifnamespaces.h"
#include "servicespy.h"
#include "servicethread.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace pral_matrix;
using S = SoapEnvelope;

namespace {

const QString Password = QStringLiteral("Cam-pass-77");
const int TimeoutMs = 1500;

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

/** A reply body inside the envelope a gSOAP device writes: every prefix it knows declared on the root. */
QByteArray recorded(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
           "xmlns:SOAP-ENC=\"http://www.w3.org/2003/05/soap-encoding\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:wsa5=\"http://www.w3.org/2005/08/addressing\" "
           "xmlns:xop=\"http://www.w3.org/2004/08/xop/include\" "
           "xmlns:tt=\"http://www.onvif.org/ver10/schema\" "
           "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" "
           "xmlns:ter=\"http://www.onvif.org/ver10/error\" "
           "xmlns:tmd=\"http://www.onvif.org/ver10/deviceIO/wsdl\" "
           "xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\" "
           "xmlns:tls=\"http://www.onvif.org/ver10/display/wsdl\" "
           "xmlns:trv=\"http://www.onvif.org/ver10/receiver/wsdl\" "
           "xmlns:tev=\"http://www.onvif.org/ver10/events/wsdl\">"
           "<SOAP-ENV:Header></SOAP-ENV:Header><SOAP-ENV:Body>" +
           body + "</SOAP-ENV:Body></SOAP-ENV:Envelope>\r\n";
}

QByteArray notAuthorized()
{
    return recorded("<SOAP-ENV:Fault><SOAP-ENV:Code><SOAP-ENV:Value>SOAP-ENV:Sender</SOAP-ENV:Value>"
                    "<SOAP-ENV:Subcode><SOAP-ENV:Value>ter:NotAuthorized</SOAP-ENV:Value></SOAP-ENV:Subcode>"
                    "</SOAP-ENV:Code><SOAP-ENV:Reason><SOAP-ENV:Text xml:lang=\"en\">Sender not Authorized"
                    "</SOAP-ENV:Text></SOAP-ENV:Reason></SOAP-ENV:Fault>");
}

QByteArray actionNotSupported()
{
    return recorded(
        "<SOAP-ENV:Fault><SOAP-ENV:Code><SOAP-ENV:Value>SOAP-ENV:Receiver</SOAP-ENV:Value>"
        "<SOAP-ENV:Subcode><SOAP-ENV:Value>ter:ActionNotSupported</SOAP-ENV:Value></SOAP-ENV:Subcode>"
        "</SOAP-ENV:Code><SOAP-ENV:Reason><SOAP-ENV:Text xml:lang=\"en\">Optional Action Not "
        "Implemented</SOAP-ENV:Text></SOAP-ENV:Reason></SOAP-ENV:Fault>");
}

QByteArray dateTime(const QByteArray& element, const QDateTime& at)
{
    return "<tt:" + element + "><tt:Time><tt:Hour>" + QByteArray::number(at.time().hour()) +
           "</tt:Hour><tt:Minute>" + QByteArray::number(at.time().minute()) + "</tt:Minute><tt:Second>" +
           QByteArray::number(at.time().second()) + "</tt:Second></tt:Time><tt:Date><tt:Year>" +
           QByteArray::number(at.date().year()) + "</tt:Year><tt:Month>" +
           QByteArray::number(at.date().month()) + "</tt:Month><tt:Day>" +
           QByteArray::number(at.date().day()) + "</tt:Day></tt:Date></tt:" + element + ">";
}

QByteArray md5(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

QMap<QByteArray, QByteArray> digestFields(const QByteArray& authorization)
{
    QMap<QByteArray, QByteArray> fields;
    const QRegularExpression field(QStringLiteral("(\\w+)=(\"([^\"]*)\"|([^,\\s]*))"));
    auto it = field.globalMatch(QString::fromLatin1(authorization.mid(7)));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        fields.insert(m.captured(1).toLatin1(),
                      (m.captured(3).isNull() ? m.captured(4) : m.captured(3)).toLatin1());
    }
    return fields;
}

/** One ONVIF interface of GetNetworkInterfaces, as gSOAP devices write it. */
QByteArray nic(const QByteArray& token, const QByteArray& ipv4, const QByteArray& ipv6 = QByteArray())
{
    return "<tds:NetworkInterfaces token=\"" + token + "\"><tt:Enabled>true</tt:Enabled><tt:Info><tt:Name>" +
           token + "</tt:Name><tt:HwAddress>02:00:5e:10:00:0" + QByteArray::number(token.size() % 10) +
           "</tt:HwAddress><tt:MTU>1500</tt:MTU></tt:Info><tt:Link><tt:AdminSettings><tt:AutoNegotiation>true"
           "</tt:AutoNegotiation><tt:Speed>100</tt:Speed><tt:Duplex>Full</tt:Duplex></tt:AdminSettings>"
           "<tt:OperSettings><tt:AutoNegotiation>true</tt:AutoNegotiation><tt:Speed>100</"
           "tt:Speed><tt:Duplex>Full"
           "</tt:Duplex></tt:OperSettings><tt:InterfaceType>6</tt:InterfaceType></tt:Link>" +
           ipv4 + ipv6 + "</tds:NetworkInterfaces>";
}

QByteArray manualV4(const QByteArray& address, int prefix)
{
    return "<tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Config><tt:Manual><tt:Address>" + address +
           "</tt:Address><tt:PrefixLength>" + QByteArray::number(prefix) +
           "</tt:PrefixLength></tt:Manual><tt:DHCP>false</tt:DHCP></tt:Config></tt:IPv4>";
}

QByteArray dhcpV4(const QByteArray& address, int prefix)
{
    return "<tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Config><tt:Manual><tt:Address>192.168.1.64</tt:Address>"
           "<tt:PrefixLength>24</tt:PrefixLength></tt:Manual><tt:FromDHCP><tt:Address>" +
           address + "</tt:Address><tt:PrefixLength>" + QByteArray::number(prefix) +
           "</tt:PrefixLength></tt:FromDHCP><tt:DHCP>true</tt:DHCP></tt:Config></tt:IPv4>";
}

QByteArray v6(const QByteArray& global, int prefix, bool ipv4Off = false)
{
    return (ipv4Off ? QByteArray("<tt:IPv4><tt:Enabled>false</tt:Enabled><tt:Config><tt:DHCP>false</tt:DHCP>"
                                 "</tt:Config></tt:IPv4>")
                    : QByteArray()) +
           "<tt:IPv6><tt:Enabled>true</tt:Enabled><tt:Config><tt:AcceptRouterAdvert>true</"
           "tt:AcceptRouterAdvert>"
           "<tt:DHCP>Off</tt:DHCP><tt:LinkLocal><tt:Address>fe80::ff:fe10:1</tt:Address><tt:PrefixLength>64"
           "</tt:PrefixLength></tt:LinkLocal>" +
           (global.isEmpty() ? QByteArray()
                             : "<tt:FromRA><tt:Address>" + global + "</tt:Address><tt:PrefixLength>" +
                                   QByteArray::number(prefix) + "</tt:PrefixLength></tt:FromRA>") +
           "</tt:Config></tt:IPv6>";
}

QByteArray dnsManual(const QByteArray& server)
{
    return "<tds:DNSInformation><tt:FromDHCP>false</tt:FromDHCP><tt:DNSManual><tt:Type>IPv4</tt:Type>"
           "<tt:IPv4Address>" +
           server + "</tt:IPv4Address></tt:DNSManual></tds:DNSInformation>";
}

QByteArray dnsFromDhcp(const QByteArray& server)
{
    return "<tds:DNSInformation><tt:FromDHCP>true</tt:FromDHCP><tt:SearchDomain>site.example</"
           "tt:SearchDomain>"
           "<tt:DNSFromDHCP><tt:Type>IPv4</tt:Type><tt:IPv4Address>" +
           server + "</tt:IPv4Address></tt:DNSFromDHCP></tds:DNSInformation>";
}

QByteArray gateway(const QByteArray& v4, const QByteArray& v6 = QByteArray())
{
    return "<tds:NetworkGateway>" +
           (v4.isEmpty() ? QByteArray() : "<tt:IPv4Address>" + v4 + "</tt:IPv4Address>") +
           (v6.isEmpty() ? QByteArray() : "<tt:IPv6Address>" + v6 + "</tt:IPv6Address>") +
           "</tds:NetworkGateway>";
}

/**
 * A device of another maker: the operations ONVIF lets anyone call answer anyone, the others only a valid
 * WS-UsernameToken (checked against the device's own clock) or, for a device that wants it, HTTP Digest.
 */
class RecordedDevice
{
public:
    enum class Auth
    {
        UsernameToken,
        Digest,
    };

    QString ip;
    qint64 clockSkewSecs = 0;
    /** The clock shown as local time and a POSIX zone only (e.g. "CST-8", eight hours east). */
    QString zoneOnly;
    Auth auth = Auth::UsernameToken;
    bool display = false;
    int videoOutputs = 0;
    bool firstVersion = false;
    bool informationForAnyone = false;
    bool noUsers = false;
    QString serial = QStringLiteral("EXC2000012345");
    QString firmware = QStringLiteral("V5.4.1 build 201020");
    QString endpoint = QStringLiteral("urn:uuid:6a1e7c2c-8f5b-4d0e-9a3b-0c1d2e3f4a5b");
    QStringList scopes = {QStringLiteral("onvif://www.onvif.org/type/video_encoder"),
                          QStringLiteral("onvif://www.onvif.org/Profile/Streaming"),
                          QStringLiteral("onvif://www.onvif.org/hardware/EX-CAM-200"),
                          QStringLiteral("onvif://www.onvif.org/name/EXAMPLE%20CAMERA"),
                          QStringLiteral("onvif://www.onvif.org/location/country/nowhere")};
    QByteArray types = "dn:NetworkVideoTransmitter tds:Device";
    QByteArray interfaces;
    QByteArray dns = dnsManual("127.0.0.1");
    QByteArray gatewayReply = gateway("127.0.0.1");
    FakePeer http;
    FakeResponder discovery;

    bool start(quint16 discoveryPort)
    {
        if (!http.listen(ip) || !discovery.bind(ip, discoveryPort))
            return false;
        http.setHandler([this](const FakePeer::Request& r) { return answer(r); });
        discovery.setAnswer([this](const QString& id) { return probeMatch(id); });
        return true;
    }

    QString xaddr() const
    {
        return QStringLiteral("%1://%2:%3/onvif/device_service").arg(scheme).arg(ip).arg(http.port());
    }

    QString scheme = QStringLiteral("http");

    QDateTime now() const { return QDateTime::currentDateTimeUtc().addSecs(clockSkewSecs); }

    /** Operations the device refused for want of credentials. */
    QStringList refused;
    /** Operations it carried out with valid credentials. */
    QStringList authorised;

private:
    QByteArray probeMatch(const QString& relatesTo) const
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
               "xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
               "xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
               "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
               "xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\" "
               "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\"><SOAP-ENV:Header>"
               "<wsa:MessageID>uuid:0b1c2d3e-4f50-6172-8394-a5b6c7d8e9f0</wsa:MessageID><wsa:RelatesTo>" +
               relatesTo.toUtf8() +
               "</wsa:RelatesTo><wsa:To SOAP-ENV:mustUnderstand=\"true\">"
               "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</wsa:To>"
               "<wsa:Action SOAP-ENV:mustUnderstand=\"true\">"
               "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</wsa:Action>"
               "<d:AppSequence InstanceId=\"1\" MessageNumber=\"3\"/></SOAP-ENV:Header><SOAP-ENV:Body>"
               "<d:ProbeMatches><d:ProbeMatch><wsa:EndpointReference><wsa:Address>" +
               endpoint.toUtf8() + "</wsa:Address></wsa:EndpointReference><d:Types>" + types +
               "</d:Types><d:Scopes>" + scopes.join(QLatin1Char(' ')).toUtf8() + "</d:Scopes><d:XAddrs>" +
               xaddr().toUtf8() +
               "</d:XAddrs><d:MetadataVersion>10</d:MetadataVersion></d:ProbeMatch></d:ProbeMatches>"
               "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
    }

    bool authorisedBy(const FakePeer::Request& r)
    {
        if (auth == Auth::Digest) {
            const QByteArray authorization = r.header("Authorization");
            if (!authorization.startsWith("Digest "))
                return false;
            const QMap<QByteArray, QByteArray> f = digestFields(authorization);
            const QByteArray ha1 = md5(f.value("username") + ":onvif:" + Password.toUtf8());
            const QByteArray ha2 = md5(r.method + ':' + f.value("uri"));
            return f.value("username") == "admin" &&
                   f.value("response") == md5(ha1 + ":4d1a57c9e:" + f.value("nc") + ':' + f.value("cnonce") +
                                              ':' + f.value("qop") + ':' + ha2);
        }
        S::Message message;
        QString error;
        if (!S::parse(r.body, &message, &error))
            return false;
        const S::ReceivedToken token = S::readToken(message.header);
        return token.present && token.userName == QLatin1String("admin") && S::verify(token, Password, now());
    }

    FakePeer::Answer answer(const FakePeer::Request& r)
    {
        const QString op = r.operation();
        const bool open = op == QLatin1String("GetSystemDateAndTime") || op == QLatin1String("GetServices") ||
                          op == QLatin1String("GetCapabilities") ||
                          op == QLatin1String("GetEndpointReference") ||
                          (informationForAnyone && op == QLatin1String("GetDeviceInformation"));
        // ONVIF: a device without users yet asks nobody for credentials.
        if (!open && !noUsers && !authorisedBy(r)) {
            refused << op;
            if (auth == Auth::Digest) {
                FakePeer::Answer challenge =
                    FakePeer::reply(401, "<html>401 Unauthorized</html>", "text/html");
                challenge.bytes.replace("\r\n\r\n",
                                        "\r\nWWW-Authenticate: Digest realm=\"onvif\", qop=\"auth\", "
                                        "nonce=\"4d1a57c9e\", algorithm=MD5\r\n\r\n");
                return challenge;
            }
            return FakePeer::reply(400, notAuthorized());
        }
        if (!open && !noUsers)
            authorised << op;
        if (op == QLatin1String("GetSystemDateAndTime")) {
            const QDateTime at = now();
            if (!zoneOnly.isEmpty())
                return FakePeer::reply(
                    200,
                    recorded(
                        "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>Manual"
                        "</tt:DateTimeType><tt:DaylightSavings>false</tt:DaylightSavings><tt:TimeZone>"
                        "<tt:TZ>" +
                        zoneOnly.toUtf8() + "</tt:TZ></tt:TimeZone>" +
                        dateTime("LocalDateTime", at.addSecs(8 * 3600)) +
                        "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>"));
            return FakePeer::reply(
                200,
                recorded(
                    "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>NTP"
                    "</tt:DateTimeType><tt:DaylightSavings>false</tt:DaylightSavings><tt:TimeZone><tt:TZ>"
                    "GMT0</tt:TZ></tt:TimeZone>" +
                    dateTime("UTCDateTime", at) + dateTime("LocalDateTime", at) +
                    "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>"));
        }
        if (op == QLatin1String("GetServices")) {
            if (firstVersion)
                return FakePeer::reply(400, actionNotSupported());
            return FakePeer::reply(200, recorded(services()));
        }
        if (op == QLatin1String("GetCapabilities")) {
            return FakePeer::reply(
                200,
                recorded("<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Device><tt:XAddr>" +
                         xaddr().toUtf8() + "</tt:XAddr></tt:Device><tt:Media><tt:XAddr>" + base() +
                         "/onvif/Media</tt:XAddr></tt:Media><tt:Extension>" +
                         (display
                              ? "<tt:DeviceIO><tt:XAddr>" + base() +
                                    "/onvif/DeviceIO</tt:XAddr><tt:VideoSources>0</tt:VideoSources>"
                                    "<tt:VideoOutputs>" +
                                    QByteArray::number(videoOutputs) +
                                    "</tt:VideoOutputs><tt:AudioSources>0</tt:AudioSources><tt:AudioOutputs>"
                                    "0</tt:AudioOutputs><tt:RelayOutputs>0</tt:RelayOutputs></tt:DeviceIO>"
                                    "<tt:Display><tt:XAddr>" +
                                    base() +
                                    "/onvif/Display</tt:XAddr><tt:FixedLayout>false"
                                    "</tt:FixedLayout></tt:Display>"
                              : QByteArray()) +
                         "</tt:Extension></tds:Capabilities></tds:GetCapabilitiesResponse>"));
        }
        if (op == QLatin1String("GetEndpointReference"))
            return FakePeer::reply(200, recorded("<tds:GetEndpointReferenceResponse><tds:GUID>" +
                                                 endpoint.toUtf8() +
                                                 "</tds:GUID></tds:GetEndpointReferenceResponse>"));
        if (op == QLatin1String("GetDeviceInformation"))
            return FakePeer::reply(
                200,
                recorded(
                    "<tds:GetDeviceInformationResponse><tds:Manufacturer>Example Optics</tds:Manufacturer>"
                    "<tds:Model>EX-CAM-200</tds:Model><tds:FirmwareVersion>" +
                    firmware.toUtf8() + "</tds:FirmwareVersion><tds:SerialNumber>" + serial.toUtf8() +
                    "</tds:SerialNumber><tds:HardwareId>88</tds:HardwareId>"
                    "</tds:GetDeviceInformationResponse>"));
        if (op == QLatin1String("GetUsers"))
            return FakePeer::reply(
                200, recorded("<tds:GetUsersResponse>" +
                              (noUsers ? QByteArray()
                                       : "<tds:User><tt:Username>admin</tt:Username><tt:UserLevel>"
                                         "Administrator</tt:UserLevel></tds:User>") +
                              "</tds:GetUsersResponse>"));
        if (op == QLatin1String("GetNetworkInterfaces"))
            return FakePeer::reply(200, recorded("<tds:GetNetworkInterfacesResponse>" + interfaces +
                                                 "</tds:GetNetworkInterfacesResponse>"));
        if (op == QLatin1String("GetDNS"))
            return FakePeer::reply(200, recorded("<tds:GetDNSResponse>" + dns + "</tds:GetDNSResponse>"));
        if (op == QLatin1String("GetNetworkDefaultGateway"))
            return FakePeer::reply(200, recorded("<tds:GetNetworkDefaultGatewayResponse>" + gatewayReply +
                                                 "</tds:GetNetworkDefaultGatewayResponse>"));
        if (op == QLatin1String("GetLayout"))
            return FakePeer::reply(200, recorded("<tls:GetLayoutResponse><tls:Layout>" + paneLayouts +
                                                 "</tls:Layout></tls:GetLayoutResponse>"));
        if (op == QLatin1String("SetLayout")) {
            S::Message message;
            QString error;
            S::parse(r.body, &message, &error);
            paneLayouts.clear();
            for (const XmlNode* p : message.payload.child(Ns::Display, QStringLiteral("Layout"))
                                        .all(Ns::Schema, QStringLiteral("PaneLayout"))) {
                const XmlNode& area = p->child(Ns::Schema, QStringLiteral("Area"));
                paneLayouts += "<tt:PaneLayout><tt:Pane>" +
                               p->childText(Ns::Schema, QStringLiteral("Pane")).toUtf8() +
                               "</tt:Pane><tt:Area bottom=\"" + area.attributes.value("bottom").toUtf8() +
                               "\" top=\"" + area.attributes.value("top").toUtf8() + "\" right=\"" +
                               area.attributes.value("right").toUtf8() + "\" left=\"" +
                               area.attributes.value("left").toUtf8() + "\"/></tt:PaneLayout>";
            }
            return FakePeer::reply(200, recorded("<tls:SetLayoutResponse/>"));
        }
        if (op == QLatin1String("GetPaneConfiguration"))
            return FakePeer::reply(
                200, recorded("<tls:GetPaneConfigurationResponse><tls:PaneConfiguration><tt:PaneName>window</"
                              "tt:PaneName>"
                              "<tt:Token>" +
                              lastPane() +
                              "</tt:Token></tls:PaneConfiguration></tls:GetPaneConfigurationResponse>"));
        if (op == QLatin1String("CreateReceiver"))
            return FakePeer::reply(
                200,
                recorded("<trv:CreateReceiverResponse><trv:Receiver><tt:Token>Receiver-9</tt:Token>"
                         "<tt:Configuration><tt:Mode>AlwaysConnect</tt:Mode><tt:MediaUri>rtsp://127.0.0.1/x"
                         "</tt:MediaUri><tt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream><tt:Transport>"
                         "<tt:Protocol>RTSP</tt:Protocol></tt:Transport></tt:StreamSetup></tt:Configuration>"
                         "</trv:Receiver></trv:CreateReceiverResponse>"));
        if (op == QLatin1String("CreatePaneConfiguration") || op == QLatin1String("SetPaneConfiguration"))
            return FakePeer::reply(200, recorded("<tls:" + op.toUtf8() + "Response/>"));
        return FakePeer::reply(400, actionNotSupported());
    }

    QByteArray lastPane() const
    {
        const int at = paneLayouts.lastIndexOf("<tt:Pane>");
        return at < 0 ? QByteArray()
                      : paneLayouts.mid(at + 9, paneLayouts.indexOf("</tt:Pane>", at) - at - 9);
    }

    QByteArray base() const
    {
        return QStringLiteral("%1://%2:%3").arg(scheme).arg(ip).arg(http.port()).toUtf8();
    }

    QByteArray services() const
    {
        const auto service = [this](const QString& ns, const QByteArray& path, const QByteArray& caps) {
            return "<tds:Service><tds:Namespace>" + ns.toUtf8() + "</tds:Namespace><tds:XAddr>" + base() +
                   path + "</tds:XAddr><tds:Capabilities>" + caps +
                   "</tds:Capabilities><tds:Version><tt:Major>2</tt:Major><tt:Minor>40</tt:Minor></"
                   "tds:Version>"
                   "</tds:Service>";
        };
        QByteArray all =
            service(Ns::Device, "/onvif/device_service",
                    "<tds:Capabilities><tds:Network IPFilter=\"true\" ZeroConfiguration=\"false\" "
                    "IPVersion6=\"true\" DynDNS=\"true\"/><tds:Security UsernameToken=\"true\" "
                    "HttpDigest=\"true\"/><tds:System DiscoveryResolve=\"false\" "
                    "SystemLogging=\"true\" FirmwareUpgrade=\"true\"/></tds:Capabilities>");
        all += service(QStringLiteral("http://www.onvif.org/ver10/media/wsdl"), "/onvif/Media",
                       "<trt:Capabilities SnapshotUri=\"true\"/>");
        all += service(Ns::DeviceIo, "/onvif/DeviceIO",
                       "<tmd:Capabilities VideoSources=\"" + QByteArray(display ? "0" : "1") +
                           "\" VideoOutputs=\"" + QByteArray::number(videoOutputs) +
                           "\" AudioSources=\"1\" AudioOutputs=\"0\" "
                           "RelayOutputs=\"1\"/>");
        if (display) {
            all += service(Ns::Display, "/onvif/Display", "<tls:Capabilities FixedLayout=\"false\"/>");
            all += service(Ns::Receiver, "/onvif/Receiver",
                           "<trv:Capabilities RTP_Multicast=\"false\" RTP_TCP=\"true\" RTP_RTSP_TCP=\"true\" "
                           "SupportedReceivers=\"16\" MaximumRTSPURILength=\"256\"/>");
        }
        return "<tds:GetServicesResponse>" + all + "</tds:GetServicesResponse>";
    }

    QByteArray paneLayouts;
};

/** The back end's notices, taken from whichever thread tells them. */
struct Notices
{
    QMutex mutex;
    QStringList texts;
    void wire(OnvifBackend* backend)
    {
        QObject::connect(
            backend, &OnvifBackend::signalNetworkProblem, backend,
            [this](const QString&, const QString& text) {
                QMutexLocker lock(&mutex);
                texts << text;
            },
            Qt::DirectConnection);
    }
    QString joined()
    {
        QMutexLocker lock(&mutex);
        return texts.join(QLatin1Char('\n'));
    }
    int count(const QString& part)
    {
        QMutexLocker lock(&mutex);
        return int(std::count_if(texts.begin(), texts.end(),
                                 [&part](const QString& t) { return t.contains(part); }));
    }
};

MatrixInfo record(const QString& ip, const QString& password = Password)
{
    MatrixInfo info;
    info.ip = ip;
    info.userName = QStringLiteral("admin");
    info.password = password;
    return info;
}

QString text(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

} // namespace

Q_DECLARE_METATYPE(RecordedDevice::Auth)

class TestOnvifClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("config/store.key")));
    }

    void init()
    {
        QVERIFY(runOnServiceThread([] {}));
    }

    // Login as the device's clock and scheme want it. Each row failed before: a device two hours away
    // refused our own time, one that says its time only in its zone was read as UTC, and a device that wants
    // HTTP Digest never got an answer to its challenge.
    void loginFollowsTheDevicesClockAndScheme_data()
    {
        QTest::addColumn<qint64>("skewSecs");
        QTest::addColumn<QString>("zoneOnly");
        QTest::addColumn<RecordedDevice::Auth>("auth");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("errorType");
        const auto token = RecordedDevice::Auth::UsernameToken;
        const auto digest = RecordedDevice::Auth::Digest;
        QTest::newRow("clock two hours ahead") << qint64(2 * 3600) << "" << token << Password << 0 << "";
        QTest::newRow("clock two hours behind") << qint64(-2 * 3600) << "" << token << Password << 0 << "";
        QTest::newRow("local time and a zone only") << qint64(0) << "CST-8" << token << Password << 0 << "";
        QTest::newRow("HTTP Digest") << qint64(0) << "" << digest << Password << 0 << "";
        QTest::newRow("HTTP Digest, clock two hours off")
            << qint64(7200) << "" << digest << Password << 0 << "";
        QTest::newRow("HTTP Digest, wrong password")
            << qint64(0) << "" << digest << "Cam-pass-78" << int(RESULT_WRONG_PASSWORD) << "PASSWDERR";
        QTest::newRow("wrong password, no counters")
            << qint64(0) << "" << token << "Cam-pass-78" << int(RESULT_WRONG_PASSWORD) << "PASSWDERR";
    }
    void loginFollowsTheDevicesClockAndScheme()
    {
        QFETCH(qint64, skewSecs);
        QFETCH(QString, zoneOnly);
        QFETCH(RecordedDevice::Auth, auth);
        QFETCH(QString, password);
        QFETCH(int, result);
        QFETCH(QString, errorType);
        RecordedDevice device;
        device.ip = nextAddress();
        device.clockSkewSecs = skewSecs;
        device.zoneOnly = zoneOnly;
        device.auth = auth;
        QVERIFY(device.start(0));
        Notices notices;
        install(device.http.port(), {}, 0, &notices);
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        ServiceSpy errors(&MatrixSdkWorker::signalConnectErrorMsg);
        worker().connectMatrix(record(device.ip, password), nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 4 * TimeoutMs);
        QCOMPARE(results.first().at(1).toInt(), result);
        QCOMPARE(errors.size(), errorType.isEmpty() ? 0 : 1);
        if (!errorType.isEmpty()) {
            const auto error = errors.first().at(1).value<ConnectErrorMsgInfo>();
            QCOMPARE(error.errorType, errorType);
            // A device that keeps no counters is not shown numbers it never gave.
            QCOMPARE(error.errorCount, -1);
            QCOMPARE(error.lockThreshold, -1);
            return;
        }
        QCOMPARE(device.authorised.first(), QStringLiteral("GetDeviceInformation"));
        // A camera: logged in, version shown, and no video output offered for a wall.
        const CMHandle handle = results.first().at(0).value<CMHandle>();
        QCOMPARE(handle->version(), QStringLiteral("V5.4.1 build 201020"));
        QCOMPARE(handle->matrixType(), int(MATRIX_TYPE_NO_OUTPUT));
        for (const FakePeer::Request& r : device.http.requests())
            QVERIFY2(!r.head.contains(Password.toUtf8()) && !r.body.contains(Password.toUtf8()),
                     r.head.constData());
    }

    // The record of a decoder's network shows the interface the client reaches it at, whatever else the
    // device has, in each shape devices give it.
    void networkReadingTakesTheInterfaceTheClientReaches_data()
    {
        QTest::addColumn<QByteArray>("interfaces");
        QTest::addColumn<QByteArray>("dns");
        QTest::addColumn<QByteArray>("gateway");
        // ipv4, mask, gateway, dns, ipv6/prefix, as the record holds them.
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("notice");
        QTest::newRow("one interface, set by hand")
            << nic("eth0", manualV4("@", 8)) << dnsManual("127.0.0.53") << gateway("127.0.0.1")
            << QStringList{"@", "255.0.0.0", "127.0.0.1", "127.0.0.53", ""} << "";
        QTest::newRow("DHCP: address and name server from it")
            << nic("eth0", dhcpV4("@", 8)) << dnsFromDhcp("127.0.0.54") << gateway("127.0.0.1")
            << QStringList{"@", "255.0.0.0", "127.0.0.1", "127.0.0.54", ""} << "";
        QTest::newRow("two interfaces, reached at the second")
            << nic("eth0", manualV4("10.20.30.40", 16)) +
                   nic("eth1", manualV4("@", 8), v6("2001:db8::64", 64))
            << dnsManual("127.0.0.53") << gateway("127.0.0.1", "2001:db8::1")
            << QStringList{"@", "255.0.0.0", "127.0.0.1", "127.0.0.53", "2001:db8::64/64"} << "";
        QTest::newRow("IPv6 only") << nic("eth0", QByteArray(), v6("2001:db8::65", 48, true))
                                   << QByteArray("<tds:DNSInformation><tt:FromDHCP>false</tt:FromDHCP>"
                                                 "</tds:DNSInformation>")
                                   << gateway(QByteArray(), "2001:db8::1")
                                   << QStringList{"", "", "", "", "2001:db8::65/48"} << "";
        QTest::newRow("no interface at all")
            << QByteArray() << dnsManual("127.0.0.53") << gateway("127.0.0.1")
            << QStringList{"", "", "127.0.0.1", "127.0.0.53", ""} << "reported no network interface";
        QTest::newRow("only a link-local IPv6 address beside IPv4")
            << nic("eth0", manualV4("@", 8), v6(QByteArray(), 64)) << dnsManual("127.0.0.53")
            << gateway("127.0.0.1") << QStringList{"@", "255.0.0.0", "127.0.0.1", "127.0.0.53", ""} << "";
    }
    void networkReadingTakesTheInterfaceTheClientReaches()
    {
        QFETCH(QByteArray, interfaces);
        QFETCH(QByteArray, dns);
        QFETCH(QByteArray, gateway);
        QFETCH(QStringList, expected);
        QFETCH(QString, notice);
        RecordedDevice device;
        device.ip = nextAddress();
        device.interfaces = interfaces.replace("@", device.ip.toLatin1());
        device.dns = dns;
        device.gatewayReply = gateway;
        QVERIFY(device.start(0));
        Notices notices;
        install(device.http.port(), {}, 0, &notices);
        ServiceSpy read(&MatrixSdkWorker::signalGetMatrixNetworkResult);
        // The credentials the page has for the decoder, without a login before.
        worker().getMatrixNetworkInfo(record(device.ip), 3);
        QTRY_COMPARE_WITH_TIMEOUT(read.size(), 1, 4 * TimeoutMs);
        const auto cfg = read.first().at(0).value<DeviceNetworkCfg_t>();
        const QString v6 = text(cfg.ipv6Addr, sizeof cfg.ipv6Addr);
        const QStringList got{
            text(cfg.ipv4Addr, sizeof cfg.ipv4Addr), text(cfg.ipv4Mask, sizeof cfg.ipv4Mask),
            text(cfg.ipv4Gateway, sizeof cfg.ipv4Gateway), text(cfg.dns, sizeof cfg.dns),
            v6.isEmpty() ? QString() : v6 + QLatin1Char('/') + QString::number(cfg.ipv6PrefixLen)};
        expected.replaceInStrings(QStringLiteral("@"), device.ip);
        QCOMPARE(got, expected);
        QVERIFY2(device.refused.isEmpty(), qPrintable(device.refused.join(", ")));
        if (notice.isEmpty())
            QVERIFY2(notices.joined().isEmpty(), qPrintable(notices.joined()));
        else
            QTRY_VERIFY2(notices.joined().contains(notice), qPrintable(notices.joined()));
    }

    // A device that asks for credentials before it tells its network: the session's are sent, else those the
    // page has for it; with none at all the network dialog still opens on the address.
    void networkReadingSendsTheCredentialsTheServiceHas_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("recordPassword");
        QTest::addColumn<bool>("complete");
        QTest::newRow("over the session") << true << "" << true;
        QTest::newRow("with the page's record") << false << Password << true;
        QTest::newRow("nobody logged in yet") << false << "" << false;
    }
    void networkReadingSendsTheCredentialsTheServiceHas()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QString, recordPassword);
        QFETCH(bool, complete);
        RecordedDevice device;
        device.ip = nextAddress();
        device.clockSkewSecs = 7200;
        device.interfaces = nic("eth0", manualV4(device.ip.toLatin1(), 8));
        QVERIFY(device.start(0));
        Notices notices;
        install(device.http.port(), {}, 0, &notices);
        if (loggedIn) {
            ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
            worker().connectMatrix(record(device.ip), nullptr);
            QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 4 * TimeoutMs);
            QCOMPARE(results.first().at(1).toInt(), 0);
        }
        MatrixInfo asked = record(device.ip, recordPassword);
        if (recordPassword.isEmpty())
            asked.userName.clear();
        ServiceSpy read(&MatrixSdkWorker::signalGetMatrixNetworkResult);
        worker().getMatrixNetworkInfo(asked, 3);
        QTRY_COMPARE_WITH_TIMEOUT(read.size(), 1, 4 * TimeoutMs);
        const auto cfg = read.first().at(0).value<DeviceNetworkCfg_t>();
        QCOMPARE(text(cfg.ipv4Addr, sizeof cfg.ipv4Addr), device.ip);
        QCOMPARE(text(cfg.ipv4Mask, sizeof cfg.ipv4Mask), complete ? QStringLiteral("255.0.0.0") : QString());
        QCOMPARE(device.authorised.contains(QStringLiteral("GetNetworkInterfaces")), complete);
        QCOMPARE(notices.count(QStringLiteral("only after a login")), complete ? 0 : 1);
    }

    // Search lists every device that answers, each described by what it says itself; what cannot be held
    // is not listed. Before, a device without our own scopes was dropped and the list stayed empty.
    void searchListsEveryDeviceThatAnswers_data()
    {
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<bool>("firstVersion");
        QTest::addColumn<bool>("tellsAnyone");
        QTest::addColumn<bool>("noUsers");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("deviceId");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("activated");
        const QString fromEndpoint = QStringLiteral("6a1e7c2c8f5b4d0e9a3b0c1d2e3f4a5");
        const QString serial = QStringLiteral("EXC2000012345");
        const QString firmware = QStringLiteral("V5.4.1 build 201020");
        QTest::newRow("camera, ONVIF's scopes only")
            << false << 0 << false << false << false << true << int(MATRIX_TYPE_NO_OUTPUT) << 0
            << fromEndpoint << "" << true;
        QTest::newRow("camera that tells anyone who it is")
            << false << 0 << false << true << false << true << int(MATRIX_TYPE_NO_OUTPUT) << 0 << serial
            << firmware << true;
        QTest::newRow("display with two outputs")
            << true << 2 << false << false << false << true << int(MATRIX_TYPE_MULTI_OUTPUT) << 2
            << fromEndpoint << "" << true;
        QTest::newRow("display with one output")
            << true << 1 << false << false << false << true << int(MATRIX_TYPE_SINGLE_OUTPUT) << 1
            << fromEndpoint << "" << true;
        QTest::newRow("display in its factory state")
            << true << 4 << false << true << true << true << int(MATRIX_TYPE_MULTI_OUTPUT) << 4 << serial
            << firmware << false;
        QTest::newRow("display of ONVIF's first versions")
            << true << 2 << true << false << false << true << int(MATRIX_TYPE_MULTI_OUTPUT) << 2
            << fromEndpoint << "" << true;
        QTest::newRow("5,000 outputs") << true << 5000 << false << false << false << false << 0 << 0 << ""
                                       << "" << true;
    }
    void searchListsEveryDeviceThatAnswers()
    {
        QFETCH(bool, display);
        QFETCH(int, outputs);
        QFETCH(bool, firstVersion);
        QFETCH(bool, tellsAnyone);
        QFETCH(bool, noUsers);
        QFETCH(bool, listed);
        QFETCH(int, type);
        QFETCH(int, channels);
        QFETCH(QString, deviceId);
        QFETCH(QString, version);
        QFETCH(bool, activated);
        RecordedDevice device;
        device.ip = nextAddress();
        device.display = display;
        device.videoOutputs = outputs;
        device.firstVersion = firstVersion;
        device.informationForAnyone = tellsAnyone;
        device.noUsers = noUsers;
        if (display) {
            device.scopes[0] = QStringLiteral("onvif://www.onvif.org/type/video_decoder");
            device.types = "dn:NetworkVideoDisplay tds:Device";
        }
        QVERIFY(device.start(0));
        Notices notices;
        install(device.http.port(), {device.ip}, device.discovery.port(), &notices);
        ServiceSpy found(&MatrixSdkWorker::signalSearchMatrixResult);
        worker().searchMatrix();
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, 4 * TimeoutMs);
        const MatrixInfoMap map = found.first().first().value<MatrixInfoMap>();
        QCOMPARE(map.contains(device.ip), listed);
        // Nothing but what anyone may ask was asked.
        QVERIFY2(device.authorised.isEmpty(), qPrintable(device.authorised.join(", ")));
        if (!listed) {
            QTRY_VERIFY2(notices.joined().contains("5000 video outputs"), qPrintable(notices.joined()));
            return;
        }
        const MatrixInfo info = map.value(device.ip);
        QCOMPARE(int(info.matrixType), type);
        QCOMPARE(info.channelCount, channels);
        QCOMPARE(info.outputList.size(), type == MATRIX_TYPE_NO_OUTPUT ? 0 : channels);
        QCOMPARE(info.deviceId, deviceId);
        QCOMPARE(info.version, version);
        QCOMPARE(info.activated, activated);
    }

    // A device without our extension: every wall operation is refused at once with a code of its own, the
    // operator is told once that it does not support TV walls, and what ONVIF has goes on working.
    void wallOperationsAreRefusedAtOnceWithoutOurExtension()
    {
        RecordedDevice device;
        device.ip = nextAddress();
        device.display = true;
        device.videoOutputs = 2;
        QVERIFY(device.start(0));
        Notices notices;
        install(device.http.port(), {}, 0, &notices);
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(record(device.ip), nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 4 * TimeoutMs);
        QCOMPARE(results.first().at(1).toInt(), 0);
        const CMHandle handle = worker().getHandleByIp(device.ip);
        QVERIFY(handle);
        QCOMPARE(handle->matrixType(), int(MATRIX_TYPE_MULTI_OUTPUT));
        const int asked = device.http.requests().size();

        ServiceSpy layouts(&MatrixSdkWorker::signalSetLayoutResult);
        ServiceSpy checks(&MatrixSdkWorker::signalCheckScreenResult);
        ServiceSpy colours(&MatrixSdkWorker::signalMatrixSetScreenColorResult);
        ServiceSpy walls(&MatrixSdkWorker::signalGetLayoutInfoResult);
        QElapsedTimer clock;
        clock.start();
        MatrixInfo screen = record(device.ip);
        screen.channel = 1;
        screen.row = 0;
        screen.column = 0;
        worker().setLayout(device.ip, 3, 1, 1, MatrixInfoList{screen}, QStringLiteral("Lobby"));
        worker().checkScreen(handle, 1, true);
        worker().setMatrixScreenColor(handle, 1, 1, ScreenColor());
        worker().getLayout(handle, nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(walls.size(), 1, 4 * TimeoutMs);
        // Refused here, not after a timeout: nothing went to the device.
        QVERIFY2(clock.elapsed() < TimeoutMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(device.http.requests().size(), asked);
        QCOMPARE(layouts.first().first().toInt(), int(RESULT_UNSUPPORTED));
        QCOMPARE(checks.first().first().toInt(), int(RESULT_UNSUPPORTED));
        QCOMPARE(colours.first().first().toInt(), int(RESULT_UNSUPPORTED));
        QVERIFY(walls.first().first().toString().isEmpty());
        QCOMPARE(notices.count(QStringLiteral("does not support TV walls")), 1);

        // A window goes to the display service as a pane, and its video to a receiver.
        MatrixWindowInfo window;
        window.width = 16384;
        window.height = 32768;
        WindowSourceInfo source;
        source.sourceSlot = 3;
        source.sourceName = QStringLiteral("camera 3");
        window.sourceList.append(source);
        worker().addWindowInfo(handle, window);
        worker().setWindowSignalSource(handle, window, -1, true);
        QVERIFY(runOnServiceThread([] {}));
        QStringList ops = device.http.operations().mid(asked);
        QCOMPARE(ops, (QStringList{"GetLayout", "CreatePaneConfiguration", "SetLayout", "GetLayout",
                                   "GetPaneConfiguration", "CreateReceiver", "SetPaneConfiguration"}));
        const QByteArray pane = device.http.requests().last().body;
        QVERIFY2(pane.contains("Pane-1") && pane.contains("Receiver-9"), pane.constData());
    }

    // HTTPS XAddrs are followed; the key the device shows is pinned on first use, bound to its id, and a
    // device that shows another key later is refused before any credentials go to it.
    void tlsKeyIsPinnedOnFirstUseAndAChangeRefused()
    {
        QVERIFY2(QSslSocket::supportsSsl(), "Qt has no TLS here: the device cannot be served");
        const QString first = makeCertificate(QStringLiteral("first"));
        const QString second = makeCertificate(QStringLiteral("second"));
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        const QString ip = nextAddress();
        const QString pins = dir.filePath(QStringLiteral("config/device-keys.json"));
        QFile::remove(pins);

        const auto loginOver = [&](const QString& certificate, QStringList* operations, QString* told) {
            RecordedDevice device;
            device.ip = ip;
            device.scheme = QStringLiteral("https");
            device.display = true;
            device.videoOutputs = 1;
            if (!device.http.useTls(readFile(certificate + ".pem"), readFile(certificate + ".key")) ||
                !device.start(0))
                return -100;
            Notices notices;
            install(device.http.port(), {ip}, device.discovery.port(), &notices);
            ServiceSpy found(&MatrixSdkWorker::signalSearchMatrixResult);
            worker().searchMatrix();
            if (!QTest::qWaitFor([&found] { return found.size() == 1; }, 4 * TimeoutMs))
                return -101;
            ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
            worker().connectMatrix(record(ip), nullptr);
            if (!QTest::qWaitFor([&results] { return results.size() == 1; }, 4 * TimeoutMs))
                return -102;
            *operations = device.http.operations();
            *told = notices.joined();
            return results.first().at(1).toInt();
        };
        QStringList operations;
        QString told;
        QCOMPARE(loginOver(first, &operations, &told), 0);
        QVERIFY(operations.contains(QStringLiteral("GetDeviceInformation")));
        const QJsonObject pinned =
            QJsonDocument::fromJson(readFile(pins)).object().value("devices").toObject();
        QVERIFY2(pinned.value(QStringLiteral("EXC2000012345"))
                     .toObject()
                     .value("key")
                     .toString()
                     .startsWith("sha256//"),
                 readFile(pins).constData());
        // The same key again: trusted.
        QCOMPARE(loginOver(first, &operations, &told), 0);
        // Another key at the same address for the same device: refused, and told, before the credentials.
        QCOMPARE(loginOver(second, &operations, &told), int(OnvifBackend::ResultNotTrusted));
        QVERIFY2(!operations.contains(QStringLiteral("GetDeviceInformation")),
                 qPrintable(operations.join(", ")));
        QVERIFY2(told.contains(QStringLiteral("showed another TLS key")) && told.contains(pins),
                 qPrintable(told));
    }

private:
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
        options.linkCheckMs = 0;
        auto backend = std::make_unique<OnvifBackend>(options);
        OnvifBackend* raw = backend.get();
        notices->wire(raw);
        worker().setBackend(std::move(backend));
        return raw;
    }

    /** A key and a self-signed certificate made now by the openssl tool; the base path of both. */
    QString makeCertificate(const QString& name)
    {
        const QString base = dir.filePath(name);
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                       "-keyout", base + ".key", "-out", base + ".pem", "-days", "2", "-subj",
                       "/CN=decoder.example"});
        if (!openssl.waitForFinished(10000) || openssl.exitCode() != 0)
            return QString();
        return base;
    }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    int nextHost = 131;
};

QTEST_MAIN(TestOnvifClient)
#include "tst_onvifclient.moc"
