#pragma once

#include "decoder_network_global.h"

#include <QMap>
#include <QMutex>
#include <QString>

namespace pral_matrix {

/**
 * @brief The TLS public keys of the decoders this installation trusted on
 * first use, each bound to the device id it proved, with the address it was
 * last seen at.
 *
 * Kept in one JSON file beside the installation's other state (the key file of
 * the stored passwords), written whole and atomically on every change; a file
 * that cannot be read is kept aside and read as empty, like the lists. Safe
 * from any thread. Only a pin that is wanted again is looked up: the file is
 * read on first use.
 */
class DECODER_NETWORK_EXPORT DeviceKeyPins
{
public:
    /** A file of at most this size is read; a pin per decoder of a large site is some 100 bytes. */
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

    explicit DeviceKeyPins(const QString& path);

    QString path() const { return file; }
    /** The key pinned for deviceId ("sha256//..."), or empty. */
    QByteArray key(const QString& deviceId);
    /** The id of the device last seen at address, or empty. */
    QString deviceAt(const QString& address);
    /** Pins key for deviceId if it has none, and notes where it is; false when the file could not be written.
     */
    bool remember(const QString& deviceId, const QByteArray& key, const QString& address);
    /** Forgets the pin of deviceId (the operator renewed the decoder's certificate). */
    bool forget(const QString& deviceId);

private:
    struct Pin
    {
        QByteArray key;
        QString address;
    };
    void loadLocked();
    bool saveLocked();

    QString file;
    QMutex mutex;
    bool loaded = false;
    QMap<QString, Pin> pins;
};

} // namespace pral_matrix
