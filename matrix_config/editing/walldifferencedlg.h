#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixrecords.h"
#include "walldifference.h"

namespace pral_matrixConfig {

namespace Ui {
class WallDifferenceDlg;
}

/**
 * @brief Shows, before a TV wall is sent, how the wall on its main decoder
 * differs from what this desk last saw there, screen by screen, and asks
 * whether to overwrite it, to take the decoder's version, or to do neither.
 *
 * It only asks: nothing is sent while it is open, and the caller acts on
 * choice() after exec() returned.
 */
class MATRIX_CONFIG_EXPORT WallDifferenceDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    enum Choice
    {
        Cancel,
        /** Send this desk's wall over the decoder's. */
        Overwrite,
        /** Send nothing; this desk takes the wall as the decoder holds it. */
        TakeDecoders,
    };

    /** seen: the wall as this desk last saw it on the decoder; onDecoder: as the decoder holds it now. */
    WallDifferenceDlg(const QString& decoderIp, const pral_matrix::TvWallManagement& seen,
                      const pral_matrix::TvWallManagement& onDecoder, QWidget* parent = nullptr);
    ~WallDifferenceDlg() override;

    Choice choice() const { return chosen; }
    const WallDifference& difference() const { return diff; }
    /** The rows shown, one line each: "screen | change | output". */
    QStringList shownRows() const;

    /** The text of a kind of change, as the table shows it. */
    static QString kindText(WallDifference::Kind kind);

private:
    void fillTable();
    void choose(Choice choice);

    Ui::WallDifferenceDlg* ui;
    WallDifference diff;
    Choice chosen = Cancel;
};

} // namespace pral_matrixConfig
