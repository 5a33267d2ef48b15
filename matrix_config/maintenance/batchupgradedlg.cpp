#include "batchupgradedlg.h"
#include "ui_batchupgradedlg.h"

#include "csvtable.h"
#include "dictdef.h"
#include "firmwareimage.h"
#include "modulelook.h"
#include "pfiledialog.h"
#include "systemassistant.h"
#include "updatedecodercarddlg.h"

#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSaveFile>

namespace pral_matrixConfig {

using pral_contact::DictDef;
using pral_matrix::BatchUpgradeReport;
using pral_matrix::DecoderFirmwareInfo;
using pral_matrix::FirmwareImage;
using pral_matrix::FirmwareImageInfo;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_worker::SystemAssistant;

namespace {

enum CheckColumn
{
    CheckDecoder,
    CheckConnected,
    CheckModel,
    CheckVersion,
    CheckImage,
    CheckResult,
    CheckColumns
};

enum RunColumn
{
    RunDecoder,
    RunModel,
    RunBefore,
    RunAfter,
    RunState,
    RunTime,
    RunColumns
};

const QColor GoodColour(QStringLiteral("#3fb27f"));
const QColor BadColour(QStringLiteral("#f0a63a"));
const QColor PlainColour(QStringLiteral("#ebf3fa"));
const QColor QuietColour(QStringLiteral("#acb3be"));

MatrixSdkWorker& service()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

/** Ids of checks and starts, unique in the process: a report carries the one it answers. */
quint64 nextId()
{
    static quint64 last = 0;
    return ++last;
}

void prepareTable(QTableWidget* table, const QStringList& headings, const QList<int>& widths, int stretch)
{
    // Row heights are measured in the font the style sheet gives the table.
    table->ensurePolished();
    table->setColumnCount(headings.size());
    table->setHorizontalHeaderLabels(headings);
    table->verticalHeader()->hide();
    table->setWordWrap(true);
    table->setTextElideMode(Qt::ElideNone);
    for (int column = 0; column < widths.size(); ++column) {
        if (column == stretch)
            table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Stretch);
        else
            table->setColumnWidth(column, widths.at(column));
    }
}

void setCell(QTableWidget* table, int row, int column, const QString& text,
             const QColor& colour = PlainColour)
{
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    item->setText(text);
    item->setToolTip(text);
    item->setForeground(colour);
}

} // namespace

