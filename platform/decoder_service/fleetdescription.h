#pragma once

#include "simulateddecoder.h"

#include <memory>
#include <vector>

namespace pral_matrix {

/**
 * @brief Reads a fleet description (the JSON document SimulatedFleet
 * documents) into validated decoders.
 */
class DECODER_SERVICE_EXPORT FleetDescription
{
public:
    int latencyMs = 0;
    int upgradeStepMs = 200;
    int lockThreshold = 5;
    int lockMinutes = 30;
    int logHistoryDays = 30;
    int logHistoryPerDay = 24;
    int confirmWindowMs = 60000;
    int restartMs = 0;
    /** In the order of the description, each with its wall if it holds one. */
    std::vector<std::unique_ptr<SimulatedDecoder>> decoders;

    /** false and *error (naming the decoder and the field) when json does not describe a fleet. */
    static bool parse(const QByteArray& json, FleetDescription* out, QString* error);
};

} // namespace pral_matrix
