#include "watchreportdlg.h"
#include "ui_watchreportdlg.h"

#include "modulelook.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QIcon>

namespace pral_matrixConfig {

using pral_matrix::DecoderWatch;
using pral_matrix::WatchOutcome;

namespace {

enum Column
{
    DecoderColumn,
    ChangeColumn,
    OutcomeColumn,
    ColumnCount
};

constexpr int WatchedIpRole = Qt::UserRole + 1;
constexpr int EndedRole = Qt::UserRole + 2;
constexpr int VerifiedRole = Qt::UserRole + 3;

const QColor VerifiedColour(QStringLiteral("#3fb27f"));
const QColor FailedColour(QStringLiteral("#f0a63a"));
const QColor WaitingColour(QStringLiteral("#ebf3fa"));

} // namespace

WatchReportDlg::WatchReportDlg(QWidget* parent)
    : PCOMMON::CommonDialog(parent, true, true)
    , ui(new Ui::WatchReportDlg)
{
    ui->setupUi(this);
    setWindowTitle(tr("Checked changes"));
    setBackgroundColor(QColor(QStringLiteral("#172335")));
    setTitleHeight(35);
    fillBackground(ui->widget_top_bg, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_center_bg, QStringLiteral("#172335"));
    fillBackground(ui->widget_bottom_bg, QStringLiteral("#172335"));
    ui->label->setProperty("common_label_style1", true);
    ui->closeBt->setProperty("common_close_bt_style1", true);
    ui->okBt->setProperty("common_bt_style1", true);
    ui->summaryLabel->setStyleSheet(QStringLiteral("QLabel{color:#acb3be;font-size:13px;}"));

    QTableWidget* table = ui->watchTable;
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({tr("Decoder"), tr("Change"), tr("Outcome")});
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(DecoderColumn, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(ChangeColumn, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(OutcomeColumn, QHeaderView::Stretch);
    table->setWordWrap(true);
    table->setTextElideMode(Qt::ElideNone);

    connect(ui->okBt, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->closeBt, &QPushButton::clicked, this, &QDialog::close);
    updateSummary();
}

WatchReportDlg::~WatchReportDlg()
{
    delete ui;
}

int WatchReportDlg::rowOf(const QString& watchedIp) const
{
    for (int row = 0; row < ui->watchTable->rowCount(); ++row) {
        if (ui->watchTable->item(row, DecoderColumn)->data(WatchedIpRole).toString() == watchedIp)
            return row;
    }
    return -1;
}

int WatchReportDlg::rowCount() const
{
    return ui->watchTable->rowCount();
}

int WatchReportDlg::waitingCount() const
{
    int waiting = 0;
    for (int row = 0; row < ui->watchTable->rowCount(); ++row) {
        if (!ui->watchTable->item(row, DecoderColumn)->data(EndedRole).toBool())
            ++waiting;
    }
    return waiting;
}

void WatchReportDlg::record(const WatchOutcome& state)
{
    QTableWidget* table = ui->watchTable;
    int row = rowOf(state.watchedIp);
    if (row < 0) {
        row = table->rowCount();
        table->insertRow(row);
        for (int column = 0; column < ColumnCount; ++column)
            table->setItem(row, column, new QTableWidgetItem);
    }
    // After a return the decoder is where it was: both addresses tell the operator what happened.
    const QString where = state.ip == state.watchedIp
                              ? state.ip
                              : QStringLiteral("%1 \u2192 %2").arg(state.watchedIp, state.ip);
    QTableWidgetItem* decoder = table->item(row, DecoderColumn);
    decoder->setText(where);
    decoder->setData(WatchedIpRole, state.watchedIp);
    decoder->setData(EndedRole, state.ended());
    decoder->setData(VerifiedRole, state.verified());
    table->item(row, ChangeColumn)->setText(DecoderWatch::kindText(state.kind));
    QTableWidgetItem* outcome = table->item(row, OutcomeColumn);
    outcome->setText(state.ended() ? state.text : tr("checking: %1").arg(state.text));
    outcome->setToolTip(outcome->text());
    outcome->setForeground(!state.ended() ? WaitingColour : state.verified() ? VerifiedColour : FailedColour);
    outcome->setIcon(state.ended() ? QIcon()
                                   : QIcon(QStringLiteral(":/matrixConfig_images/images/watching.png")));
    table->resizeRowsToContents();
    updateSummary();
}

void WatchReportDlg::updateSummary()
{
    int verified = 0;
    int failed = 0;
    for (int row = 0; row < ui->watchTable->rowCount(); ++row) {
        if (!ui->watchTable->item(row, DecoderColumn)->data(EndedRole).toBool())
            continue;
        if (ui->watchTable->item(row, DecoderColumn)->data(VerifiedRole).toBool())
            ++verified;
        else
            ++failed;
    }
    ui->summaryLabel->setText(tr("%1 decoder(s) checked: %2 as intended, %3 not, %4 still being watched.")
                                  .arg(ui->watchTable->rowCount())
                                  .arg(verified)
                                  .arg(failed)
                                  .arg(waitingCount()));
}

void WatchReportDlg::clearEnded()
{
    for (int row = ui->watchTable->rowCount() - 1; row >= 0; --row) {
        if (ui->watchTable->item(row, DecoderColumn)->data(EndedRole).toBool())
            ui->watchTable->removeRow(row);
    }
    updateSummary();
}

void WatchReportDlg::closeEvent(QCloseEvent* event)
{
    // What ended has been read; what is still being watched stays for the next showing.
    clearEnded();
    PCOMMON::CommonDialog::closeEvent(event);
}

} // namespace pral_matrixConfig
