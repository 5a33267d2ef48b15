#include "safefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pral_matrix {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// A file system that cannot sync (a pipe, some network mounts) has nothing to lose by it.
bool synced(int fd)
{
    return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS || errno == ENOTSUP;
}

void syncFolder(const QString& path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // The rename is done; a failure here only weakens its durability, it does not undo it.
    (void)::fsync(fd);
    ::close(fd);
}

} // namespace

bool SafeFile::write(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, QCoreApplication::translate("pral_matrix::SafeFile", "cannot write %1: %2")
                               .arg(path, file.errorString()));
    const bool written = file.write(bytes) == bytes.size() && file.flush() && file.error() == QFile::NoError;
    if (!written || !synced(file.handle())) {
        const QString why = written ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        file.cancelWriting();
        return fail(
            error,
            QCoreApplication::translate("pral_matrix::SafeFile", "cannot write %1: %2").arg(path, why));
    }
    if (!file.commit())
        return fail(error, QCoreApplication::translate("pral_matrix::SafeFile", "cannot write %1: %2")
                               .arg(path, file.errorString()));
    syncFolder(path);
    return true;
}

} // namespace pral_matrix
