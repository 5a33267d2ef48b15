#include "receivercodec.h"

#include "onvifnamespaces.h"
#include "soapenvelope.h"

#include <QUrl>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;

constexpr int PictureSource = 7;
const QString PictureScheme = QStringLiteral("picture:");

struct SourceInt
{
    const char* name;
    int32_t WindowSourceInfo::*member;
};
struct SourceText
{
    const char* name;
    QString WindowSourceInfo::*member;
};

// The same attributes as a source of the extension's window record.
const SourceInt SourceInts[] = {
    {"Slot", &WindowSourceInfo::sourceSlot},         {"Param2", &WindowSourceInfo::sourceParam2},
    {"Param3", &WindowSourceInfo::sourceParam3},     {"Kind", &WindowSourceInfo::sourceKind},
    {"Param7", &WindowSourceInfo::sourceParam7},     {"Param8", &WindowSourceInfo::sourceParam8},
    {"Param9", &WindowSourceInfo::sourceParam9},     {"Param12", &WindowSourceInfo::sourceParam12},
    {"PictureMode", &WindowSourceInfo::pictureMode}, {"Param17", &WindowSourceInfo::sourceParam17},
};
const SourceText SourceTexts[] = {
    {"Name", &WindowSourceInfo::sourceName},         {"Text6", &WindowSourceInfo::sourceText6},
    {"PictureName", &WindowSourceInfo::pictureName}, {"Text11", &WindowSourceInfo::sourceText11},
    {"PicturePath", &WindowSourceInfo::picturePath}, {"Text14", &WindowSourceInfo::sourceText14},
    {"Text15", &WindowSourceInfo::sourceText15},     {"Text18", &WindowSourceInfo::sourceText18},
    {"Text19", &WindowSourceInfo::sourceText19},
};

} // namespace

bool ReceiverCodec::isMode(const QString& mode)
{
    return mode == QLatin1String("AutoConnect") || mode == QLatin1String("AlwaysConnect") ||
           mode == QLatin1String("NeverConnect") || mode == QLatin1String("Unknown");
}

bool ReceiverCodec::isProtocol(const QString& protocol)
{
    return protocol == QLatin1String("UDP") || protocol == QLatin1String("TCP") ||
           protocol == QLatin1String("RTSP") || protocol == QLatin1String("HTTP");
}

QString ReceiverCodec::mediaUri(const WindowSourceInfo& source)
{
    // Uploaded pictures have names of at most 128 characters; whatever a window record says, the address
    // stays within what a receiver takes.
    if (source.sourceKind == PictureSource && !source.picturePath.isEmpty())
        return (source.picturePath.startsWith(PictureScheme) ? source.picturePath
                                                             : PictureScheme + source.pictureName)
            .left(MaxMediaUriLength);
    // The name is a label for standard clients: a stream whose name would not fit goes without it.
    const QString stream = QStringLiteral("rtsp://source/%1").arg(source.sourceSlot);
    const QString named =
        stream + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(source.sourceName));
    return named.size() <= MaxMediaUriLength ? named : stream;
}

QList<WindowSourceInfo> ReceiverCodec::sources(const Configuration& configuration)
{
    if (!configuration.sources.isEmpty())
        return configuration.sources;
    WindowSourceInfo video;
    video.sourceSlot = 0;
    video.sourceName = configuration.mediaUri;
    return {video};
}

void ReceiverCodec::writeConfiguration(QXmlStreamWriter& w, const QString& ns, const QString& name,
                                       const Configuration& c)
{
    w.writeStartElement(ns, name);
    S::writeText(w, Ns::Schema, QStringLiteral("Mode"), c.mode);
    S::writeText(w, Ns::Schema, QStringLiteral("MediaUri"), c.mediaUri);
    w.writeStartElement(Ns::Schema, QStringLiteral("StreamSetup"));
    S::writeText(w, Ns::Schema, QStringLiteral("Stream"), c.stream);
    w.writeStartElement(Ns::Schema, QStringLiteral("Transport"));
    S::writeText(w, Ns::Schema, QStringLiteral("Protocol"), c.protocol);
    w.writeEndElement();
    w.writeEndElement();
    for (const WindowSourceInfo& source : c.sources) {
        w.writeStartElement(Ns::Wall, QStringLiteral("Source"));
        for (const SourceInt& f : SourceInts)
            w.writeAttribute(QLatin1String(f.name), QString::number(source.*f.member));
        for (const SourceText& f : SourceTexts)
            w.writeAttribute(QLatin1String(f.name), source.*f.member);
        w.writeEndElement();
    }
    w.writeEndElement();
}

