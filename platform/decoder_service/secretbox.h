#pragma once

#include "decoder_service_global.h"

#include <QByteArray>
#include <QString>

namespace pral_matrix {

/**
 * @brief Seals the decoder passwords that the store keeps on disk.
 *
 * Passwords are encrypted with XSalsa20-Poly1305 (libsodium's secretbox)
 * under a random key made once per installation and kept in its own file,
 * readable by the owner only, in the user's configuration folder, not next
 * to the lists.
 *
 * Why this and not more: the lists are plain JSON that people copy, sync,
 * back up, attach to tickets and show on screen. Sealing keeps the decoder
 * passwords out of every such copy: the JSON alone reveals nothing, and a
 * tampered entry fails to open instead of yielding a wrong password. It does
 * not protect against a program running as the same user: that program can
 * read the key file as well as this client can, and a desktop client that
 * logs in unattended has to be able to recover the password without asking.
 * A platform keychain would only move that key behind the session login; on
 * the headless machines where this also runs there is no keychain, so the
 * key file is the one mechanism and the keychain is not used.
 */
class DECODER_SERVICE_EXPORT SecretBox
{
public:
    explicit SecretBox(const QString& keyFile);
    ~SecretBox();

    SecretBox(const SecretBox&) = delete;
    SecretBox& operator=(const SecretBox&) = delete;

    /** Sealed text for plain, or an empty string when no key is available (see lastError()). */
    QString seal(const QString& plain);
    /** false when sealed is damaged or was sealed under another key. */
    bool open(const QString& sealed, QString* plain);

    QString keyFile() const { return keyPath; }
    QString lastError() const { return error; }

    /** The key file of this installation when nothing overrides it. */
    static QString defaultKeyFile();

private:
    bool ensureKey();

    QString keyPath;
    QByteArray key;
    QString error;
};

} // namespace pral_matrix
