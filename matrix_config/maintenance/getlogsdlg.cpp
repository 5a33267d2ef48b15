#include "getlogsdlg.h"
#include "ui_getlogsdlg.h"

#include "datetimespanselwt.h"
#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "matrixsdkworker.h"
#include "modulelook.h"
#include "pfiledialog.h"
#include "systemassistant.h"

#include <QFile>
#include <QHeaderView>
#include <QMetaMethod>
#include <QTreeWidget>

namespace pral_matrixConfig {

using pral_contact::DictDef;
using pral_matrix::MatrixSdkWorker;
using pral_worker::SystemAssistant;

namespace {

// Values of the log-type entries.
constexpr int OperationValue = 0;
constexpr int WarningValue = 1;
constexpr int SystemValue = 3;
constexpr int AllOperationValue = 4;
constexpr int PackageValue = 5;

// The service's log types.
constexpr int SystemCode = 0;
constexpr int WarningCode = 1;
constexpr int OperationCode = 2;
constexpr int PackageCode = -1;

constexpr int ExportChunkBytes = 1 << 20;

QTreeWidgetItem* logEntry(const QString& text, int value)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, GetLogsDlg::LogValueRole, value);
    return item;
}

QString suggestedName(const QString& pattern)
{
    return pattern.arg(QStringLiteral("Decoder_system_log_") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss")));
}

} // namespace

GetLogsDlg::GetLogsDlg(QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::GetLogsDlg)
{
    ui->setupUi(this);
    setWindowTitle(tr("show log"));
    spanSel = new PCOMMON::DatetimeSpanSelWt(this, true);
    spanSel->hide();
    spanSel->setMaxSpanSecs(MaxSpanSecs);

    QTreeWidget* types = ui->logTypeCombobox->getTreeWidget();
    QTreeWidgetItem* operation = logEntry(tr("Operation log"), AllOperationValue);
    operation->addChildren({logEntry(tr("system log"), SystemValue),
                            logEntry(tr("warning log"), WarningValue),
                            logEntry(tr("operation log"), OperationValue)});
    types->addTopLevelItem(operation);
    types->addTopLevelItem(logEntry(tr("Operational log"), PackageValue));
    operation->setExpanded(true);
    ui->logTypeCombobox->setCurrentIndex(0);

    const QDate today = QDate::currentDate();
    ui->timeSpace->setDateTimeSpace(QDateTime(QDate(today.year(), today.month(), 1), QTime(0, 0, 0)),
                                    QDateTime(today, QTime(23, 59, 59)));

    setBackgroundColor(QColor(QStringLiteral("#172335")));
    setTitleHeight(35);
    fillBackground(ui->top_widget, QStringLiteral("#0e1624"));
    fillBackground(ui->center_widget, QStringLiteral("#172335"));
    // The pager brings its own rules for its buttons; the bar's colour goes with them.
    ui->widget_2->setStyleSheet(ui->widget_2->styleSheet() +
                                QStringLiteral("QWidget#widget_2{background: #141F30;}"));
    ui->label->setProperty("common_label_style1", true);
    ui->closeBtn->setProperty("common_close_bt_style1", true);
    ui->lastMonthBtn->setProperty("common_bt_style2", true);
    ui->searchBtn->setProperty("common_bt_style1", true);
    ui->exportBtn->setProperty("common_bt_style1", true);
    ui->quitBtn->setProperty("common_bt_style1", true);
    ui->tableWidget->horizontalHeader()->hide();
    ui->tableWidget->verticalHeader()->hide();
    ui->tableWidget->horizontalHeader()->setStretchLastSection(true);

    connect(ui->timeSpace, SIGNAL(signalClicked()), this, SLOT(slotTimeSpaceLineEtClicked()));
    connect(spanSel, SIGNAL(signalDatetimeSpanSelChanged(const QDateTime&, const QDateTime&)), this,
            SLOT(slotDateTimeSelectedChanged(QDateTime, QDateTime)));
    connect(ui->searchBtn, &QPushButton::clicked, this, &GetLogsDlg::slot_onClickedSearchBtn);
    connect(ui->exportBtn, &QPushButton::clicked, this, &GetLogsDlg::slot_onExportLogs);
    connect(ui->lastMonthBtn, &QPushButton::clicked, this, &GetLogsDlg::slot_onLastMonthBtn);
    connect(ui->widget_2, &PCOMMON::PageEditWt::signalPageSizeChanged, this,
            &GetLogsDlg::slot_onPageSizeChanged);
    connect(ui->widget_2, &PCOMMON::PageEditWt::signalGotoPage, this,
            [this](int page, int pageSize) { showPage(page, pageSize, false); });
    connect(ui->logTypeCombobox, qOverload<int>(&QComboBox::activated), this,
            &GetLogsDlg::updateSpanControls);
    connect(ui->closeBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->quitBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(&PSingleton<MatrixSdkWorker>::_instance(), &MatrixSdkWorker::signalGetLogsResult, this,
            &GetLogsDlg::slot_onGetLogsResult, Qt::BlockingQueuedConnection);
}

GetLogsDlg::~GetLogsDlg()
{
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(waitingUuid);
    delete ui;
}

int GetLogsDlg::currentValue() const
{
    return ui->logTypeCombobox->currentData(LogValueRole).toInt();
}

void GetLogsDlg::updateSpanControls()
{
    const bool viewable = currentValue() != PackageValue;
    for (QWidget* w : {static_cast<QWidget*>(ui->timeSpace), static_cast<QWidget*>(ui->lastMonthBtn),
                       static_cast<QWidget*>(ui->label_3), static_cast<QWidget*>(ui->searchBtn)})
        w->setVisible(viewable);
}

void GetLogsDlg::slotTimeSpaceLineEtClicked()
{
    const QPoint corner = ui->timeSpace->mapToGlobal(QPoint(0, 0));
    spanSel->move(corner + QPoint(ui->timeSpace->width() - 15, ui->timeSpace->height()));
    spanSel->show();
    QDateTime start;
    QDateTime end;
    ui->timeSpace->getDateTimeSpace(start, end);
    spanSel->setDateTimeSpace(start, end);
}

void GetLogsDlg::slotDateTimeSelectedChanged(QDateTime startDateTime, QDateTime endDateTime)
{
    ui->timeSpace->setDateTimeSpace(startDateTime, endDateTime);
}

void GetLogsDlg::query(const QDateTime& start, const QDateTime& end)
{
    int code = 0;
    switch (currentValue()) {
    case SystemValue:
        code = SystemCode;
        break;
    case WarningValue:
        code = WarningCode;
        break;
    case OperationValue:
    case AllOperationValue:
        code = OperationCode;
        break;
    default:
        SystemAssistant::messageAlert(DictDef::alertNotice,
                                      tr("Operations log only supports export, not viewing!"));
        return;
    }
    // A long span can take the decoder a while; the overlay also keeps a second query from starting. Only a
    // request that someone takes is answered.
    if (isSignalConnected(QMetaMethod::fromSignal(&GetLogsDlg::sig_onSearchLogsMessage))) {
        PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(waitingUuid);
        auto* overlay = new PCOMMON::DisabledWaitingWt(this, tr("Querying..."), QString(), false);
        waitingUuid = overlay->getUuid();
        overlay->show();
        overlay->raise();
    }
    emit sig_onSearchLogsMessage(start, end, code, QString());
}

void GetLogsDlg::slot_onClickedSearchBtn()
{
    query(ui->timeSpace->getStartTime(), ui->timeSpace->getEndTime());
}

void GetLogsDlg::slot_onLastMonthBtn()
{
    const QDateTime now = QDateTime::currentDateTime();
    query(now.addMonths(-1), now);
}

void GetLogsDlg::slot_onGetLogsResult(QStringList logs)
{
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(waitingUuid);
    ui->widget_2->updateTotalCnt(logs.size());
    if (logs.isEmpty()) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Decoder system log retrieval failed!"));
        return;
    }
    const int pageSize = ui->widget_2->getPageSize();
    QTableWidget* table = ui->tableWidget;
    table->clear();
    table->setColumnCount(2);
    table->setRowCount(pageSize);
    logLines = logs;
    showPage(ui->widget_2->getCurPageIndex(), pageSize, true);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
}

