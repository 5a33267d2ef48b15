#pragma once

#include "onviftransport.h"

namespace pral_matrix {

/**
 * @brief The calls of ONVIF's device IO service (tmd) as the back end makes
 * them: the video outputs of a decoder and their resolution.
 *
 * A screen is addressed by the token of its output ("VO-row-column"; screen
 * (0, 0) is the whole decoder). Each operation runs on the pool thread of the
 * decoder's lane, over its session.
 */
class DeviceIoServiceClient
{
public:
    explicit DeviceIoServiceClient(OnvifTransport& transport);

    /** Through the output's configuration, where a decoder of ours keeps the resolution. */
    int getResolution(const QString& ip, int screenRow, int screenColumn, ScreenResolution_t* out);
    /** Through GetVideoOutputs, as any ONVIF display tells it: the output of the screen's token, or for
     * screen (0, 0) the first output. */
    int outputResolution(const QString& ip, int screenRow, int screenColumn, ScreenResolution_t* out);
    /** persist: the decoder keeps it past the session (ForcePersistence). */
    int setResolution(const QString& ip, int screenRow, int screenColumn,
                      const ScreenResolution_t& resolution, bool persist);

private:
    OnvifTransport& transport;
};

} // namespace pral_matrix
