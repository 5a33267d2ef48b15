#pragma once

#include "decoder_service_global.h"

#include <QByteArray>
#include <QString>

namespace pral_matrix {

/**
 * @brief The firmware files our decoders accept for an upgrade.
 *
 * A header of HeaderSize bytes, then the payload:
 *
 *     offset  size  field
 *          0     8  magic "TVWALLFW"
 *          8     4  format version, 1 (big-endian)
 *         12    32  model the image is for, NUL-terminated Latin-1
 *         44    32  firmware version it installs, NUL-terminated Latin-1
 *         76     8  payload size in bytes (big-endian)
 *         84    32  SHA-256 of bytes 0 to 83 followed by the payload
 *        116        payload
 *
 * A file of another size than the header announces is damaged, like one
 * whose checksum does not match.
 */
class DECODER_SERVICE_EXPORT FirmwareImage
{
public:
    static constexpr int HeaderSize = 116;
    /** Characters a model or version may have (the field holds a NUL as well). */
    static constexpr int MaxTextLength = 31;

    QString model;
    QString version;
    qint64 payloadSize = 0;

    /** The bytes of a firmware file; empty when model or version is empty or does not fit its field. */
    static QByteArray build(const QString& model, const QString& version, const QByteArray& payload);
    /** Reads and checks the header and checksum of the file at path; false and *why when it is no sound
     * image. */
    static bool read(const QString& path, FirmwareImage* image, QString* why = nullptr);

    /**
     * Compares two firmware versions by their numbers, left to right, each
     * run of digits one number: "V2.10" is newer than "V2.9", "V2.3.1 build
     * 240611" than "V2.3.1"; a number one of them lacks counts as 0. Returns
     * < 0, 0 or > 0 as a is older than, the same as or newer than b. Versions
     * without numbers cannot be compared: *comparable is then false, and they
     * are the same only when their texts are.
     */
    static int compareVersions(const QString& a, const QString& b, bool* comparable = nullptr);
};

} // namespace pral_matrix
