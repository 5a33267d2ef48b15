#pragma once

#include "decoder_service_global.h"

#include <QDateTime>
#include <QStringList>

namespace pral_matrix {

/**
 * @brief The log of one simulated decoder: lines of four types over time.
 */
class DECODER_SERVICE_EXPORT DecoderLog
{
public:
    static constexpr int MaxLines = 2000;
    static constexpr int StepMinutes = 17;

    /** "system", "warning", "operation" or "abnormal" for the types 0 to 3. */
    static QString typeName(int logType);
    /** The deterministic lines of one decoder for a span. */
    static QStringList history(const QString& deviceId, const QString& ip, const QDateTime& begin,
                               const QDateTime& end, int logType);
};

} // namespace pral_matrix
