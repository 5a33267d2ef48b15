#pragma once

#include "commondialog.h"
#include "decoderwatch.h"
#include "matrix_config_global.h"

namespace pral_matrixConfig {

namespace Ui {
class WatchReportDlg;
}

/**
 * @brief A small window, not modal, that lists every decoder watched after a
 * change with where its watch stands: still waiting, or how it ended.
 *
 * Rows are kept by the address watched; a newer watch of the same address
 * replaces its row. Closing the window forgets the rows whose watch ended;
 * those still waiting stay for the next showing.
 */
class MATRIX_CONFIG_EXPORT WatchReportDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    explicit WatchReportDlg(QWidget* parent = nullptr);
    ~WatchReportDlg() override;

    /** A watch started or ended. */
    void record(const pral_matrix::WatchOutcome& state);
    int rowCount() const;
    /** Watches listed that have not ended. */
    int waitingCount() const;
    /** Forgets the rows whose watch ended. */
    void clearEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int rowOf(const QString& watchedIp) const;
    void updateSummary();

    Ui::WatchReportDlg* ui;
};

} // namespace pral_matrixConfig