BatchUpgradeDlg::BatchUpgradeDlg(const QList<MatrixInfo>& decoders,
                                 std::function<void(const QString&)> reconnect, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::BatchUpgradeDlg)
    , reconnect(std::move(reconnect))
{
    ui->setupUi(this);
    setWindowTitle(tr("Upgrade firmware"));
    setBackgroundColor(QColor(QStringLiteral("#172335")));
    setTitleHeight(35);
    fillBackground(ui->widget_top_bg, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_center_bg, QStringLiteral("#172335"));
    fillBackground(ui->widget_bottom_bg, QStringLiteral("#172335"));
    ui->label->setProperty("common_label_style1", true);
    ui->closeBt->setProperty("common_close_bt_style1", true);
    ui->startBt->setProperty("common_bt_style1", true);
    ui->retryBt->setProperty("common_bt_style1", true);
    ui->cancelBt->setProperty("common_bt_style2", true);
    ui->exportBt->setProperty("common_bt_style2", true);
    ui->okBt->setProperty("common_bt_style2", true);
    ui->summaryLabel->setStyleSheet(QStringLiteral("QLabel{color:#acb3be;font-size:13px;}"));
    ui->filePath->setPlaceholderText(tr("Please select the decoder file"));
    ui->filePath->setReadOnly(true);
    // The host's style gives edit fields their dark face; the arrows need one that shows on it.
    ui->concurrencySpin->setStyleSheet(QStringLiteral(
        "QSpinBox{padding-right:18px;}"
        "QSpinBox::up-button,QSpinBox::down-button{subcontrol-origin:border;width:18px;border:none;"
        "background:#1c2a40;}"
        "QSpinBox::up-button{subcontrol-position:top right;}"
        "QSpinBox::down-button{subcontrol-position:bottom right;}"
        "QSpinBox::up-button:hover,QSpinBox::down-button:hover{background:#266baf;}"
        "QSpinBox::up-arrow{image:url(:/images/images/arrow_up_n.png);width:10px;height:10px;}"
        "QSpinBox::down-arrow{image:url(:/images/images/arrow_down_n.png);width:10px;height:10px;}"));
    ui->concurrencySpin->setValue(DefaultConcurrency);
    ui->concurrencySpin->setToolTip(
        tr("How many decoders are out of service at once, from their upload until they are checked back"));

    prepareTable(
        ui->checkTable,
        {tr("Decoder"), tr("Connected"), tr("Model"), tr("Running version"), tr("Image"), tr("Check")},
        {110, 80, 90, 160, 80, 0}, CheckResult);
    prepareTable(ui->runTable,
                 {tr("Decoder"), tr("Model"), tr("Before"), tr("After"), tr("State"), tr("Time")},
                 {120, 96, 160, 160, 0, 86}, RunState);

    for (const MatrixInfo& decoder : decoders) {
        Row row;
        row.decoder = decoder;
        row.before = decoder.version;
        rows.append(row);
        const int index = ui->checkTable->rowCount();
        ui->checkTable->insertRow(index);
        showCheckRow(index);
    }
    ui->pages->setCurrentWidget(ui->checkPage);

    // Rows are measured again whenever a table's width changes (laid out, a scroll bar that comes or goes).
    ui->checkTable->viewport()->installEventFilter(this);
    ui->runTable->viewport()->installEventFilter(this);

    connect(ui->filePath, &PCOMMON::SelDirLineEt::signalClicked, this, &BatchUpgradeDlg::slotOnFileDlg);
    connect(ui->startBt, &QPushButton::clicked, this, &BatchUpgradeDlg::slotOnStartBt);
    connect(ui->retryBt, &QPushButton::clicked, this, &BatchUpgradeDlg::slotOnRetryBt);
    connect(ui->cancelBt, &QPushButton::clicked, this, &BatchUpgradeDlg::slotOnCancelBt);
    connect(ui->exportBt, &QPushButton::clicked, this, &BatchUpgradeDlg::slotOnExportBt);
    connect(ui->okBt, &QPushButton::clicked, this, &BatchUpgradeDlg::slotOnCloseBt);
    connect(ui->closeBt, &QPushButton::clicked, this, &BatchUpgradeDlg::slotOnCloseBt);
    connect(ui->concurrencySpin, qOverload<int>(&QSpinBox::valueChanged), this, [this] {
        startWaiting();
        updateSummary();
    });
    // Queued: the service's thread never waits for this window, whatever it shows.
    MatrixSdkWorker* worker = &service();
    connect(worker, &MatrixSdkWorker::signalFirmwareCheckResult, this, &BatchUpgradeDlg::onCheckResult,
            Qt::QueuedConnection);
    connect(worker, &MatrixSdkWorker::signalBatchUpgradeReport, this, &BatchUpgradeDlg::onReport,
            Qt::QueuedConnection);
    updateSummary();
    updateButtons();
}

BatchUpgradeDlg::~BatchUpgradeDlg()
{
    // The tables go with the children, after this dialog's own part: they must not call back here.
    ui->checkTable->viewport()->removeEventFilter(this);
    ui->runTable->viewport()->removeEventFilter(this);
    delete ui;
}

// ---- checks ----

void BatchUpgradeDlg::slotOnFileDlg()
{
    if (runStarted)
        return;
    const QString chosen =
        PCOMMON::PFileDialog::getOpenFileName(this, tr("Select the directory"), QString(), QString());
    if (!chosen.isEmpty())
        chooseImage(chosen);
}

void BatchUpgradeDlg::chooseImage(const QString& chosen)
{
    if (runStarted)
        return;
    path = QDir::toNativeSeparators(chosen);
    ui->filePath->setText(path);
    image = FirmwareImageInfo();
    checkRun = nextId();
    QStringList ips;
    for (int i = 0; i < rows.size(); ++i) {
        rows[i].state = State::Checking;
        ips.append(rows.at(i).decoder.ip);
        showCheckRow(i);
    }
    service().checkFirmware(ips, chosen, checkRun);
    updateSummary();
    updateButtons();
}

