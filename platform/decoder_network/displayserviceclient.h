#pragma once

#include "displaycodec.h"
#include "onviftransport.h"

#include <QVector>

namespace pral_matrix {

/**
 * @brief The calls of ONVIF's display service (tls) as the back end makes
 * them: a decoder's windows are the panes of its whole-decoder video output
 * (DisplayCodec::windowOutput()), placed by its layout (GetLayout, SetLayout)
 * and described by their pane configurations (Get/Set/CreatePaneConfiguration).
 *
 * Each operation runs on the pool thread of the decoder's lane, over its
 * session, and refuses a layout or pane that the records cannot hold.
 */
class DisplayServiceClient
{
public:
    explicit DisplayServiceClient(OnvifTransport& transport);

    /** The panes on the window output, in window order. */
    int layout(const QString& ip, QVector<DisplayCodec::PaneLayout>* panes);
    int setLayout(const QString& ip, const QVector<DisplayCodec::PaneLayout>& panes);
    int paneConfiguration(const QString& ip, const QString& pane, DisplayCodec::PaneConfiguration* out);
    int createPaneConfiguration(const QString& ip, const DisplayCodec::PaneConfiguration& pane);
    int setPaneConfiguration(const QString& ip, const DisplayCodec::PaneConfiguration& pane);

private:
    OnvifTransport& transport;
};

} // namespace pral_matrix
