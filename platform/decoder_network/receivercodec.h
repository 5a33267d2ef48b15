#pragma once

#include "decoder_network_global.h"
#include "matrixrecords.h"
#include "xmlnode.h"

#include <QCoreApplication>
#include <QXmlStreamWriter>

namespace pral_matrix {

/**
 * @brief The Receiver service's records (trv:, tt:Receiver,
 * tt:ReceiverConfiguration, tt:ReceiverStateInformation) as both ends write
 * and read them: the shared wire format of the daemon's receiver service and
 * of the client that feeds a decoder's windows through it.
 *
 * A receiver is what a pane shows (DisplayCodec). Its MediaUri names the
 * stream; the window sources of ours it stands for ride in the
 * configuration's extension slot as tvw:Source elements (the attributes of
 * OnvifCodec::writeWindow's sources), so a decoder of ours shows exactly what
 * the extension's SetWindowSource would. A receiver without them, from any
 * ONVIF client, is one video source named by its MediaUri. A test picture
 * uploaded with UploadPicture is named "picture:NAME", as in the extension.
 */
class DECODER_NETWORK_EXPORT ReceiverCodec
{
    Q_DECLARE_TR_FUNCTIONS(ReceiverCodec)

public:
    /** Receivers one decoder keeps: one for each of the most panes it shows. */
    static constexpr int MaxReceivers = 128;
    /** ONVIF's smallest allowed maximum of an RTSP URI is 128 octets; ours takes longer ones. */
    static constexpr int MaxMediaUriLength = 1024;
    /** Sources of one window, as the extension's window record allows. */
    static constexpr int MaxSources = 16;

    struct Configuration
    {
        /** AutoConnect, AlwaysConnect, NeverConnect or Unknown. */
        QString mode = QStringLiteral("AlwaysConnect");
        QString mediaUri;
        /** RTP-Unicast or RTP-Multicast. */
        QString stream = QStringLiteral("RTP-Unicast");
        /** UDP, TCP, RTSP or HTTP. */
        QString protocol = QStringLiteral("RTSP");
        /** The window sources of ours the receiver stands for; empty from a standard client. */
        QList<WindowSourceInfo> sources;
    };

    struct Receiver
    {
        QString token;
        Configuration configuration;
    };

    static bool isMode(const QString& mode);
    /** UDP, TCP, RTSP or HTTP: what a receiver's stream may come over. */
    static bool isProtocol(const QString& protocol);
    /** The MediaUri that names a window source: its picture, or its stream; never longer than
     * MaxMediaUriLength. */
    static QString mediaUri(const WindowSourceInfo& source);
    /** What the decoder shows for a configuration: its sources, or one video source named by the MediaUri. */
    static QList<WindowSourceInfo> sources(const Configuration& configuration);

    /** tt:ReceiverConfiguration as the element ns:name. */
    static void writeConfiguration(QXmlStreamWriter& w, const QString& ns, const QString& name,
                                   const Configuration& configuration);
    /** false and *why for a mode, stream or transport ONVIF does not know, a MediaUri missing or too long,
     * or more than MaxSources sources. */
    static bool readConfiguration(const XmlNode& node, Configuration* configuration, QString* why);
    /** tt:Receiver as the element ns:name. */
    static void writeReceiver(QXmlStreamWriter& w, const QString& ns, const QString& name,
                              const Receiver& receiver);
    static bool readReceiver(const XmlNode& node, Receiver* receiver, QString* why);
    /** tt:ReceiverStateInformation as trv:ReceiverState; state is NotConnected, Connecting, Connected or
     * Unknown.
     */
    static void writeState(QXmlStreamWriter& w, const QString& state, bool autoCreated);
    static QString readState(const XmlNode& response);

    /** trv:Capabilities of the receiver service. */
    static void writeServiceCapabilities(QXmlStreamWriter& w, int supportedReceivers);
};

} // namespace pral_matrix