void BatchUpgradeDlg::onCheckResult(quint64 run, const FirmwareImageInfo& checked,
                                    const QList<DecoderFirmwareInfo>& decoders)
{
    if (run != checkRun || runStarted)
        return;
    image = checked;
    for (int i = 0; i < rows.size(); ++i) {
        Row& row = rows[i];
        const auto found =
            std::find_if(decoders.begin(), decoders.end(),
                         [&row](const DecoderFirmwareInfo& d) { return d.ip == row.decoder.ip; });
        DecoderFirmwareInfo decoder = found == decoders.end() ? DecoderFirmwareInfo() : *found;
        decoder.ip = row.decoder.ip;
        row.connected = decoder.connected;
        row.model = decoder.model;
        if (decoder.connected)
            row.before = decoder.version;
        const QString reason = leftOutReason(decoder);
        row.state = reason.isEmpty() ? State::Ready : State::LeftOut;
        row.outcome = reason;
        row.at = reason.isEmpty() ? QDateTime() : QDateTime::currentDateTime();
        showCheckRow(i);
    }
    updateSummary();
    updateButtons();
}

QString BatchUpgradeDlg::leftOutReason(const DecoderFirmwareInfo& decoder) const
{
    if (!image.sound)
        return tr("the image is damaged: %1").arg(image.problem);
    if (!decoder.connected)
        return tr("not connected");
    if (decoder.model.isEmpty())
        return tr("the decoder does not tell its model");
    if (decoder.model != image.model)
        return tr("the image is made for %1, not for %2").arg(image.model, decoder.model);
    bool comparable = true;
    const int newer = FirmwareImage::compareVersions(image.version, decoder.version, &comparable);
    if (newer == 0)
        return tr("latest: it runs %1 already").arg(decoder.version);
    if (!comparable)
        return tr("the versions %1 and %2 cannot be compared").arg(image.version, decoder.version);
    if (newer < 0)
        return tr("the image's %1 is older than the running %2").arg(image.version, decoder.version);
    return QString();
}

void BatchUpgradeDlg::showCheckRow(int index)
{
    const Row& row = rows.at(index);
    QTableWidget* table = ui->checkTable;
    const bool checked = row.state == State::Ready || row.state == State::LeftOut;
    setCell(table, index, CheckDecoder, row.decoder.ip);
    if (!checked) {
        for (int column = CheckConnected; column < CheckResult; ++column)
            setCell(table, index, column, QString());
        setCell(table, index, CheckResult,
                row.state == State::Checking ? tr("checking...") : tr("choose an image"), QuietColour);
        table->resizeRowToContents(index);
        return;
    }
    setCell(table, index, CheckConnected, row.connected ? tr("yes") : tr("no"),
            row.connected ? GoodColour : BadColour);
    const bool modelFits = !row.model.isEmpty() && row.model == image.model;
    setCell(table, index, CheckModel, row.model, modelFits ? GoodColour : BadColour);
    bool comparable = true;
    const bool newer = row.connected &&
                       FirmwareImage::compareVersions(image.version, row.before, &comparable) > 0 &&
                       comparable;
    setCell(table, index, CheckVersion, row.connected ? row.before : QString(),
            newer ? GoodColour : BadColour);
    setCell(table, index, CheckImage, image.sound ? tr("sound") : tr("damaged"),
            image.sound ? GoodColour : BadColour);
    setCell(table, index, CheckResult,
            row.state == State::Ready ? tr("ready") : tr("left out: %1").arg(row.outcome),
            row.state == State::Ready ? GoodColour : BadColour);
    table->resizeRowToContents(index);
}

// ---- the run ----

bool BatchUpgradeDlg::refusedByOtherWindow() const
{
    if (!exclusion.otherOpen())
        return false;
    SystemAssistant::messageAlert(DictDef::alertNotice, UpgradeExclusion::refusal());
    return true;
}

