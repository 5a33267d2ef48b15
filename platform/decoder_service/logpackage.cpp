#include "logpackage.h"

#include <KCompressionDevice>
#include <KTar>

#include <QBuffer>

namespace pral_matrix {

QByteArray LogPackage::build(const QList<Entry>& files, const QDateTime& at)
{
    QBuffer archive;
    if (!archive.open(QIODevice::WriteOnly))
        return QByteArray();
    {
        KCompressionDevice gzip(&archive, false, KCompressionDevice::GZip);
        KTar tar(&gzip);
        if (!tar.open(QIODevice::WriteOnly))
            return QByteArray();
        for (const Entry& file : files) {
            if (!tar.writeFile(file.first, file.second, 0100644, QStringLiteral("root"),
                               QStringLiteral("root"), at, at, at))
                return QByteArray();
        }
        if (!tar.close())
            return QByteArray();
    }
    return archive.data();
}

} // namespace pral_matrix
