#include "atomicfile.h"

#include <QSaveFile>

namespace pral_matrix {

bool AtomicFile::write(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile buffers small writes: a full disk shows only when the buffer
    // goes out, and commit() would still put the short file in place. Each
    // step is checked, and any failure leaves the old file as it was.
    constexpr qint64 Chunk = 1 << 20;
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 size = qMin(Chunk, qint64(bytes.size()) - done);
        if (file.write(bytes.constData() + done, size) != size) {
            file.cancelWriting();
            return false;
        }
        done += size;
    }
    if (!file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace pral_matrix