void BatchUpgradeDlg::slotOnStartBt()
{
    if (runStarted)
        return;
    const bool anyReady =
        std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.state == State::Ready; });
    if (!anyReady) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("No decoder can take this image."));
        return;
    }
    if (refusedByOtherWindow())
        return;
    runStarted = true;
    ui->filePath->setEnabled(false);
    // The run's table: the decoders upgraded in the order they were listed, then those left out.
    QTableWidget* table = ui->runTable;
    for (const bool ready : {true, false}) {
        for (Row& row : rows) {
            if (row.state != (ready ? State::Ready : State::LeftOut))
                continue;
            if (ready)
                row.state = State::Waiting;
            row.runRow = table->rowCount();
            table->insertRow(row.runRow);
            showRunRow(row);
        }
    }
    ui->pages->setCurrentWidget(ui->runPage);
    startWaiting();
    updateSummary();
    updateButtons();
}

void BatchUpgradeDlg::startWaiting()
{
    if (!runStarted)
        return;
    int running = runningCount();
    for (Row& row : rows) {
        if (running >= ui->concurrencySpin->value())
            break;
        if (row.state != State::Waiting)
            continue;
        row.state = State::Sending;
        row.percent = 0;
        row.after.clear();
        row.outcome.clear();
        row.at = QDateTime();
        row.attempt = nextId();
        MatrixInfo decoder = row.decoder;
        decoder.version = row.before;
        service().upgradeDecoder(decoder, path, row.attempt);
        ++running;
        showRunRow(row);
    }
}

void BatchUpgradeDlg::onReport(const BatchUpgradeReport& report)
{
    const auto it = std::find_if(rows.begin(), rows.end(), [&report](const Row& r) {
        return r.attempt == report.run && r.decoder.ip == report.ip;
    });
    if (it == rows.end())
        return;
    Row& row = *it;
    const bool running =
        row.state == State::Sending || row.state == State::Restarting || row.state == State::Verifying;
    if (!running)
        return;
    switch (report.stage) {
    case BatchUpgradeReport::Sending:
        row.percent = report.percent;
        break;
    case BatchUpgradeReport::Restarting:
        row.state = State::Restarting;
        break;
    case BatchUpgradeReport::Verifying:
        row.state = State::Verifying;
        break;
    case BatchUpgradeReport::Done:
        row.after = report.version;
        end(row, State::Done,
            report.latest           ? tr("latest: it runs %1 already").arg(report.version)
            : report.text.isEmpty() ? tr("done")
                                    : tr("done: %1").arg(report.text));
        break;
    case BatchUpgradeReport::Failed:
        row.after = report.version;
        end(row, State::Failed, tr("failed: %1").arg(failureText(report)));
        break;
    }
    // A decoder that answered after its restart has lost the list's connection: it is logged in again.
    if (report.ended() && !report.latest && !report.version.isEmpty() && reconnect)
        reconnect(row.decoder.ip);
    showRunRow(row);
    if (report.ended()) {
        startWaiting();
        updateSummary();
        updateButtons();
    }
}

QString BatchUpgradeDlg::failureText(const BatchUpgradeReport& report) const
{
    if (report.code > 0) {
        const QString text = UpdateDecoderCardDlg::errorText(report.code);
        return text.isEmpty() ? tr("error code %1").arg(report.code) : text;
    }
    switch (report.code) {
    case 0:
        return report.text;
    case pral_matrix::RESULT_BAD_ARGUMENT:
        return tr("the decoder refused the image");
    case pral_matrix::RESULT_UNAVAILABLE:
        return tr("the decoder is taking another image");
    case pral_matrix::RESULT_NO_DEVICE:
    case pral_matrix::RESULT_BAD_HANDLE:
        return tr("not connected");
    default:
        return tr("the upgrade could not start (%1)").arg(report.code);
    }
}

void BatchUpgradeDlg::end(Row& row, State state, const QString& outcome)
{
    row.state = state;
    row.outcome = outcome;
    row.at = QDateTime::currentDateTime();
}

int BatchUpgradeDlg::runningCount() const
{
    return int(std::count_if(rows.begin(), rows.end(), [](const Row& r) {
        return r.state == State::Sending || r.state == State::Restarting || r.state == State::Verifying;
    }));
}

