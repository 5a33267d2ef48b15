#pragma once

#include "decoder_service_global.h"

#include <QString>

namespace pral_matrix {

/**
 * @brief The firmware files a decoder accepts for an upgrade.
 *
 * A firmware file is a text file whose first line is
 * "TVWALL-DECODER-FIRMWARE <version>".
 */
class DECODER_SERVICE_EXPORT FirmwareImage
{
public:
    /** The version the file at path installs; false when it is no firmware file. */
    static bool readVersion(const QString& path, QString* version);
};

} // namespace pral_matrix
