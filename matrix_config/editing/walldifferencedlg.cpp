#include "walldifferencedlg.h"
#include "ui_walldifferencedlg.h"

#include "modulelook.h"

#include <QHeaderView>

namespace pral_matrixConfig {

using pral_matrix::TvWallManagement;

namespace {

enum Column
{
    ScreenColumn,
    ChangeColumn,
    OutputColumn,
    ColumnCount
};

const QColor BoundColour(QStringLiteral("#3fb27f"));
const QColor UnboundColour(QStringLiteral("#e5534b"));
const QColor MovedColour(QStringLiteral("#f0a63a"));

/** A screen as the page labels it: row and column from 1. */
QString screenName(int row, int column)
{
    return QStringLiteral("%1-%2").arg(row + 1).arg(column + 1);
}

} // namespace

WallDifferenceDlg::WallDifferenceDlg(const QString& decoderIp, const TvWallManagement& seen,
                                     const TvWallManagement& onDecoder, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::WallDifferenceDlg)
    , diff(WallDifference::between(seen, onDecoder))
{
    ui->setupUi(this);
    setWindowTitle(tr("TV wall changed on the decoder"));
    setBackgroundColor(QColor(QStringLiteral("#172335")));
    setTitleHeight(35);
    fillBackground(ui->widget_top, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_center, QStringLiteral("#172335"));
    fillBackground(ui->widget_bottom, QStringLiteral("#172335"));
    ui->title->setProperty("common_label_style1", true);
    ui->closeBt->setProperty("common_close_bt_style1", true);
    ui->overwriteBtn->setProperty("common_bt_style1", true);
    ui->takeBtn->setProperty("common_bt_style1", true);
    ui->cancelBtn->setProperty("common_bt_style2", true);
    const QString secondary = QStringLiteral("QLabel{color:#acb3be;font-size:13px;}");
    ui->summaryLabel->setStyleSheet(secondary);
    ui->unchangedLabel->setStyleSheet(secondary);

    const bool seenNone = WallDifference::isNoWall(seen);
    const bool holdsNone = WallDifference::isNoWall(onDecoder);
    if (seenNone) {
        ui->introLabel->setText(tr("The main decoder %1 holds the TV wall \"%2\", which this desk has not "
                                   "seen. Nothing has been sent yet.")
                                    .arg(decoderIp, onDecoder.tvWallName));
    } else if (holdsNone) {
        ui->introLabel->setText(tr("The main decoder %1 no longer holds the TV wall \"%2\" that this desk "
                                   "last saw there. Nothing has been sent yet.")
                                    .arg(decoderIp, seen.tvWallName));
    } else {
        ui->introLabel->setText(tr("Since this desk last saw it, the TV wall on the main decoder %1 was "
                                   "changed elsewhere. Nothing has been sent yet.")
                                    .arg(decoderIp));
    }
    QStringList summary;
    if (!seenNone && !holdsNone) {
        if (diff.nameChanged())
            summary << tr("Name: \"%1\" became \"%2\".").arg(diff.nameBefore, diff.nameAfter);
        if (diff.gridChanged())
            summary << tr("Screens: %1 x %2 became %3 x %4.")
                           .arg(diff.rowsBefore)
                           .arg(diff.colsBefore)
                           .arg(diff.rowsAfter)
                           .arg(diff.colsAfter);
    }
    ui->summaryLabel->setText(summary.join(QLatin1Char(' ')));
    ui->summaryLabel->setVisible(!summary.isEmpty());
    ui->unchangedLabel->setText(tr("Unchanged screens: %1").arg(diff.unchangedScreens()));
    fillTable();

    if (holdsNone) {
        ui->questionLabel->setText(tr("Send this desk's TV wall to the decoder?"));
        // There is nothing to take: the desk would lose its wall for no wall at all.
        ui->takeBtn->setEnabled(false);
        ui->takeBtn->setToolTip(tr("The decoder holds no TV wall to take."));
    } else {
        ui->questionLabel->setText(
            tr("Overwrite the decoder's TV wall with this desk's, or take the decoder's version and send "
               "nothing?"));
    }

    connect(ui->overwriteBtn, &QPushButton::clicked, this, [this] { choose(Overwrite); });
    connect(ui->takeBtn, &QPushButton::clicked, this, [this] { choose(TakeDecoders); });
    connect(ui->cancelBtn, &QPushButton::clicked, this, [this] { choose(Cancel); });
    connect(ui->closeBt, &QPushButton::clicked, this, [this] { choose(Cancel); });
}

WallDifferenceDlg::~WallDifferenceDlg()
{
    delete ui;
}

QString WallDifferenceDlg::kindText(WallDifference::Kind kind)
{
    switch (kind) {
    case WallDifference::Bound:
        return tr("bound");
    case WallDifference::Unbound:
        return tr("unbound");
    case WallDifference::Moved:
        return tr("moved");
    case WallDifference::Unchanged:
        break;
    }
    return tr("unchanged");
}

void WallDifferenceDlg::fillTable()
{
    QTableWidget* table = ui->changesTable;
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({tr("Screen"), tr("Change"), tr("Output")});
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(ScreenColumn, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(ChangeColumn, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(OutputColumn, QHeaderView::Stretch);
    // One line per change, as high as the rows of the decoder list.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(30);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    for (const WallDifference::Screen& s : diff.screens) {
        if (s.kind == WallDifference::Unchanged)
            continue;
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, ScreenColumn, new QTableWidgetItem(screenName(s.row, s.column)));
        auto* change = new QTableWidgetItem(kindText(s.kind));
        change->setForeground(s.kind == WallDifference::Bound     ? BoundColour
                              : s.kind == WallDifference::Unbound ? UnboundColour
                                                                  : MovedColour);
        table->setItem(row, ChangeColumn, change);
        const QString output =
            s.kind == WallDifference::Moved
                ? tr("%1, from screen %2").arg(s.output, screenName(s.fromRow, s.fromColumn))
                : s.output;
        table->setItem(row, OutputColumn, new QTableWidgetItem(output));
    }
}

QStringList WallDifferenceDlg::shownRows() const
{
    QStringList rows;
    const QTableWidget* table = ui->changesTable;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << table->item(row, column)->text();
        rows << cells.join(QStringLiteral(" | "));
    }
    return rows;
}

void WallDifferenceDlg::choose(Choice choice)
{
    chosen = choice;
    if (choice == Cancel)
        reject();
    else
        accept();
}

} // namespace pral_matrixConfig