bool BatchUpgradeDlg::anyWaiting() const
{
    return std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.state == State::Waiting; });
}

void BatchUpgradeDlg::slotOnRetryBt()
{
    const bool anyFailed =
        std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.state == State::Failed; });
    if (!runStarted || !anyFailed || refusedByOtherWindow())
        return;
    for (Row& row : rows) {
        if (row.state != State::Failed)
            continue;
        row.state = State::Waiting;
        row.outcome.clear();
        row.after.clear();
        row.at = QDateTime();
        showRunRow(row);
    }
    startWaiting();
    updateSummary();
    updateButtons();
}

void BatchUpgradeDlg::slotOnCancelBt()
{
    for (Row& row : rows) {
        if (row.state != State::Waiting)
            continue;
        end(row, State::Cancelled, tr("cancelled before it started"));
        showRunRow(row);
    }
    updateSummary();
    updateButtons();
}

void BatchUpgradeDlg::slotOnCloseBt()
{
    const int running = runningCount();
    if (running == 0) {
        reject();
        return;
    }
    // As with "cancel": what has not started stays so, and what is under way is never cut off.
    slotOnCancelBt();
    SystemAssistant::messageAlert(
        DictDef::alertNotice,
        tr("%1 upgrade(s) under way cannot be interrupted: the window can be closed once they have ended.")
            .arg(running));
}

bool BatchUpgradeDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        for (QTableWidget* table : {ui->checkTable, ui->runTable}) {
            if (watched == table->viewport())
                table->resizeRowsToContents();
        }
    }
    return PCOMMON::CommonDialog::eventFilter(watched, event);
}

void BatchUpgradeDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape would reject the dialog behind the back of the close rule.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        slotOnCloseBt();
        return;
    }
    PCOMMON::CommonDialog::keyPressEvent(event);
}

void BatchUpgradeDlg::closeEvent(QCloseEvent* event)
{
    if (runningCount() > 0) {
        event->ignore();
        slotOnCloseBt();
        return;
    }
    PCOMMON::CommonDialog::closeEvent(event);
}

// ---- what the operator sees ----

QString BatchUpgradeDlg::stateText(const Row& row) const
{
    switch (row.state) {
    case State::Waiting:
        return tr("waiting");
    case State::Sending:
        return tr("sending %1%").arg(row.percent);
    case State::Restarting:
        return tr("restarting");
    case State::Verifying:
        return tr("verifying");
    case State::LeftOut:
        return tr("left out: %1").arg(row.outcome);
    case State::Done:
    case State::Failed:
    case State::Cancelled:
        return row.outcome;
    case State::Unchecked:
    case State::Checking:
    case State::Ready:
        break;
    }
    return QString();
}

void BatchUpgradeDlg::showRunRow(const Row& row)
{
    if (row.runRow < 0)
        return;
    QTableWidget* table = ui->runTable;
    const int r = row.runRow;
    const QColor stateColour =
        row.state == State::Done     ? GoodColour
        : row.state == State::Failed ? BadColour
        : row.state == State::Waiting || row.state == State::LeftOut || row.state == State::Cancelled
            ? QuietColour
            : PlainColour;
    setCell(table, r, RunDecoder, row.decoder.ip);
    setCell(table, r, RunModel, row.model);
    setCell(table, r, RunBefore, row.before);
    setCell(table, r, RunAfter, row.after, row.state == State::Done ? GoodColour : PlainColour);
    setCell(table, r, RunState, stateText(row), stateColour);
    setCell(table, r, RunTime, row.at.isValid() ? row.at.toString(QStringLiteral("HH:mm:ss")) : QString(),
            QuietColour);
    // Only this row: a list of hundreds is not measured again for every report.
    table->resizeRowToContents(r);
}

