// Fuzz target: what the client reads from a device. The first byte chooses the input's shape:
//   0  a SOAP reply: the envelope, a fault with its detail, and every record the client reads out of a
//      reply (wall, colour, resolution, window, login refusal, clock, services, addressing; the standard
//      services' scopes, users, capabilities, layout, pane configurations, receivers and their state);
//   1  a WS-Discovery ProbeMatches datagram, and the decoder (ours or any device) each match describes;
//   2  a program that makes a well-formed document near the XML reader's limits (see fuzzcheck::generate).
//
// Besides crashes, hangs, leaks and undefined behaviour, it fails when the XML reader accepts a document
// beyond its limits or refuses a well-formed one within them, a fault is read from something else, or a
// standard record is read beyond its limits or refused without a reason.

#include "devicecodec.h"
#include "displaycodec.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "receivercodec.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"
#include "xmllimits.h"

#include <QCoreApplication>

using namespace pral_matrix;

namespace {

const char Target[] = "reply_fuzzer";

void fail(const char* what)
{
    fuzzcheck::fail(Target, what);
}

/** Every record the client reads out of a reply's payload. */
void readReply(const XmlNode& payload)
{
    OnvifCodec::readWall(payload.child(Ns::Wall, QStringLiteral("Wall")));
    ScreenColor color;
    OnvifCodec::readColor(payload.child(Ns::Wall, QStringLiteral("ImagingSettings")), &color);
    ScreenResolution_t resolution{0, 0, 0};
    OnvifCodec::readResolution(payload.child(Ns::DeviceIo, QStringLiteral("VideoOutputConfiguration")),
                               &resolution);
    OnvifCodec::readWindow(payload.child(Ns::Wall, QStringLiteral("Window")));
    const XmlNode& utc = payload.child(Ns::Device, QStringLiteral("SystemDateAndTime"))
                             .child(Ns::Schema, QStringLiteral("UTCDateTime"));
    utc.child(Ns::Schema, QStringLiteral("Date")).childInt(Ns::Schema, QStringLiteral("Year"), 0);
    for (const XmlNode* service : payload.all(Ns::Device, QStringLiteral("Service"))) {
        const XmlNode& caps = service->child(Ns::Device, QStringLiteral("Capabilities"))
                                  .child(Ns::Wall, QStringLiteral("Capabilities"));
        caps.attributeInt(QStringLiteral("Channels"), 0);
        service->childText(Ns::Device, QStringLiteral("XAddr"));
    }
    const XmlNode& nic = payload.child(Ns::Device, QStringLiteral("NetworkInterfaces"));
    OnvifCodec::maskFromPrefix(nic.child(Ns::Schema, QStringLiteral("IPv4"))
                                   .child(Ns::Schema, QStringLiteral("Config"))
                                   .child(Ns::Schema, QStringLiteral("Manual"))
                                   .childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1));
}

/** What the client reads of a standard device's replies, and what an accepted record keeps. */
void readStandardReply(const XmlNode& payload)
{
    const QVector<DeviceCodec::Scope> scopes = DeviceCodec::readScopes(payload);
    if (scopes.size() > DeviceCodec::MaxScopes)
        fail("more scopes read than a device keeps");
    QStringList items;
    for (const DeviceCodec::Scope& scope : scopes) {
        if (!DeviceCodec::isScope(scope.item))
            fail("a scope read that is none");
        items << scope.item;
    }
    DeviceCodec::readIdentity(items);
    DeviceCodec::readCapabilities(payload);
    QString why;
    QVector<DeviceCodec::User> users;
    if (!DeviceCodec::readUsers(payload, &users, &why) && why.isEmpty())
        fail("a user list refused without a reason");

    why.clear();
    QVector<DisplayCodec::PaneLayout> panes;
    if (!DisplayCodec::readLayout(payload.child(Ns::Display, QStringLiteral("Layout")), &panes, &why) &&
        why.isEmpty())
        fail("a layout refused without a reason");
    for (const DisplayCodec::PaneLayout& p : qAsConst(panes)) {
        MatrixWindowInfo w;
        if (DisplayCodec::readArea(p, &w) && (w.width <= 0 || w.height <= 0))
            fail("an empty window read from a layout");
    }
    for (const XmlNode* node : payload.all(Ns::Display, QStringLiteral("PaneConfiguration"))) {
        DisplayCodec::PaneConfiguration pane;
        if (DisplayCodec::readPaneConfiguration(*node, &pane, &why) && pane.token.isEmpty())
            fail("a pane configuration read without a token");
    }

    QVector<const XmlNode*> receivers = payload.all(Ns::Receiver, QStringLiteral("Receivers"));
    receivers << &payload.child(Ns::Receiver, QStringLiteral("Receiver"));
    for (const XmlNode* node : qAsConst(receivers)) {
        ReceiverCodec::Receiver r;
        why.clear();
        const bool read = ReceiverCodec::readReceiver(*node, &r, &why);
        if (!read && why.isEmpty())
            fail("a receiver refused without a reason");
        if (read && (r.token.isEmpty() || r.configuration.sources.size() > ReceiverCodec::MaxSources ||
                     r.configuration.mediaUri.size() > ReceiverCodec::MaxMediaUriLength))
            fail("a receiver read beyond its limits");
    }
    ReceiverCodec::readState(payload);
}

void readSoap(const QByteArray& xml)
{
    QString error;
    const XmlNode root = XmlNode::parse(xml, &error);
    if (root.isNull()) {
        if (error.isEmpty())
            fail("a refused document without a reason");
        return;
    }
    fuzzcheck::acceptedKeepsLimits(Target, xml, root);
    SoapEnvelope::Message message;
    if (!SoapEnvelope::parse(xml, &message, &error))
        return;
    if (message.isFault) {
        ConnectErrorMsgInfo refusal;
        OnvifCodec::readLoginRefusal(message.fault.detail, &refusal);
        if (!message.payload.is(Ns::Soap, QStringLiteral("Fault")))
            fail("a fault read from something else");
    }
    readReply(message.payload);
    readStandardReply(message.payload);
}

void readMatches(const QByteArray& datagram)
{
    QString relatesTo;
    QVector<WsDiscovery::Match> matches;
    QString error;
    if (!WsDiscovery::parseProbeMatches(datagram, &relatesTo, &matches, &error))
        return;
    if (datagram.size() > WsDiscovery::MaxDatagramBytes)
        fail("a datagram beyond its limit was read");
    for (const WsDiscovery::Match& m : qAsConst(matches)) {
        MatrixInfo info;
        OnvifCodec::readDecoderScopes(m.scopes, &info);
        DeviceCodec::readIdentity(m.scopes);
    }
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
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    switch (data[0] % 3) {
    case 0:
        readSoap(bytes);
        break;
    case 1:
        readMatches(bytes);
        break;
    default:
        fuzzcheck::limitsHoldExactly(Target, bytes);
        break;
    }
    return 0;
}
