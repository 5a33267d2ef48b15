#pragma once

#include "decoder_service_global.h"

#include <QByteArray>
#include <QString>

namespace pral_matrix {

/**
 * @brief Seals the decoder passwords that the store keeps on disk.
 *
 * Passwords are encrypted with XChaCha20-Poly1305 (libsodium's AEAD) under a
 * random key made once per installation and kept in its own file, readable
 * by the owner only, in the user's configuration folder, not next to the
 * lists. Each sealed value carries its entry's identity as additional data:
 * moved to another entry, it no longer opens. Values of the first format
 * (XSalsa20-Poly1305 secretbox, no identity) still open; the store seals them
 * again in the current format.
 *
 * A key is read, never made, unless the store asks for one: a missing or
 * damaged key file is reported, and whatever it sealed stays sealed, so that
 * putting the right file back recovers every password.
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
    enum KeyState
    {
        KeyReady,
        KeyMissing,
        /** The file exists but does not hold a key (wrong length). */
        KeyDamaged,
        /** The file exists but cannot be read. */
        KeyUnreadable,
        /** libsodium cannot run, or no key file is configured. */
        KeyUnusable,
    };

    explicit SecretBox(const QString& keyFile);
    ~SecretBox();

    SecretBox(const SecretBox&) = delete;
    SecretBox& operator=(const SecretBox&) = delete;

    /** Reads the key file once; later calls answer from memory until a key is made. */
    KeyState keyState();
    /**
     * Makes a new key. A damaged or unreadable key file is first renamed aside
     * (never overwritten); false when that or the new file cannot be written.
     */
    bool makeKey();

    /** Sealed text for plain bound to identity, or empty without a key (see lastError()). */
    QString seal(const QString& plain, const QByteArray& identity);
    /**
     * false when sealed is damaged, sealed under another key or for another
     * identity. *oldFormat tells that it opened but should be sealed again.
     */
    bool open(const QString& sealed, const QByteArray& identity, QString* plain, bool* oldFormat = nullptr);

    QString keyFile() const { return keyPath; }
    QString lastError() const { return error; }

    /** The key file of this installation when nothing overrides it. */
    static QString defaultKeyFile();

private:
    QString keyPath;
    QByteArray key;
    QString error;
    bool loaded = false;
    KeyState state = KeyMissing;
};

} // namespace pral_matrix
