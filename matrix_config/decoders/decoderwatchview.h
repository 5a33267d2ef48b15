#pragma once

#include "decoderwatch.h"
#include "matrix_config_global.h"
#include "watchreportdlg.h"

#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>

class QTableWidget;

namespace pral_matrixConfig {

/**
 * @brief What the decoder list shows of the service's watches after changes:
 * a mark (icon and tooltip) on a cell of each decoder being watched, one
 * that leaves the status word alone, and, where it tells the operator, a
 * notice per outcome and the report window once more than one decoder is in it.
 * A watch a batch of upgrades asked for (one with a tag) is marked but not
 * told: the batch's window lists its outcomes.
 *
 * The watches' signals arrive queued, so a watch never holds up the service;
 * rows are found by address when a signal comes, since addresses move.
 */
class MATRIX_CONFIG_EXPORT DecoderWatchView : public QObject
{
    Q_OBJECT

public:
    /**
     * @param rowOfIp the table's row showing a decoder, or -1
     * @param tellOperator notices and the report (one list per page does this)
     * @param window the report's parent window
     */
    DecoderWatchView(QTableWidget* table, int markColumn, std::function<int(const QString&)> rowOfIp,
                     bool tellOperator, QWidget* window);
    ~DecoderWatchView() override;

    /** The report window, once an outcome made it; null before. */
    WatchReportDlg* report() const { return reportDlg; }
    /** Addresses whose rows carry the mark. */
    QSet<QString> marked() const { return watching; }

private:
    void onStarted(const pral_matrix::WatchOutcome& state);
    void onFinished(const pral_matrix::WatchOutcome& outcome);
    void mark(const QString& ip, const QString& tip);
    void unmark(const QString& ip);
    WatchReportDlg* ensureReport();

    QTableWidget* table;
    int markColumn;
    std::function<int(const QString&)> rowOfIp;
    bool tellOperator;
    QWidget* window;
    QSet<QString> watching;
    QPointer<WatchReportDlg> reportDlg;
};

} // namespace pral_matrixConfig
