// Fuzz target: what the decoder daemon reads from a peer. The first byte chooses the input's shape:
//   0  raw bytes of an HTTP request, as they come off a connection;
//   1  a SOAP body, sent behind a well-formed head so that the XML is reached;
//   2  a WS-Discovery probe datagram;
//   3  a program that makes a well-formed document near the XML reader's limits (see fuzzcheck::generate).
// The request is fed to the reader in pieces whose sizes come from the input too; its Authorization header
// goes through the HTTP Digest reader and check, and a SOAP body on through the envelope, the security
// header and the records the daemon reads out of calls, ours and the standard services' (scopes, users,
// layouts, pane configurations, receivers).
//
// Besides crashes, hangs, leaks and undefined behaviour, it fails when the request reader completes a
// request its own limits should have refused, when the XML reader accepts a document beyond its limits, or
// when it refuses a well-formed one within them, when a record reader accepts one beyond its limits or
// refuses without a reason, or when a Digest answer to a nonce the daemon never gave is accepted.

#include "devicecodec.h"
#include "digestauthentication.h"
#include "displaycodec.h"
#include "httprequestparser.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "receivercodec.h"
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

void refusedWithReason(bool read, const QString& why)
{
    if (!read && why.isEmpty())
        fail("a record refused without a reason");
}

/** The standard services' records the daemon reads out of a call, and what an accepted one keeps. */
void readStandardCall(const XmlNode& payload)
{
    QString why;
    QStringList scopes;
    const bool scopesRead = DeviceCodec::readScopeItems(payload, &scopes, &why);
    refusedWithReason(scopesRead, why);
    if (scopesRead && (scopes.isEmpty() || scopes.size() > DeviceCodec::MaxScopes ||
                       !std::all_of(scopes.begin(), scopes.end(), DeviceCodec::isScope)))
        fail("a scope list read beyond its limits");

    why.clear();
    QVector<DeviceCodec::User> users;
    const bool usersRead = DeviceCodec::readUsers(payload, &users, &why);
    refusedWithReason(usersRead, why);
    for (const DeviceCodec::User& u : qAsConst(users)) {
        if (u.name.isEmpty() || u.name.size() > DeviceCodec::MaxUserNameLength ||
            u.password.size() > DeviceCodec::MaxPasswordLength || !DeviceCodec::isUserLevel(u.level))
            fail("a user read beyond the limits");
    }
    if (usersRead && (users.isEmpty() || users.size() > DeviceCodec::MaxUsers))
        fail("a user list read beyond its limits");

    why.clear();
    QVector<DisplayCodec::PaneLayout> panes;
    const bool layoutRead =
        DisplayCodec::readLayout(payload.child(Ns::Display, QStringLiteral("Layout")), &panes, &why);
    refusedWithReason(layoutRead, why);
    if (panes.size() > DisplayCodec::MaxPanes)
        fail("a layout read beyond its limit");
    for (const DisplayCodec::PaneLayout& p : qAsConst(panes)) {
        if (!(p.left >= -1 && p.right <= 1 && p.left < p.right && p.bottom >= -1 && p.top <= 1 &&
              p.bottom < p.top))
            fail("an area read that is off the output");
        MatrixWindowInfo w;
        if (DisplayCodec::readArea(p, &w) && (w.x < 0 || w.y < 0 || w.width <= 0 || w.height <= 0 ||
                                              qint64(w.x) + w.width > DisplayCodec::WallUnits ||
                                              qint64(w.y) + w.height > DisplayCodec::WallUnits))
            fail("a window placed off the wall");
    }

    for (const XmlNode* node : payload.all(Ns::Display, QStringLiteral("PaneConfiguration"))) {
        why.clear();
        DisplayCodec::PaneConfiguration pane;
        const bool read = DisplayCodec::readPaneConfiguration(*node, &pane, &why);
        refusedWithReason(read, why);
        if (read && pane.token.isEmpty())
            fail("a pane configuration read without a token");
    }

    why.clear();
    ReceiverCodec::Configuration c;
    const bool receiverRead = ReceiverCodec::readConfiguration(
        payload.child(Ns::Receiver, QStringLiteral("Configuration")), &c, &why);
    refusedWithReason(receiverRead, why);
    if (!receiverRead)
        return;
    if (!ReceiverCodec::isMode(c.mode) || !ReceiverCodec::isProtocol(c.protocol) || c.mediaUri.isEmpty() ||
        c.mediaUri.size() > ReceiverCodec::MaxMediaUriLength || c.sources.size() > ReceiverCodec::MaxSources)
        fail("a receiver configuration read beyond its limits");
    if (ReceiverCodec::sources(c).isEmpty())
        fail("a receiver that shows nothing");
    for (const WindowSourceInfo& s : qAsConst(c.sources)) {
        if (ReceiverCodec::mediaUri(s).size() > ReceiverCodec::MaxMediaUriLength)
            fail("a source's address beyond what a receiver takes");
    }
}

/** The HTTP Digest credentials of a request, checked as the daemon checks them. */
void readDigest(const QByteArray& method, const QByteArray& header)
{
    static const DigestAuthentication digest;
    const DigestAuthentication::Credentials c = DigestAuthentication::parse(header);
    if (!c.present)
        return;
    for (const QByteArray* field :
         {&c.realm, &c.nonce, &c.uri, &c.response, &c.qop, &c.nc, &c.cnonce, &c.algorithm}) {
        if (field->size() > DigestAuthentication::MaxFieldLength)
            fail("a Digest field read beyond its limit");
    }
    // No input can hold a nonce of this process's key, so nothing proves a password.
    QHash<QByteArray, quint32> counts;
    if (digest.check(c, method, QStringLiteral("Passw0rd!"), &counts, QDateTime::currentMSecsSinceEpoch()) !=
        DigestAuthentication::Check::Unusable)
        fail("a Digest answer to a nonce the daemon never gave was used");
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
    readStandardCall(message.payload);
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
    readDigest(parser.method, parser.headers.value("authorization"));
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
