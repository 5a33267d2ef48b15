#pragma once

#include "matrixrecords.h"

#include <QJsonObject>

#include <functional>

namespace pral_matrix {

/**
 * @brief JSON form of the records, as the store keeps them on disk.
 *
 * Passwords never go through here in clear: the caller passes a sealer that
 * turns a password into the text to keep, and an opener for the way back.
 */
class DECODER_SERVICE_EXPORT RecordJson
{
public:
    using PasswordCodec = std::function<QString(const QString&)>;

    static QJsonObject toJson(const MatrixInfo& info, const PasswordCodec& seal);
    static MatrixInfo matrixInfoFromJson(const QJsonObject& object, const PasswordCodec& open);

    static QJsonObject toJson(const TvWallManagement& wall, const PasswordCodec& seal);
    static TvWallManagement tvWallFromJson(const QJsonObject& object, const PasswordCodec& open);

    static QJsonObject toJson(const ScreenColor& color);
    static ScreenColor screenColorFromJson(const QJsonObject& object);
};

} // namespace pral_matrix
