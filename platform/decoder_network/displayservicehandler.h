#pragma once

#include "daemonservicehandler.h"
#include "displaycodec.h"

namespace pral_matrix {

/**
 * @brief The ONVIF display service of a decoder (/onvif/display_service): its
 * windows as the panes of video output "VO-0-0" (see DisplayCodec). Served
 * from the same decoder model as the extension's windows.
 *
 * A pane made with CreatePaneConfiguration waits until a SetLayout places it;
 * then the decoder opens it as a window, showing what its receiver
 * (ReceiverServiceHandler) names. The decoder keeps its windows until the
 * session ends (or a scene replaces them), so a layout must keep every pane
 * shown where it is; a shown pane cannot be deleted.
 */
class DisplayServiceHandler : public DaemonServiceHandler
{
public:
    using DaemonServiceHandler::DaemonServiceHandler;

    QString ns() const override;
    QString path() const override;
    QStringList operations() const override;
    Access access(const QString& op, const DaemonEndpoint& e) const override;
    DaemonReply handle(DaemonCall& call) override;
    void writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint& e) const override;

    /** The panes the decoder shows, in its windows' order; brings the endpoint's tokens up to date. */
    static QVector<DisplayCodec::PaneConfiguration> shownPanes(DaemonContext& context, DaemonEndpoint& e);

private:
    DaemonReply setLayout(DaemonCall& call);
    DaemonReply setPaneConfigurations(DaemonCall& call);
    /** Shows what receiver names in the window at index. */
    int feed(DaemonEndpoint& e, int index, const QString& receiver);
};

} // namespace pral_matrix
