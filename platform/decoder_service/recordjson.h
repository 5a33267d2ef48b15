#pragma once

#include "decoderwallcopy.h"
#include "matrixrecords.h"

#include <QJsonObject>
#include <QStringList>

#include <functional>

namespace pral_matrix {

/**
 * @brief JSON form of the records, as the store keeps them on disk.
 *
 * Passwords never go through here in clear: the caller passes a sealer that
 * gives the text to keep for an entry's password, and an opener for the way
 * back. Both learn the entry and its path (its place in the document, such as
 * "192.0.2.10" or "Lobby/screen 2"), so that a sealed value can be bound to
 * its entry and kept in its place when it cannot be opened.
 *
 * Reading never fails: what cannot be read (a field of the wrong type, a
 * number out of range, a screen that is not an object) takes its default and
 * is described in issues, one line per loss.
 */
class DECODER_SERVICE_EXPORT RecordJson
{
public:
    /** The text to keep for entry's password; empty keeps none. */
    using Sealer = std::function<QString(const MatrixInfo& entry, const QString& path)>;
    /** The password for sealed, the kept text of entry. */
    using Opener =
        std::function<QString(const QString& sealed, const MatrixInfo& entry, const QString& path)>;

    /** What a sealed password of this entry is bound to. */
    static QByteArray passwordIdentity(const MatrixInfo& entry);

    static QJsonObject toJson(const MatrixInfo& info, const Sealer& seal, const QString& path);
    static MatrixInfo matrixInfoFromJson(const QJsonObject& object, const Opener& open, const QString& path,
                                         QStringList* issues = nullptr);

    static QJsonObject toJson(const TvWallManagement& wall, const Sealer& seal);
    static TvWallManagement tvWallFromJson(const QJsonObject& object, const Opener& open,
                                           QStringList* issues = nullptr);

    /** The copy of a wall as its decoder held it; no password goes into it. */
    static QJsonObject toJson(const DecoderWallCopy& copy);
    /**
     * A copy whose screens could not all be read (more than a wall can have, or
     * one that is not an object) is not kept: half a copy would differ from
     * the decoder's wall on its own.
     */
    static DecoderWallCopy wallCopyFromJson(const QJsonObject& object, const QString& path,
                                            QStringList* issues = nullptr);

    static QJsonObject toJson(const ScreenColor& color);
    static ScreenColor screenColorFromJson(const QJsonObject& object);
};

} // namespace pral_matrix