bool ReceiverCodec::readConfiguration(const XmlNode& node, Configuration* c, QString* why)
{
    *c = Configuration();
    c->mode = node.childText(Ns::Schema, QStringLiteral("Mode")).trimmed();
    c->mediaUri = node.childText(Ns::Schema, QStringLiteral("MediaUri")).trimmed();
    const XmlNode& setup = node.child(Ns::Schema, QStringLiteral("StreamSetup"));
    c->stream = setup.childText(Ns::Schema, QStringLiteral("Stream")).trimmed();
    c->protocol = setup.child(Ns::Schema, QStringLiteral("Transport"))
                      .childText(Ns::Schema, QStringLiteral("Protocol"))
                      .trimmed();
    const QVector<const XmlNode*> sources = node.all(Ns::Wall, QStringLiteral("Source"));
    if (node.isNull()) {
        *why = tr("no receiver configuration");
        return false;
    }
    if (!isMode(c->mode)) {
        *why = tr("the receiver mode \"%1\"").arg(c->mode.left(40));
        return false;
    }
    if (c->mediaUri.isEmpty() || c->mediaUri.size() > MaxMediaUriLength) {
        *why =
            tr("a media address of %1 characters (1 to %2)").arg(c->mediaUri.size()).arg(MaxMediaUriLength);
        return false;
    }
    if (c->stream != QLatin1String("RTP-Unicast") && c->stream != QLatin1String("RTP-Multicast")) {
        *why = tr("the stream type \"%1\"").arg(c->stream.left(40));
        return false;
    }
    if (!isProtocol(c->protocol)) {
        *why = tr("the transport protocol \"%1\"").arg(c->protocol.left(40));
        return false;
    }
    if (sources.size() > MaxSources) {
        *why = tr("%1 sources (at most %2)").arg(sources.size()).arg(MaxSources);
        return false;
    }
    for (const XmlNode* s : sources) {
        WindowSourceInfo source;
        for (const SourceInt& f : SourceInts)
            source.*f.member = s->attributeInt(QLatin1String(f.name), source.*f.member);
        for (const SourceText& f : SourceTexts)
            source.*f.member = s->attributes.value(QLatin1String(f.name));
        c->sources.append(source);
    }
    return true;
}

void ReceiverCodec::writeReceiver(QXmlStreamWriter& w, const QString& ns, const QString& name,
                                  const Receiver& r)
{
    w.writeStartElement(ns, name);
    S::writeText(w, Ns::Schema, QStringLiteral("Token"), r.token);
    writeConfiguration(w, Ns::Schema, QStringLiteral("Configuration"), r.configuration);
    w.writeEndElement();
}

bool ReceiverCodec::readReceiver(const XmlNode& node, Receiver* receiver, QString* why)
{
    receiver->token = node.childText(Ns::Schema, QStringLiteral("Token")).trimmed();
    if (receiver->token.isEmpty()) {
        *why = tr("a receiver without a token");
        return false;
    }
    return readConfiguration(node.child(Ns::Schema, QStringLiteral("Configuration")),
                             &receiver->configuration, why);
}

void ReceiverCodec::writeState(QXmlStreamWriter& w, const QString& state, bool autoCreated)
{
    w.writeStartElement(Ns::Receiver, QStringLiteral("ReceiverState"));
    S::writeText(w, Ns::Schema, QStringLiteral("State"), state);
    S::writeText(w, Ns::Schema, QStringLiteral("AutoCreated"),
                 autoCreated ? QStringLiteral("true") : QStringLiteral("false"));
    w.writeEndElement();
}

QString ReceiverCodec::readState(const XmlNode& response)
{
    return response.child(Ns::Receiver, QStringLiteral("ReceiverState"))
        .childText(Ns::Schema, QStringLiteral("State"));
}

void ReceiverCodec::writeServiceCapabilities(QXmlStreamWriter& w, int supportedReceivers)
{
    w.writeEmptyElement(Ns::Receiver, QStringLiteral("Capabilities"));
    w.writeAttribute(QStringLiteral("RTP_Multicast"), QStringLiteral("false"));
    w.writeAttribute(QStringLiteral("RTP_TCP"), QStringLiteral("true"));
    w.writeAttribute(QStringLiteral("RTP_RTSP_TCP"), QStringLiteral("true"));
    w.writeAttribute(QStringLiteral("SupportedReceivers"), QString::number(supportedReceivers));
    w.writeAttribute(QStringLiteral("MaximumRTSPURILength"), QString::number(MaxMediaUriLength));
}

} // namespace pral_matrix
