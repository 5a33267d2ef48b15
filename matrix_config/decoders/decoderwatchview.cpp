#include "decoderwatchview.h"

#include "dictdef.h"
#include "matrixsdkworker.h"
#include "systemassistant.h"
#include "watchreportdlg.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <QTableWidget>

namespace pral_matrixConfig {

using pral_matrix::DecoderWatch;
using pral_matrix::WatchOutcome;

DecoderWatchView::DecoderWatchView(QTableWidget* table, int markColumn,
                                   std::function<int(const QString&)> rowOfIp, bool tellOperator,
                                   QWidget* window)
    : QObject(window)
    , table(table)
    , markColumn(markColumn)
    , rowOfIp(std::move(rowOfIp))
    , tellOperator(tellOperator)
    , window(window)
{
    DecoderWatch* watch = &PSingleton<pral_matrix::MatrixSdkWorker>::_instance().changeWatch();
    // Queued: the watch goes on while a slot here shows something.
    connect(watch, &DecoderWatch::signalWatchStarted, this, &DecoderWatchView::onStarted,
            Qt::QueuedConnection);
    connect(watch, &DecoderWatch::signalWatchFinished, this, &DecoderWatchView::onFinished,
            Qt::QueuedConnection);
}

DecoderWatchView::~DecoderWatchView() = default;

void DecoderWatchView::mark(const QString& ip, const QString& tip)
{
    const int row = rowOfIp(ip);
    QTableWidgetItem* item = row < 0 ? nullptr : table->item(row, markColumn);
    if (!item)
        return;
    item->setIcon(QIcon(QStringLiteral(":/matrixConfig_images/images/watching.png")));
    item->setToolTip(tip);
    watching.insert(ip);
}

void DecoderWatchView::unmark(const QString& ip)
{
    if (!watching.remove(ip))
        return;
    const int row = rowOfIp(ip);
    if (QTableWidgetItem* item = row < 0 ? nullptr : table->item(row, markColumn)) {
        item->setIcon(QIcon());
        item->setToolTip(QString());
    }
}

void DecoderWatchView::onStarted(const WatchOutcome& state)
{
    mark(state.watchedIp,
         tr("Being checked after the %1: %2").arg(DecoderWatch::kindText(state.kind), state.text));
    // A batch of upgrades lists its own outcomes.
    if (!tellOperator || state.tag != 0)
        return;
    WatchReportDlg* report = ensureReport();
    // Changes that overlap make one list; a change after the others ended, and were told, starts a new one.
    if (!report->isVisible() && report->waitingCount() == 0)
        report->clearEnded();
    report->record(state);
}

void DecoderWatchView::onFinished(const WatchOutcome& outcome)
{
    unmark(outcome.watchedIp);
    unmark(outcome.ip);
    if (!tellOperator || outcome.tag != 0)
        return;
    const QString text =
        tr("Decoder %1, %2: %3").arg(outcome.ip, DecoderWatch::kindText(outcome.kind), outcome.text);
    pral_worker::SystemAssistant::messageAlert(
        outcome.verified() ? pral_contact::DictDef::alertSuccess : pral_contact::DictDef::alertNotice, text);
    WatchReportDlg* report = ensureReport();
    report->record(outcome);
    // One decoder is told by its notice; several are listed together, and the list stays until closed.
    if (report->rowCount() > 1 && !report->isVisible()) {
        if (QWidget* over = QApplication::activeWindow() ? QApplication::activeWindow() : window) {
            const QRect area =
                over->isVisible() ? over->frameGeometry() : over->screen()->availableGeometry();
            report->move(area.center() - report->rect().center());
        }
        report->show();
        report->raise();
    }
}

WatchReportDlg* DecoderWatchView::ensureReport()
{
    if (!reportDlg) {
        reportDlg = new WatchReportDlg(window);
        reportDlg->setModal(false);
    }
    return reportDlg;
}

} // namespace pral_matrixConfig