void GetLogsDlg::showPage(int page, int pageSize, bool indent)
{
    QTableWidget* table = ui->tableWidget;
    const int count = logLines.size();
    if (!indent) {
        table->clear();
        const int size = ui->widget_2->getPageSize();
        const int rest = count % size;
        table->setRowCount(page == count / size + 1 ? (rest ? rest : size) : size);
    }
    const int start = pageSize * (page - 1);
    const QString indentText = indent ? QStringLiteral("    ") : QString();
    // Columns that fit their contents would measure the page again for every cell set: they are held
    // while the page fills and measured once afterwards.
    QHeaderView* header = table->horizontalHeader();
    const QHeaderView::ResizeMode modes[] = {header->sectionResizeMode(0), header->sectionResizeMode(1)};
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (int r = 0; r < pageSize && r < table->rowCount() && start + r < count; ++r) {
        auto* number = new QTableWidgetItem(QString::number(r + 1));
        number->setTextAlignment(Qt::AlignCenter);
        table->setItem(r, 0, number);
        auto* line = new QTableWidgetItem(indentText + logLines.at(start + r));
        line->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        table->setItem(r, 1, line);
    }
    header->setSectionResizeMode(0, modes[0]);
    header->setSectionResizeMode(1, modes[1]);
    table->resizeRowsToContents();
}

void GetLogsDlg::slot_onPageSizeChanged(int pageSize)
{
    Q_UNUSED(pageSize)
    showPage(ui->widget_2->getCurPageIndex(), ui->widget_2->getPageSize(), false);
    ui->widget_2->updateTotalCnt(logLines.size());
}

bool GetLogsDlg::writeLogText(const QString& path) const
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    chunk.reserve(ExportChunkBytes + 4096);
    for (int i = 0; i < logLines.size(); ++i) {
        chunk += QByteArray::number(i);
        chunk += "------";
        chunk += logLines.at(i).toUtf8();
        chunk += '\n';
        if (chunk.size() >= ExportChunkBytes) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.resize(0);
        }
    }
    return file.write(chunk) == chunk.size();
}

void GetLogsDlg::slot_onExportLogs()
{
    const bool package = currentValue() == PackageValue;
    const QString name = suggestedName(package ? tr("%1.tgz") : tr("%1.txt"));
    const QString path = PCOMMON::PFileDialog::getSaveFileName(this, tr("save file"), name, QString(),
                                                               nullptr, QFileDialog::Options());
    if (package)
        emit sig_onSearchLogsMessage(QDateTime(), QDateTime(), PackageCode, path);
    else
        writeLogText(path);
}

} // namespace pral_matrixConfig
