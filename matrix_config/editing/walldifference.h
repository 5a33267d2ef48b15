#pragma once

#include "matrix_config_global.h"
#include "matrixrecords.h"

#include <QList>
#include <QString>

namespace pral_matrixConfig {

/**
 * @brief How one version of a TV wall differs from another, screen by screen:
 * which outputs were bound, unbound or moved, and whether the name or the grid
 * changed.
 *
 * An output is named by its decoder's address and output number; the kinds of
 * the decoders, the main decoder's address and the order of the screen list do
 * not count. A wall with no name and a 0 x 0 grid stands for a decoder that
 * holds no wall.
 */
class MATRIX_CONFIG_EXPORT WallDifference
{
public:
    enum Kind
    {
        Unchanged,
        /** An output that the earlier version did not show is on this screen. */
        Bound,
        /** The output this screen showed is shown nowhere now. */
        Unbound,
        /** The output is on this screen now and was on another one before. */
        Moved,
    };

    struct Screen
    {
        Kind kind = Unchanged;
        /** From 0: where the output is now, or, unbound, where it was. */
        int row = 0;
        int column = 0;
        QString output;
        /** Moved: where the output was. */
        int fromRow = -1;
        int fromColumn = -1;
    };

    static WallDifference between(const pral_matrix::TvWallManagement& before,
                                  const pral_matrix::TvWallManagement& after);
    /** Same name, grid and outputs on the same screens. */
    static bool sameWall(const pral_matrix::TvWallManagement& a, const pral_matrix::TvWallManagement& b);
    static bool isNoWall(const pral_matrix::TvWallManagement& wall);
    /** The output id the page shows for a screen: the bare address for a single-output decoder. */
    static QString outputIdOf(const pral_matrix::MatrixInfo& screen);

    /** Nothing differs. */
    bool isEmpty() const { return !nameChanged() && !gridChanged() && changedScreens() == 0; }
    bool nameChanged() const { return nameBefore != nameAfter; }
    bool gridChanged() const { return rowsBefore != rowsAfter || colsBefore != colsAfter; }
    /** Screens with a change; a screen whose output was replaced has two entries and counts once. */
    int changedScreens() const;
    int unchangedScreens() const;

    QString nameBefore;
    QString nameAfter;
    int rowsBefore = 0;
    int colsBefore = 0;
    int rowsAfter = 0;
    int colsAfter = 0;
    /** Every output of either version once, by screen (row, then column). */
    QList<Screen> screens;
};

} // namespace pral_matrixConfig
