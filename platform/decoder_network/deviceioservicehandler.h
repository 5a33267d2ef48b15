#pragma once

#include "daemonservicehandler.h"

namespace pral_matrix {

/**
 * @brief The ONVIF device IO service of a decoder (/onvif/deviceio_service):
 * its video outputs and their resolutions. Output "VO-0-0" is the decoder as
 * a whole, "VO-r-c" the screen at row r and column c of its wall.
 */
class DeviceIoServiceHandler : public DaemonServiceHandler
{
public:
    using DaemonServiceHandler::DaemonServiceHandler;

    QString ns() const override;
    QString path() const override;
    QStringList operations() const override;
    DaemonReply handle(DaemonCall& call) override;
};

} // namespace pral_matrix
