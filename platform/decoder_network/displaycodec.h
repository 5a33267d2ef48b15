#pragma once

#include "decoder_network_global.h"
#include "matrixrecords.h"
#include "xmlnode.h"

#include <QCoreApplication>
#include <QVector>
#include <QXmlStreamWriter>

namespace pral_matrix {

/**
 * @brief The Display service's records (tls:, tt:Layout, tt:PaneLayout,
 * tt:PaneConfiguration) as both ends write and read them, and how a
 * decoder's windows map onto them. This is the shared wire format of the
 * daemon's display service and of the client that drives it.
 *
 * A decoder's windows are the panes of its video output "VO-0-0" (the decoder
 * as a whole, see OnvifCodec::outputToken). The window at position N (from 1)
 * is the pane "Pane-N"; its place on the wall, in the wall's 32768 units with
 * (0, 0) at the top left, is the pane's Area in ONVIF's normalised
 * coordinates (-1 to 1 each way, top = 1). A pane configuration names the
 * receiver that feeds it (ReceiverCodec) and may carry, in its extension slot,
 * the whole window record of ours (tvw:Window, OnvifCodec::writeWindow), which
 * a decoder of ours reads for what ONVIF has no field for (the window's grid).
 */
class DECODER_NETWORK_EXPORT DisplayCodec
{
    Q_DECLARE_TR_FUNCTIONS(DisplayCodec)

public:
    /** Panes on one output: a wall of 10 x 10 screens with a window each, and a few on top. */
    static constexpr int MaxPanes = 128;
    /** The wall's width and height in window units. */
    static constexpr int WallUnits = 32768;

    struct PaneLayout
    {
        QString pane;
        /** ONVIF's normalised coordinates of the pane's area: -1 to 1, top above bottom. */
        double left = -1;
        double top = 1;
        double right = 1;
        double bottom = -1;
    };

    struct PaneConfiguration
    {
        QString token;
        QString name;
        /** Empty: nothing is shown in the pane. */
        QString receiverToken;
        /** The window record of ours, when the configuration carries one. */
        bool hasWindow = false;
        MatrixWindowInfo window;
    };

    /** The video output whose panes are the decoder's windows. */
    static QString windowOutput();
    static QString paneToken(int position);
    /** The position (from 1) of a pane token; 0 for anything else. */
    static int panePosition(const QString& token);

    /** The area of a window, and the window's place from an area; false when the area is not on the wall. */
    static PaneLayout paneLayout(const QString& pane, const MatrixWindowInfo& window);
    static bool readArea(const PaneLayout& layout, MatrixWindowInfo* window);

    /** tt:Layout content inside the element the caller opened (tls:Layout). */
    static void writeLayout(QXmlStreamWriter& w, const QVector<PaneLayout>& panes);
    /** false and *why for a layout of more than MaxPanes panes, or an area that is no rectangle on the
     * output. */
    static bool readLayout(const XmlNode& layout, QVector<PaneLayout>* panes, QString* why);

    /** A tt:PaneConfiguration as the element ns:name. */
    static void writePaneConfiguration(QXmlStreamWriter& w, const QString& ns, const QString& name,
                                       const PaneConfiguration& pane);
    /** false and *why when the element has no token. */
    static bool readPaneConfiguration(const XmlNode& node, PaneConfiguration* pane, QString* why);

    /** tls:Capabilities of the display service. */
    static void writeServiceCapabilities(QXmlStreamWriter& w, bool fixedLayout);
    /** tls:LayoutOptions and tls:CodingCapabilities of GetDisplayOptions, for outputs of width x height. */
    static void writeDisplayOptions(QXmlStreamWriter& w, int width, int height, int maxFrameRate);
};

} // namespace pral_matrix
