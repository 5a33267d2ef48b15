#pragma once

#include "matrixrecords.h"

namespace pral_matrix {

/**
 * @brief What this desk last received from or sent to the main decoder of one
 * of its TV walls, kept beside the wall in the store.
 *
 * Several desks may edit the wall a decoder holds. Each keeps the version it
 * last exchanged with the decoder, so that it can tell, before it sends its
 * own, whether someone else changed the wall in the meantime.
 */
struct DecoderWallCopy
{
    /** False when this desk keeps no copy: a list written before copies were kept, or a wall never sent. */
    bool kept = false;
    /**
     * The wall as the decoder held it: name, main decoder, rows, columns and
     * screens (matrixType, ip, channel, row, column). A name that is empty and
     * a grid of 0 x 0 stand for a decoder that held no wall.
     */
    TvWallManagement wall;
    /**
     * A connection found the decoder holding another version than this desk
     * had seen; cleared once the operator has opened the wall.
     */
    bool changedOnDecoder = false;
};

} // namespace pral_matrix
