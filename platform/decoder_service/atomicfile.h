#pragma once

#include "decoder_service_global.h"

#include <QByteArray>
#include <QString>

namespace pral_matrix {

/**
 * @brief Writes a whole file or nothing: the files a decoder hands out
 * (configuration, log text, log package) never stay behind half-written.
 */
class DECODER_SERVICE_EXPORT AtomicFile
{
public:
    static bool write(const QString& path, const QByteArray& bytes);
};

} // namespace pral_matrix
