#pragma once

#include "daemonservicehandler.h"

namespace pral_matrix {

/**
 * @brief Our extension service (/onvif/wall_service, namespace Ns::Wall):
 * what ONVIF has no operation for. Walls across decoders, scenes, identify
 * banners, screen colours, test pictures and the windows that show them,
 * logs by type, the upgrade's state, the end of a session and the
 * confirmation of a new address.
 */
class ExtensionServiceHandler : public DaemonServiceHandler
{
public:
    /** A picture's name becomes part of a file name. */
    static constexpr int MaxPictureNameLength = 128;

    using DaemonServiceHandler::DaemonServiceHandler;

    QString ns() const override;
    QString path() const override;
    QStringList operations() const override;
    DaemonReply handle(DaemonCall& call) override;
    void writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint& e) const override;

private:
    DaemonReply uploadPicture(DaemonCall& call);
    DaemonReply window(DaemonCall& call);
    DaemonReply confirmNetworkChange(DaemonCall& call);
};

} // namespace pral_matrix
