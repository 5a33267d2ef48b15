// Fuzz target: what the decoder daemon reads from a peer. The first byte chooses the input's shape:
//   0  raw bytes of an HTTP request, as they come off a connection;
//   1  a SOAP body, sent behind a well-formed head so that the XML is reached;
//   2  a WS-Discovery probe datagram;
//   3  a program that makes a well-formed document near the XML reader's limits (see fuzzcheck::generate).
// The request is fed to the reader in pieces whose sizes come from the input too, and a SOAP body goes on
// through the envelope, the security header and the records the daemon reads out of calls.
//
// Besides crashes, hangs, leaks and undefined behaviour, it fails when the request reader completes a
// request its own limits should have refused, when the XML reader accepts a document beyond its limits, or
// when it refuses a well-formed one within them.

#include "httprequestparser.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"
#include "xmllimits.h"

#include <QCoreApplication>
#include <QDateTime>

using namespace pral_matrix;

namespace {

const char Target[] = "request_fuzzer";
/** The daemon's limit of a SOAP body; small here so that the fuzzer reaches it. */
constexpr qint64 MaxSoapBytes = 64 * 1024;

void fail(const char* what)
{
    fuzzcheck::fail(Target, what);
}

/** Every record the daemon reads out of a call's payload. */
void readCall(const XmlNode& payload)
{
    OnvifCodec::readWall(payload.child(Ns::Wall, QStringLiteral("Wall")));
    ScreenColor color;
    OnvifCodec::readColor(payload.child(Ns::Wall, QStringLiteral("ImagingSettings")), &color);
    const XmlNode& configuration = payload.child(Ns::DeviceIo, QStringLiteral("Configuration"));
    ScreenResolution_t resolution{0, 0, 0};
    OnvifCodec::readResolution(configuration, &resolution);
    int row = 0;
    int column = 0;
    OnvifCodec::readOutputToken(configuration.childText(Ns::Schema, QStringLiteral("OutputToken")), &row,
                                &column);
    OnvifCodec::readWindow(payload.child(Ns::Wall, QStringLiteral("Window")));
    OnvifCodec::maskFromPrefix(payload.childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1));
    if (QByteArray::fromBase64(payload.childText(Ns::Wall, QStringLiteral("Data")).toLatin1()).size() >
        XmlNode::MaxTextBytes)
        fail("a picture larger than the text that carried it");
}

void readSoap(const QByteArray& body)
{
    // The envelope's reader is the XML reader's only caller here: a refusal leaves nothing to check.
    QString error;
    const XmlNode root = XmlNode::parse(body, &error);
    if (root.isNull()) {
        if (error.isEmpty())
            fail("a refused document without a reason");
        return;
    }
    fuzzcheck::acceptedKeepsLimits(Target, body, root);
    SoapEnvelope::Message message;
    if (!SoapEnvelope::parse(body, &message, &error))
        return;
    if (message.payload.isNull())
        fail("an envelope read without its payload");
    const SoapEnvelope::ReceivedToken token = SoapEnvelope::readToken(message.header);
    SoapEnvelope::verify(token, QStringLiteral("Passw0rd!"), QDateTime::currentDateTimeUtc());
    readCall(message.payload);
}

void readRequest(const QByteArray& bytes, const QByteArray& cuts)
{
    HttpRequestParser parser(
        [](const HttpRequestParser& head) {
            return head.path.startsWith("/onvif/") ? HttpRequestParser::Admission{MaxSoapBytes, 0}
                                                   : HttpRequestParser::Admission{0, 404};
        },
        60000);
    HttpRequestParser::State state = HttpRequestParser::NeedMore;
    int at = 0;
    for (int i = 0; at < bytes.size() && state == HttpRequestParser::NeedMore; ++i) {
        const int piece = cuts.isEmpty() ? bytes.size() : 1 + quint8(cuts.at(i % cuts.size())) * 16;
        state = parser.feed(bytes.mid(at, piece));
        at += piece;
    }
    if (state == HttpRequestParser::Failed) {
        if (parser.failureStatus() < 400 || parser.failureStatus() > 599)
            fail("a refusal without an error status");
        return;
    }
    if (state != HttpRequestParser::Complete)
        return;
    if (parser.body.size() != parser.contentLength || parser.body.size() > MaxSoapBytes)
        fail("a body other than announced, or beyond its allowance");
    if (!parser.path.startsWith("/onvif/"))
        fail("a request completed on a path the admission refused");
    if (parser.headers.size() > HttpRequestParser::MaxHeaderLines)
        fail("more header lines than the limit");
    readSoap(parser.body);
}

void readProbe(const QByteArray& datagram)
{
    WsDiscovery::Probe probe;
    QString error;
    if (!WsDiscovery::parseProbe(datagram, &probe, &error))
        return;
    if (datagram.size() > WsDiscovery::MaxDatagramBytes)
        fail("a datagram beyond its limit was read");
    WsDiscovery::answers(probe, WsDiscovery::decoderTypes(),
                         {QStringLiteral("onvif://www.onvif.org/type/x")});
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static int appArgc = 1;
    static char* appArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    new QCoreApplication(appArgc, appArgv);
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The second byte says how many of the following ones give the sizes of the pieces.
    const int cutCount = qMin(int(data[1] % 8), int(size) - 2);
    const QByteArray cuts(reinterpret_cast<const char*>(data) + 2, cutCount);
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 2 + cutCount, int(size) - 2 - cutCount);
    switch (data[0] % 4) {
    case 0:
        readRequest(bytes, cuts);
        break;
    case 1:
        readRequest("POST /onvif/device_service HTTP/1.1\r\nHost: decoder\r\nContent-Length: " +
                        QByteArray::number(bytes.size()) + "\r\n\r\n" + bytes,
                    cuts);
        break;
    case 2:
        readProbe(bytes);
        break;
    default:
        fuzzcheck::limitsHoldExactly(Target,
                                     QByteArray(reinterpret_cast<const char*>(data) + 1, int(size) - 1));
        break;
    }
    return 0;
}
