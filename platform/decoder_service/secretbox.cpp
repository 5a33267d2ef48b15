#include "secretbox.h"

#include <QCoreApplication>
#include <QDateTime>
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

const QByteArray OldPrefix = QByteArrayLiteral("sb1:");
const QByteArray Prefix = QByteArrayLiteral("xc2:");
constexpr int KeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr int NonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int TagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
static_assert(KeyBytes == crypto_secretbox_KEYBYTES, "one key file serves both formats");

const unsigned char* bytes(const QByteArray& a)
{
    return reinterpret_cast<const unsigned char*>(a.constData());
}

unsigned char* bytes(QByteArray& a)
{
    return reinterpret_cast<unsigned char*>(a.data());
}

bool writeNewKeyFile(const QString& path, const QByteArray& key, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL: when two processes race to create the key, the loser reads the
    // winner's key instead of replacing it (which would orphan sealed data).
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QCoreApplication::translate("pral_matrix::SecretBox", "cannot create the key file %1: %2")
                     .arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const ssize_t written = ::write(fd, key.constData(), size_t(key.size()));
    const bool ok = written == key.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok) {
        ::unlink(native.constData());
        *error =
            QCoreApplication::translate("pral_matrix::SecretBox", "cannot write the key file %1").arg(path);
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

SecretBox::KeyState SecretBox::keyState()
{
    if (loaded)
        return state;
    loaded = true;
    if (sodium_init() < 0 || keyPath.isEmpty()) {
        error =
            keyPath.isEmpty()
                ? QCoreApplication::translate("pral_matrix::SecretBox", "no key file is configured")
                : QCoreApplication::translate("pral_matrix::SecretBox", "libsodium could not be initialised");
        return state = KeyUnusable;
    }
    QFile file(keyPath);
    if (!QFileInfo::exists(keyPath)) {
        error =
            QCoreApplication::translate("pral_matrix::SecretBox", "the key file %1 is missing").arg(keyPath);
        return state = KeyMissing;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = QCoreApplication::translate("pral_matrix::SecretBox", "the key file %1 cannot be read: %2")
                    .arg(keyPath, file.errorString());
        return state = KeyUnreadable;
    }
    QByteArray loadedKey = file.read(KeyBytes + 1);
    if (loadedKey.size() != KeyBytes) {
        sodium_memzero(loadedKey.data(), size_t(loadedKey.size()));
        error = QCoreApplication::translate("pral_matrix::SecretBox",
                                            "the key file %1 is damaged (%2 bytes instead of %3)")
                    .arg(keyPath)
                    .arg(file.size())
                    .arg(KeyBytes);
        return state = KeyDamaged;
    }
    key = loadedKey;
    sodium_memzero(loadedKey.data(), size_t(loadedKey.size()));
    return state = KeyReady;
}

bool SecretBox::makeKey()
{
    const KeyState before = keyState();
    if (before == KeyReady)
        return true;
    if (before == KeyUnusable)
        return false;
    if (before == KeyDamaged || before == KeyUnreadable) {
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        QString aside = QStringLiteral("%1.damaged-%2").arg(keyPath, stamp);
        for (int n = 2; QFileInfo::exists(aside); ++n)
            aside = QStringLiteral("%1.damaged-%2-%3").arg(keyPath, stamp).arg(n);
        if (!QFile::rename(keyPath, aside)) {
            error = QCoreApplication::translate("pral_matrix::SecretBox",
                                                "the damaged key file %1 cannot be moved aside")
                        .arg(keyPath);
            return false;
        }
    }
    QDir().mkpath(QFileInfo(keyPath).absolutePath());
    QByteArray fresh(KeyBytes, Qt::Uninitialized);
    randombytes_buf(fresh.data(), size_t(fresh.size()));
    const bool written = writeNewKeyFile(keyPath, fresh, &error);
    sodium_memzero(fresh.data(), size_t(fresh.size()));
    // Whether this process or a racing one wrote it, the file on disk is the key.
    loaded = false;
    return (written || QFileInfo::exists(keyPath)) && keyState() == KeyReady;
}

QString SecretBox::seal(const QString& plain, const QByteArray& identity)
{
    if (keyState() != KeyReady)
        return QString();
    const QByteArray message = plain.toUtf8();
    QByteArray box(NonceBytes + message.size() + TagBytes, Qt::Uninitialized);
    randombytes_buf(box.data(), NonceBytes);
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        bytes(box) + NonceBytes, &sealedLength, bytes(message),
        static_cast<unsigned long long>(message.size()), bytes(identity),
        static_cast<unsigned long long>(identity.size()), nullptr, bytes(box), bytes(key));
    return QString::fromLatin1(Prefix + box.toBase64());
}

bool SecretBox::open(const QString& sealed, const QByteArray& identity, QString* plain, bool* oldFormat)
{
    const QByteArray text = sealed.toLatin1();
    const bool old = text.startsWith(OldPrefix);
    if (!old && !text.startsWith(Prefix)) {
        error = QCoreApplication::translate("pral_matrix::SecretBox", "not a sealed value");
        return false;
    }
    if (keyState() != KeyReady)
        return false;
    const QByteArray box = QByteArray::fromBase64(text.mid(Prefix.size()));
    const int nonceBytes = old ? int(crypto_secretbox_NONCEBYTES) : NonceBytes;
    const int tagBytes = old ? int(crypto_secretbox_MACBYTES) : TagBytes;
    if (box.size() < nonceBytes + tagBytes) {
        error = QCoreApplication::translate("pral_matrix::SecretBox", "the sealed value is cut short");
        return false;
    }
    QByteArray message(box.size() - nonceBytes - tagBytes, Qt::Uninitialized);
    const auto cipherLength = static_cast<unsigned long long>(box.size() - nonceBytes);
    const int failed =
        old ? crypto_secretbox_open_easy(bytes(message), bytes(box) + nonceBytes, cipherLength, bytes(box),
                                         bytes(key))
            : crypto_aead_xchacha20poly1305_ietf_decrypt(
                  bytes(message), nullptr, nullptr, bytes(box) + nonceBytes, cipherLength, bytes(identity),
                  static_cast<unsigned long long>(identity.size()), bytes(box), bytes(key));
    if (failed != 0) {
        error = QCoreApplication::translate("pral_matrix::SecretBox",
                                            "a sealed value does not open with this key for this entry");
        return false;
    }
    *plain = QString::fromUtf8(message);
    sodium_memzero(message.data(), size_t(message.size()));
    if (oldFormat)
        *oldFormat = old;
    return true;
}

} // namespace pral_matrix
