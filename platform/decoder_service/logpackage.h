#pragma once

#include "decoder_service_global.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

namespace pral_matrix {

/**
 * @brief A decoder's log package: its log files in one gzip-compressed tar
 * archive (".tgz"), as tar and every archive tool read it.
 */
class DECODER_SERVICE_EXPORT LogPackage
{
public:
    using Entry = QPair<QString, QByteArray>;

    /** The package of the named files, dated at; empty if it could not be made. */
    static QByteArray build(const QList<Entry>& files, const QDateTime& at);
};

} // namespace pral_matrix
