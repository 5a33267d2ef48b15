#pragma once

#include "simulateddecoder.h"

namespace pral_matrix {

/**
 * @brief The configuration file (".matrix") a decoder exports and imports.
 *
 * A JSON document of the format "tvwall-decoder-config". Reading checks the
 * format only; whether the settings fit a decoder is the decoder's question.
 */
class DECODER_SERVICE_EXPORT DecoderConfigFile
{
public:
    static QByteArray encode(const SimulatedDecoder::Configuration& config);
    /** 0, or non-zero when bytes are no configuration file. */
    static int decode(const QByteArray& bytes, SimulatedDecoder::Configuration* config);
};

} // namespace pral_matrix
