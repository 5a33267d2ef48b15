#pragma once

#include "decoder_service_global.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace pral_matrix {

/**
 * @brief A decoder's log package: its log files in one gzip-compressed tar
 * archive.
 */
class DECODER_SERVICE_EXPORT LogPackage
{
public:
    using Entry = QPair<QString, QByteArray>;

    /** Writes the named files, dated mtime (seconds since the epoch), to path. */
    static bool write(const QString& path, const QList<Entry>& files, qint64 mtime);
};

} // namespace pral_matrix
