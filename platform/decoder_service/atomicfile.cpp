#include "atomicfile.h"

#include <QSaveFile>

namespace pral_matrix {

bool AtomicFile::write(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace pral_matrix