void BatchUpgradeDlg::updateSummary()
{
    if (!runStarted) {
        const int ready = int(
            std::count_if(rows.begin(), rows.end(), [](const Row& r) { return r.state == State::Ready; }));
        const bool checked = std::any_of(rows.begin(), rows.end(), [](const Row& r) {
            return r.state == State::Ready || r.state == State::LeftOut;
        });
        if (path.isEmpty())
            ui->summaryLabel->setText(
                tr("Choose the firmware image for the %1 decoder(s) chosen.").arg(rows.size()));
        else if (!checked)
            ui->summaryLabel->setText(tr("Checking the image and the decoders..."));
        else if (!image.sound)
            ui->summaryLabel->setText(tr("The image cannot be used: %1").arg(image.problem));
        else
            ui->summaryLabel->setText(tr("The image installs %1 on %2: %3 of %4 decoder(s) can take it; the "
                                         "others are left out, each with the reason.")
                                          .arg(image.version, image.model)
                                          .arg(ready)
                                          .arg(rows.size()));
        ui->runProgress->hide();
        return;
    }
    int total = 0;
    int done = 0;
    int failed = 0;
    int waiting = 0;
    int ended = 0;
    for (const Row& row : qAsConst(rows)) {
        if (row.state == State::LeftOut)
            continue;
        ++total;
        done += row.state == State::Done ? 1 : 0;
        failed += row.state == State::Failed ? 1 : 0;
        waiting += row.state == State::Waiting ? 1 : 0;
        ended +=
            row.state == State::Done || row.state == State::Failed || row.state == State::Cancelled ? 1 : 0;
    }
    ui->summaryLabel->setText(
        tr("%1 of %2 decoder(s) upgraded, %3 failed, %4 under way, %5 waiting; at most %6 at a time.")
            .arg(done)
            .arg(total)
            .arg(failed)
            .arg(runningCount())
            .arg(waiting)
            .arg(ui->concurrencySpin->value()));
    ui->runProgress->show();
    ui->runProgress->setRange(0, qMax(1, total));
    ui->runProgress->setValue(ended);
}

void BatchUpgradeDlg::updateButtons()
{
    const bool ready =
        std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.state == State::Ready; });
    const bool failed =
        std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.state == State::Failed; });
    ui->startBt->setVisible(!runStarted);
    ui->startBt->setEnabled(ready);
    ui->retryBt->setVisible(runStarted);
    ui->retryBt->setEnabled(failed);
    ui->cancelBt->setVisible(runStarted);
    ui->cancelBt->setEnabled(anyWaiting());
    ui->exportBt->setVisible(runStarted);
}

// ---- export ----

QByteArray BatchUpgradeDlg::csv() const
{
    // Field names for the programs that read the file; the texts are the operator's.
    QList<QStringList> table{{QStringLiteral("decoder"), QStringLiteral("model"), QStringLiteral("before"),
                              QStringLiteral("after"), QStringLiteral("outcome"), QStringLiteral("time")}};
    QList<const Row*> ordered;
    for (const Row& row : rows) {
        if (row.runRow >= 0)
            ordered.append(&row);
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const Row* a, const Row* b) { return a->runRow < b->runRow; });
    for (const Row* row : qAsConst(ordered))
        table.append({row->decoder.ip, row->model, row->before, row->after, stateText(*row),
                      row->at.isValid()
                          ? row->at.toOffsetFromUtc(row->at.offsetFromUtc()).toString(Qt::ISODate)
                          : QString()});
    return CsvTable::encode(table);
}

void BatchUpgradeDlg::slotOnExportBt()
{
    const QString name = QStringLiteral("firmware-upgrade-%1.csv")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString target = PCOMMON::PFileDialog::getSaveFileName(
        this, tr("save file"),
        QDir(PCOMMON::PFileDialog::saveStartFolder(QDir::currentPath())).filePath(name),
        tr("CSV file (*.csv)"));
    if (target.isEmpty())
        return;
    QSaveFile file(target);
    const QByteArray bytes = csv();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        SystemAssistant::messageAlert(
            DictDef::alertNotice,
            tr("The results could not be written to %1.").arg(QDir::toNativeSeparators(target)));
        return;
    }
    SystemAssistant::messageAlert(DictDef::alertSuccess,
                                  tr("The results are in %1.").arg(QDir::toNativeSeparators(target)));
}

} // namespace pral_matrixConfig
