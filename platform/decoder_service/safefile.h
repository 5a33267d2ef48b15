#pragma once

#include "decoder_service_global.h"

#include <QByteArray>
#include <QString>

namespace pral_matrix {

/**
 * @brief Writes whole files so that a reader finds either the old content or
 * the new one, never a part of it and never an empty file.
 *
 * QSaveFile alone is not enough: it buffers small writes and, when the final
 * flush fails (a full disk, a file-size limit), still renames the short file
 * over the good one. Here every byte must have reached the file, and the file
 * the disk, before the rename; the folder is synced after it.
 */
class DECODER_SERVICE_EXPORT SafeFile
{
public:
    /** false, the old file untouched and *error set (when given) when any step fails. */
    static bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);
};

} // namespace pral_matrix
