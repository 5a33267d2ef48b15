#include "secretbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sodium.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pral_matrix {

namespace {

const QByteArray SealPrefix = QByteArrayLiteral("sb1:");

bool writeNewKeyFile(const QString& path, const QByteArray& key, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL: when two processes race to create the key, the loser reads the
    // winner's key instead of replacing it (which would orphan sealed data).
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QStringLiteral("cannot create key file %1: %2")
                     .arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const ssize_t written = ::write(fd, key.constData(), size_t(key.size()));
    const bool ok = written == key.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok) {
        ::unlink(native.constData());
        *error = QStringLiteral("cannot write key file %1").arg(path);
    }
    return ok;
}

} // namespace

SecretBox::SecretBox(const QString& keyFile)
    : keyPath(keyFile)
{
}

SecretBox::~SecretBox()
{
    if (!key.isEmpty())
        sodium_memzero(key.data(), size_t(key.size()));
}

QString SecretBox::defaultKeyFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/store.key");
}

bool SecretBox::ensureKey()
{
    if (key.size() == crypto_secretbox_KEYBYTES)
        return true;
    if (sodium_init() < 0) {
        error = QStringLiteral("libsodium could not be initialised");
        return false;
    }
    if (keyPath.isEmpty()) {
        error = QStringLiteral("no key file configured");
        return false;
    }
    QFile file(keyPath);
    if (!file.exists()) {
        QDir().mkpath(QFileInfo(keyPath).absolutePath());
        QByteArray fresh(crypto_secretbox_KEYBYTES, Qt::Uninitialized);
        randombytes_buf(fresh.data(), size_t(fresh.size()));
        if (!writeNewKeyFile(keyPath, fresh, &error) && !file.exists())
            return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read key file %1").arg(keyPath);
        return false;
    }
    const QByteArray loaded = file.readAll();
    if (loaded.size() != crypto_secretbox_KEYBYTES) {
        // Never replace a damaged key: what it sealed would be lost for good.
        error = QStringLiteral("key file %1 is damaged").arg(keyPath);
        return false;
    }
    key = loaded;
    return true;
}

QString SecretBox::seal(const QString& plain)
{
    if (!ensureKey())
        return QString();
    const QByteArray message = plain.toUtf8();
    QByteArray box(int(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES) + message.size(),
                   Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(box.data());
    randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(nonce + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const unsigned char*>(message.constData()),
                          static_cast<unsigned long long>(message.size()), nonce,
                          reinterpret_cast<const unsigned char*>(key.constData()));
    return QString::fromLatin1(SealPrefix + box.toBase64());
}

bool SecretBox::open(const QString& sealed, QString* plain)
{
    const QByteArray text = sealed.toLatin1();
    if (!text.startsWith(SealPrefix)) {
        error = QStringLiteral("not a sealed value");
        return false;
    }
    if (!ensureKey())
        return false;
    const QByteArray box = QByteArray::fromBase64(text.mid(SealPrefix.size()));
    const int overhead = int(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES);
    if (box.size() < overhead) {
        error = QStringLiteral("sealed value is truncated");
        return false;
    }
    const auto* nonce = reinterpret_cast<const unsigned char*>(box.constData());
    QByteArray message(box.size() - overhead, Qt::Uninitialized);
    if (crypto_secretbox_open_easy(
            reinterpret_cast<unsigned char*>(message.data()), nonce + crypto_secretbox_NONCEBYTES,
            static_cast<unsigned long long>(box.size() - int(crypto_secretbox_NONCEBYTES)), nonce,
            reinterpret_cast<const unsigned char*>(key.constData())) != 0) {
        error = QStringLiteral("sealed value does not open with this installation's key");
        return false;
    }
    *plain = QString::fromUtf8(message);
    return true;
}

} // namespace pral_matrix
