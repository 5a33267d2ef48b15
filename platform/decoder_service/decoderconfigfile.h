#pragma once

#include "simulateddecoder.h"

namespace pral_matrix {

/**
 * @brief The configuration file (".matrix") a decoder exports and imports.
 *
 * Three parts, the first two one line each:
 *
 *     TVWALL-DECODER-CONFIG 2
 *     {"bodySize":812,"channels":4,"deviceId":"TVD-04-...","firmware":"V2.3.1","model":"TVD-04",
 *      "sha256":"<64 hex digits>","type":3}
 *     <bodySize bytes: the settings as a JSON document>
 *
 * The checksum covers the header line without its "sha256" member (as
 * compact JSON) and the body, so a changed identity fails it as much as a
 * changed setting. No password is written. Reading checks the form only;
 * whether the settings fit a decoder is the decoder's question.
 */
class DECODER_SERVICE_EXPORT DecoderConfigFile
{
public:
    /** Why a file is refused; each is a result code of the import. */
    enum Refusal
    {
        Empty = -40,
        /** Some other file: the marker is missing. */
        NotAConfig = -41,
        /** A configuration file of a format version this decoder does not read. */
        UnknownVersion = -42,
        /** The file ends before the size its header announces. */
        Truncated = -43,
        /** Header, size or checksum do not match the content. */
        Damaged = -44,
        /** Made by a decoder of another model. */
        OtherModel = -45,
    };
    /** Larger files are no configuration; nothing that size is read. */
    static constexpr qint64 MaxSize = 16 * 1024 * 1024;

    static QByteArray encode(const SimulatedDecoder::Configuration& config);
    /** 0, or a Refusal. */
    static int decode(const QByteArray& bytes, SimulatedDecoder::Configuration* config);
    /**
     * The checksum the header of a file (or of its first lines) names: what a
     * decoder that imported the file reports as its configuration's marker.
     * Empty when the lines are no header; nothing is checked against it.
     */
    static QString marker(const QByteArray& head);
    /** Bytes of a file that are enough for marker(). */
    static constexpr int MaxHeadSize = 64 * 1024;
};

} // namespace pral_matrix
