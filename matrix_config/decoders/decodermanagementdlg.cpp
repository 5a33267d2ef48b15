#include "decodermanagementdlg.h"
#include "ui_decodermanagementdlg.h"

#include "batchupgradedlg.h"
#include "connectstatetipwt.h"
#include "decoderconfigdlg.h"
#include "decodernetworkconfigdlg.h"
#include "decoderoprwt.h"
#include "decoderwatchview.h"
#include "devactivedlg.h"
#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "dlgmaskwt.h"
#include "matrixinfosyncdlg.h"
#include "modulelook.h"
#include "pmessagebox.h"
#include "systemassistant.h"
#include "userlogindlg.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTextLayout>

namespace pral_matrixConfig {

using pral_contact::DictDef;
using pral_matrix::ConnectErrorMsgInfo;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_worker::SystemAssistant;

namespace {

constexpr int RowHeight = 30;
constexpr int ColumnCount = 7;
constexpr int CheckColumn = 0;
constexpr int NumberColumn = 1;
constexpr int IpColumn = 2;
constexpr int ChannelColumn = 3;
constexpr int VersionColumn = 4;
constexpr int StatusColumn = 5;
constexpr int OperColumn = 6;
constexpr int DeviceIdRole = Qt::UserRole + 1;
constexpr int IpRole = Qt::UserRole + 2;
// Rows without widgets keep what their widgets would show: the check of column 0, the activation of column 6.
constexpr int CheckedRole = Qt::UserRole + 3;
constexpr int ActivatedRole = Qt::UserRole + 1;

MatrixSdkWorker& service()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

QTableWidgetItem* centredItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

// A header of a narrow column ("Channels Cnt") may take two lines, but no word may be cut: the font
// shrinks until the longest word fits, and the tooltip keeps the whole text.
void fitHeaderLabel(QLabel* label, int width)
{
    constexpr int HeaderPixelSize = 13;
    constexpr int SmallestPixelSize = 9;
    constexpr int Padding = 6;
    label->setWordWrap(true);
    label->setToolTip(label->text());
    QFont font = label->font();
    int size = HeaderPixelSize;
    for (; size > SmallestPixelSize; --size) {
        font.setPixelSize(size);
        const QFontMetrics metrics(font);
        int widest = 0;
        const QStringList words = label->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& word : words)
            widest = qMax(widest, metrics.horizontalAdvance(word));
        if (widest + Padding <= width)
            break;
    }
    if (size < HeaderPixelSize)
        label->setStyleSheet(QStringLiteral("font-size:%1px;").arg(size));
}

// A cell text too long for its column (a version with its build) wraps at its spaces, in a font just
// small enough for its lines to fit the room the style gives the text in the row: the whole text stays in
// view, not one hover away. A fleet's rows mostly share a few versions, so the size found for a text is
// kept in sizes (valid while the column's width and the view's font stay as they are): laying out every
// row's text at every size took most of the time a list of thousands needed to appear.
void fitCellText(QTableWidgetItem* item, QTableWidget* table, int column, QHash<QString, int>* sizes)
{
    constexpr int SmallestPixelSize = 9;
    table->ensurePolished(); // the view's font may come from a style sheet
    QFont font = table->font();
    const int viewSize = QFontInfo(font).pixelSize();
    const auto known = sizes->constFind(item->text());
    if (known != sizes->constEnd()) {
        if (*known != viewSize) {
            font.setPixelSize(*known);
            item->setFont(font);
        }
        return;
    }
    QStyleOptionViewItem view;
    view.initFrom(table);
    view.rect = QRect(0, 0, table->columnWidth(column), RowHeight);
    view.text = item->text();
    view.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::WrapText;
    view.displayAlignment = Qt::Alignment(item->textAlignment());
    // What the item delegate keeps free on either side of a cell's text.
    const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    const int width = view.rect.width() - 2 * margin;
    for (int size = viewSize; size >= SmallestPixelSize; --size) {
        font.setPixelSize(size);
        view.font = font;
        const int height = table->style()->subElementRect(QStyle::SE_ItemViewItemText, &view, table).height();
        // Laid out in lines as the delegate lays it out.
        QTextLayout layout(item->text(), font);
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(wrap);
        layout.beginLayout();
        qreal bottom = 0;
        qreal widest = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            bottom += line.height();
            widest = qMax(widest, line.naturalTextWidth());
        }
        layout.endLayout();
        if (widest <= width && bottom <= height)
            break;
    }
    // A view font already under the smallest size is kept as it is.
    const int chosen = font.pixelSize() > 0 ? font.pixelSize() : viewSize;
    sizes->insert(item->text(), chosen);
    if (chosen != viewSize)
        item->setFont(font);
}

// The decoder fills its fixed-size fields itself; one without a terminator must not be read past its end.
QString fieldText(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

template <size_t N>
QString fieldText(const char (&field)[N])
{
    return fieldText(field, N);
}

} // namespace

DecoderManagementDlg::DecoderManagementDlg(MatrixInfoMap matrixInfoMap, MatrixInfoMap managedMatrixInfoMap,
                                           bool searchMode, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::DecoderManagementDlg)
    , searchMode(searchMode)
    , matrixInfoMap(matrixInfoMap)
    , managedMatrixInfoMap(std::move(managedMatrixInfoMap))
{
    ui->setupUi(this);
    setBackgroundColor(QColor(QStringLiteral("#172335")));
    fillBackground(ui->widget_top, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_center, QStringLiteral("#172335"));
    fillBackground(ui->widget_bottom, QStringLiteral("#172335"));
    // The table grows with its rows and scrolls inside this area, under the fixed header bar.
    ui->tableScrollArea->setFrameShape(QFrame::NoFrame);
    QPalette listPalette = ui->tableScrollContents->palette();
    listPalette.setColor(QPalette::Window, QColor(QStringLiteral("#141f30")));
    ui->tableScrollContents->setPalette(listPalette);
    ui->tableScrollContents->setAutoFillBackground(true);
    ui->manageTableHeadWt->setAttribute(Qt::WA_StyledBackground);
    ui->manageTableHeadWt->setStyleSheet(
        QStringLiteral("QWidget#manageTableHeadWt{background-color:#141f30;border:1px solid #0f1526;}"
                       "QLabel{color:#6c7586;font-size:13px;background-color:#141f30;"
                       "border-left:1px solid #0f1526;}"));
    ui->label_2->setStyleSheet(QStringLiteral("QLabel{color:#ebf3fa;font-size:14px;}"));
    ui->saveBtn->setProperty("common_bt_style1", true);
    ui->searchBtn->setProperty("common_bt_style1", true);
    ui->patchChangePwdBtn->setProperty("common_bt_style1", true);
    ui->upgradeFirmwareBtn->setProperty("common_bt_style1", true);
    ui->cancelBtn->setProperty("common_bt_style2", true);
    const QString toolStyle = QStringLiteral("QPushButton{background:transparent;color:#ebf3fa;border:none;"
                                             "font-size:13px;}QPushButton:hover{color:#266baf;}");
    ui->refreshBtn->setStyleSheet(toolStyle);
    ui->pathActiveBtn->setStyleSheet(toolStyle);

    prepareTable();
    // Row widgets are made for the rows the list area shows, when it shows them.
    ui->tableScrollArea->viewport()->installEventFilter(this);
    connect(ui->tableScrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &DecoderManagementDlg::ensureRowWidgets);

    // The results must find this dialog connected before the rows below start their connections: the
    // service may answer before the constructor returns.
    MatrixSdkWorker* worker = &service();
    connect(worker, &MatrixSdkWorker::signalConnectMatrixResult, this,
            &DecoderManagementDlg::slot_connectMatrixResult, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalConnectErrorMsg, this,
            &DecoderManagementDlg::slot_connectErrorMsg, Qt::BlockingQueuedConnection);
    connect(worker, SIGNAL(signalSearchMatrixResult(const MatrixInfoMap&)), this,
            SLOT(slot_searchMatrixFinished(MatrixInfoMap)));
    connect(worker, &MatrixSdkWorker::signalGetLayoutInfoResult, this,
            &DecoderManagementDlg::slotGetLayoutInfoResult, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalUserPasswordModifyResult, this,
            &DecoderManagementDlg::slotOnAlterPasswordResult, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalSetMatrixNetworkResult, this,
            &DecoderManagementDlg::slotOnSetMatrixNetworkResult, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalDisconnectMatrixResult, this,
            &DecoderManagementDlg::slot_onDisconnectMatrixResult, Qt::BlockingQueuedConnection);
    connect(worker, SIGNAL(signalDisconnectStatus(CMHandle, QString)), this,
            SLOT(slotDisconnectStatus(CMHandle, QString)));
    connect(worker, &MatrixSdkWorker::signalGetMatrixNetworkResult, this,
            &DecoderManagementDlg::slotOnGetMatrixNetworkResult, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalMatrixFactoryResetResult, this,
            &DecoderManagementDlg::slotOnMatrixFactoryResetResult, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalActiveDecoderFinished, this,
            &DecoderManagementDlg::slotOnActiveDecoderResult, Qt::BlockingQueuedConnection);

    if (this->searchMode) {
        setWindowTitle(tr("Search Decoder"));
        ui->label->setText(tr("Search Decoder"));
        ui->saveBtn->setText(tr("Add"));
        ui->searchBtn->hide();
        ui->patchChangePwdBtn->hide();
        ui->upgradeFirmwareBtn->hide();
        addDecoderRows(this->matrixInfoMap, true);
        ui->managedDecoderStatus->setText(tr("Active status"));
        ui->refreshBtn->setIcon(QIcon(QStringLiteral(":/matrixConfig_images/images/refresh.png")));
        ui->pathActiveBtn->setIcon(QIcon(QStringLiteral(":/matrixConfig_images/images/active.png")));
    } else {
        setWindowTitle(tr("Decoder Management"));
        ui->label->setText(tr("Decoder Management"));
        ui->refreshBtn->hide();
        ui->pathActiveBtn->hide();
        addDecoderRows(this->matrixInfoMap, true);
        ui->cancelBtn->hide();
        connectStateTipWt = new pral_matrix::ConnectStateTipWt(nullptr);
        connect(connectStateTipWt, &pral_matrix::ConnectStateTipWt::singalReconnect, this,
                &DecoderManagementDlg::slotTipReconnect);
        connect(connectStateTipWt, &pral_matrix::ConnectStateTipWt::signalHideWt, this,
                &DecoderManagementDlg::slotTipHidden);
    }

    // Decoders watched after a change carry a mark beside their number, where it cuts no status word; the
    // page's list also tells the operator how each watch ended.
    watches = new DecoderWatchView(
        ui->decoderTableWidget, NumberColumn, [this](const QString& ip) { return rowOfIp(ip); },
        !this->searchMode, this);

    connect(ui->saveBtn, SIGNAL(clicked()), this, SLOT(slot_saveBtnClieked()));
    connect(ui->searchBtn, SIGNAL(clicked()), this, SLOT(slot_searchBtnClieked()));
    connect(ui->refreshBtn, SIGNAL(clicked()), this, SLOT(slot_searchBtnClieked()));
    connect(ui->patchChangePwdBtn, SIGNAL(clicked()), this, SLOT(slot_patchChangePwdBtnClieked()));
    connect(ui->upgradeFirmwareBtn, &QPushButton::clicked, this,
            &DecoderManagementDlg::slotUpgradeFirmwareBtnClicked);
    connect(ui->selectAllCheckBox, SIGNAL(clicked(bool)), this, SLOT(slot_checkAllStateChanged(bool)));
    if (!this->searchMode)
        connect(ui->decoderTableWidget, SIGNAL(itemDoubleClicked(QTableWidgetItem*)), this,
                SLOT(slot_tableItemDbClicked(QTableWidgetItem*)));
    connect(ui->pathActiveBtn, SIGNAL(clicked(bool)), this, SLOT(slot_activeBtnClicked(bool)));
    connect(ui->cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

DecoderManagementDlg::~DecoderManagementDlg()
{
    // The list area goes with the children, after this dialog's own part: it must not call back here.
    ui->tableScrollArea->viewport()->removeEventFilter(this);
    disconnect(ui->tableScrollArea->verticalScrollBar(), nullptr, this, nullptr);
    delete connectStateTipWt;
    delete ui;
}

void DecoderManagementDlg::showEvent(QShowEvent* event)
{
    // The page centres the dialog once when it makes it; later showings keep where the operator left it.
    Q_UNUSED(event)
}

bool DecoderManagementDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->tableScrollArea->viewport() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        ensureRowWidgets();
    return PCOMMON::CommonDialog::eventFilter(watched, event);
}

// ---- table ----

void DecoderManagementDlg::prepareTable()
{
    QTableWidget* table = ui->decoderTableWidget;
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->setFixedHeight(0);
    table->setColumnCount(ColumnCount);
    // Row check boxes line up with the select-all box above them,
    // and the row buttons keep their flat look without a frame.
    table->setStyleSheet(table->styleSheet() +
                         QStringLiteral("QCheckBox{padding-left:25px;}"
                                        "QPushButton{border:none;padding:0px 2px;font-size:13px;}"
                                        "QPushButton:hover{color:#3a82c8;}"));

    const int w = table->maximumWidth() < QWIDGETSIZE_MAX ? table->maximumWidth() : table->width();
    const int u = w / 14;
    const int widths[ColumnCount] = {u, u, 2 * u, u, 2 * u, 2 * u, w - 9 * u};
    QWidget* heads[ColumnCount] = {ui->selectAllCheckBox,     ui->managedDecoderNumber,
                                   ui->managedDecoderIp,      ui->managedDecoderChannels,
                                   ui->managedDecoderVersion, ui->managedDecoderStatus,
                                   ui->managedDecoderOper};
    for (int column = 0; column < ColumnCount; ++column) {
        table->setColumnWidth(column, widths[column]);
        heads[column]->setFixedWidth(widths[column]);
        if (auto* label = qobject_cast<QLabel*>(heads[column]))
            fitHeaderLabel(label, widths[column]);
    }
}

void DecoderManagementDlg::addDecoderRows(const MatrixInfoMap& matrixInfoMapToAdd, bool initial)
{
    // The rows may come from the decoder map itself, which grows below.
    const MatrixInfoMap decoders = matrixInfoMapToAdd;
    QTableWidget* table = ui->decoderTableWidget;
    // Rows appear all at once rather than one repaint per row.
    table->setUpdatesEnabled(false);
    QHash<QString, int> versionSizes;
    for (auto it = decoders.constBegin(); it != decoders.constEnd(); ++it) {
        const QString& ip = it.key();
        const MatrixInfo& record = it.value();
        if (!searchMode && !initial && matrixInfoMap.contains(ip))
            break;
        listChanged = true;
        matrixInfoMap.insert(ip, record);

        const int row = table->rowCount();
        table->insertRow(row);
        table->setRowHeight(row, RowHeight);

        auto* checkItem = new QTableWidgetItem;
        checkItem->setData(DeviceIdRole, record.deviceId);
        checkItem->setData(IpRole, record.ip);
        table->setItem(row, CheckColumn, checkItem);

        table->setItem(row, NumberColumn, centredItem(QString::number(row + 1)));
        table->setItem(row, IpColumn, centredItem(record.ip));
        table->setItem(row, ChannelColumn, centredItem(QString::number(record.channelCount)));
        // A device that answered a search but shows no video (a camera) is no decoder: its row says so,
        // and the page never offers it for a wall.
        const bool noOutput = record.matrixType == pral_matrix::MATRIX_TYPE_NO_OUTPUT;
        const QString version = !noOutput                  ? record.version
                                : record.version.isEmpty() ? tr("no video output")
                                                           : tr("%1, no video output").arg(record.version);
        table->setItem(row, VersionColumn, centredItem(version));
        fitCellText(table->item(row, VersionColumn), table, VersionColumn, &versionSizes);
        table->item(row, VersionColumn)
            ->setToolTip(noOutput ? tr("This device has no video output: it can be managed here, but not "
                                       "used in a TV wall.")
                                  : record.version);
        const QString status = !searchMode        ? tr("connecting")
                               : record.activated ? tr("activated")
                                                  : tr("unactivated");
        table->setItem(row, StatusColumn, centredItem(status));

        auto* oprItem = new QTableWidgetItem;
        oprItem->setData(ActivatedRole, record.activated);
        table->setItem(row, OperColumn, oprItem);

        if (!searchMode)
            service().connectMatrix(record, this);
    }
    table->setFixedHeight(table->rowCount() * RowHeight);
    table->setUpdatesEnabled(true);
    ensureRowWidgets();
}

void DecoderManagementDlg::ensureRowWidgets()
{
    // A list of thousands would take seconds to make a check box and a button bar for every row; the rows
    // in view get theirs, and keep them. Before the dialog is laid out, the rows a full list area shows.
    QTableWidget* table = ui->decoderTableWidget;
    const QWidget* area = ui->tableScrollArea->viewport();
    int top = 0;
    int bottom = height();
    if (area->isVisible()) {
        top = qMax(0, table->viewport()->mapFrom(area, QPoint(0, 0)).y());
        bottom = top + area->height();
    }
    const int last = qMin(table->rowCount() - 1, (bottom - 1) / RowHeight);
    for (int row = top / RowHeight; row <= last; ++row) {
        if (!table->cellWidget(row, CheckColumn))
            makeRowWidgets(row);
    }
}

void DecoderManagementDlg::makeRowWidgets(int row)
{
    QTableWidget* table = ui->decoderTableWidget;
    auto* checkBox = new QCheckBox(table);
    checkBox->setFocusPolicy(Qt::NoFocus);
    checkBox->setChecked(table->item(row, CheckColumn)->data(CheckedRole).toBool());
    connect(checkBox, &QCheckBox::stateChanged, this, &DecoderManagementDlg::slotRowCheckStateChanged);
    table->setCellWidget(row, CheckColumn, checkBox);

    auto* opr = new DecoderOprWt(table->item(row, IpColumn)->text(), searchMode, table);
    opr->setActiveMode(table->item(row, OperColumn)->data(ActivatedRole).toBool());
    connect(opr, &DecoderOprWt::sig_changePwdBtnClicked, this,
            &DecoderManagementDlg::slot_changeLocalDecoderPwd);
    connect(opr, &DecoderOprWt::sig_deviceConfigBtnClicked, this, &DecoderManagementDlg::slotDeviceConfig);
    connect(opr, &DecoderOprWt::sig_deleteBtnClicked, this, &DecoderManagementDlg::slotDeleteDecoder);
    connect(opr, &DecoderOprWt::sig_changeIpOrActiveBtnClicked, this,
            &DecoderManagementDlg::slotChangeIpOrActive);
    table->setCellWidget(row, OperColumn, opr);
}

// ---- reports ----

MatrixInfo* DecoderManagementDlg::editRecord(const QString& ip)
{
    const auto record = matrixInfoMap.find(ip);
    if (record == matrixInfoMap.end())
        return nullptr;
    changedIps.insert(ip);
    return &record.value();
}

void DecoderManagementDlg::reportDecoders()
{
    emit sig_matrixInfoChanged(matrixInfoMap);
    changedIps.clear();
    listChanged = false;
}

const QSet<QString>* DecoderManagementDlg::changedSinceLastReport(const MatrixInfoMap& reported) const
{
    if (listChanged || !reported.isSharedWith(matrixInfoMap))
        return nullptr;
    return &changedIps;
}

bool DecoderManagementDlg::isMainOfStoredWall(const QString& ip)
{
    // Each result of a fleet logging in asks; the stored walls are walked again only once they were replaced.
    const QMap<QString, TvWallManagement> walls = MatrixSdkWorker::getMatrixFromJson();
    if (!walls.isSharedWith(storedWalls)) {
        storedWalls = walls;
        storedWallMains.clear();
        for (const TvWallManagement& wall : walls)
            storedWallMains.insert(wall.mainIp);
    }
    return storedWallMains.contains(ip);
}

int DecoderManagementDlg::rowOfIp(const QString& ip) const
{
    // Every connection result looks its row up: a remembered row is checked, and only a miss walks the
    // table, noting every row on the way.
    const QTableWidget* table = ui->decoderTableWidget;
    const auto matches = [table, &ip](int row) {
        const QTableWidgetItem* item = table->item(row, IpColumn);
        return item && item->text() == ip;
    };
    const int known = rowsByIp.value(ip, -1);
    if (known >= 0 && known < table->rowCount() && matches(known))
        return known;
    rowsByIp.clear();
    int found = -1;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* item = table->item(row, IpColumn);
        if (item && !rowsByIp.contains(item->text()))
            rowsByIp.insert(item->text(), row);
        if (found < 0 && matches(row))
            found = row;
    }
    return found;
}

int DecoderManagementDlg::rowOfDeviceId(const QString& deviceId) const
{
    const QTableWidget* table = ui->decoderTableWidget;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* item = table->item(row, CheckColumn);
        if (item && item->data(DeviceIdRole).toString() == deviceId)
            return row;
    }
    return -1;
}

QCheckBox* DecoderManagementDlg::rowCheckBox(int row) const
{
    return qobject_cast<QCheckBox*>(ui->decoderTableWidget->cellWidget(row, CheckColumn));
}

DecoderOprWt* DecoderManagementDlg::rowOprWt(int row) const
{
    return qobject_cast<DecoderOprWt*>(ui->decoderTableWidget->cellWidget(row, OperColumn));
}

QString DecoderManagementDlg::statusText(int row) const
{
    const QTableWidgetItem* item = ui->decoderTableWidget->item(row, StatusColumn);
    return item ? item->text() : QString();
}

void DecoderManagementDlg::setStatusText(int row, const QString& text)
{
    if (QTableWidgetItem* item = ui->decoderTableWidget->item(row, StatusColumn))
        item->setText(text);
}

void DecoderManagementDlg::setStatusOfIp(const QString& ip, const QString& text)
{
    const int row = rowOfIp(ip);
    if (row >= 0)
        setStatusText(row, text);
}

bool DecoderManagementDlg::isRowChecked(int row) const
{
    if (const QCheckBox* box = rowCheckBox(row))
        return box->isChecked();
    const QTableWidgetItem* item = ui->decoderTableWidget->item(row, CheckColumn);
    return item && item->data(CheckedRole).toBool();
}

QList<int> DecoderManagementDlg::checkedRows() const
{
    QList<int> rows;
    for (int row = 0; row < ui->decoderTableWidget->rowCount(); ++row) {
        if (isRowChecked(row))
            rows.append(row);
    }
    return rows;
}

// ---- check boxes ----

void DecoderManagementDlg::slot_checkAllStateChanged(bool clicked)
{
    for (int row = 0; row < ui->decoderTableWidget->rowCount(); ++row) {
        if (QTableWidgetItem* item = ui->decoderTableWidget->item(row, CheckColumn))
            item->setData(CheckedRole, clicked);
        if (QCheckBox* box = rowCheckBox(row))
            box->setChecked(clicked);
    }
}

void DecoderManagementDlg::slotRowCheckStateChanged(int state)
{
    if (state == Qt::Unchecked) {
        ui->selectAllCheckBox->setChecked(false);
    } else if (state == Qt::Checked) {
        for (int row = 0; row < ui->decoderTableWidget->rowCount(); ++row) {
            if (!isRowChecked(row))
                return;
        }
        ui->selectAllCheckBox->setChecked(true);
    }
}

// ---- modal helpers ----

QUuid DecoderManagementDlg::showWaiting(QWidget* parent, const QString& text)
{
    auto* overlay = new PCOMMON::DisabledWaitingWt(parent, text, QString(), false);
    overlay->show();
    overlay->raise();
    return overlay->getUuid();
}

bool DecoderManagementDlg::runLogin(QString& userName, QString& password)
{
    pral_matrix::UserLoginDlg login(nullptr);
    DlgMaskWt mask(this, &login);
    if (login.exec() != QDialog::Accepted)
        return false;
    login.getUserInfo(userName, password);
    return true;
}

bool DecoderManagementDlg::runActivation(QString& password)
{
    DevActiveDlg dialog(false, nullptr);
    DlgMaskWt mask(this, &dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    password = dialog.getPassword();
    return true;
}

bool DecoderManagementDlg::runNetworkConfig(const DeviceNetworkCfg_t& reported, DeviceNetworkCfg_t& edited)
{
    DecoderNetworkConfigDlg dialog(reported, this);
    DlgMaskWt mask(this, &dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    edited = dialog.getNetworkConfig();
    return true;
}

bool DecoderManagementDlg::runSync(const QStringList& ips, QStringList& chosen)
{
    MatrixInfoSyncDlg dialog(ips, nullptr);
    DlgMaskWt mask(this, &dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    chosen = dialog.getCheckedIpList();
    return true;
}

// ---- search, save and add ----

void DecoderManagementDlg::slot_searchBtnClieked()
{
    searchWaitingUuid = showWaiting(this, tr("Decoder searching..."));
    service().searchMatrix();
}

void DecoderManagementDlg::slot_searchMatrixFinished(MatrixInfoMap found)
{
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(searchWaitingUuid);
    const MatrixInfoMap& reference = searchMode ? managedMatrixInfoMap : matrixInfoMap;
    MatrixInfoMap newDecoders;
    for (auto it = found.constBegin(); it != found.constEnd(); ++it) {
        if (!reference.contains(it.key()))
            newDecoders.insert(it.key(), it.value());
    }
    if (newDecoders.isEmpty()) {
        PCOMMON::PMessageBox::information(nullptr, tr("No new decoder found!"), 1, false);
        return;
    }

    if (searchMode) {
        listChanged = true;
        matrixInfoMap = newDecoders;
        ui->decoderTableWidget->setRowCount(0);
        ui->decoderTableWidget->setFixedHeight(0);
        addDecoderRows(newDecoders, false);
        return;
    }

    if (searchDialogOpen)
        return;
    DecoderManagementDlg searchDialog(newDecoders, matrixInfoMap, true, nullptr);
    DlgMaskWt mask(this, &searchDialog);
    searchDialogOpen = true;
    const bool accepted = searchDialog.exec() == QDialog::Accepted;
    searchDialogOpen = false;
    if (!accepted)
        return;
    // The layouts are asked for over the connections that the Add made, before the new rows log in again and
    // replace them; the rows are listed before any answer can arrive, as answers wait for the event loop.
    syncMatrixIpList = searchDialog.getSyncMatrixIpList();
    for (const QString& ip : qAsConst(syncMatrixIpList))
        service().getLayout(service().getHandleByIp(ip), this);
    addDecoderRows(searchDialog.getMatrixInfoMap(), false);
    // The added decoders are the operator's change: the page stores them now, not when they answer.
    reportDecoders();
}

void DecoderManagementDlg::slot_saveBtnClieked()
{
    if (!searchMode) {
        accept();
        return;
    }

    MatrixInfoMap chosen;
    for (const int row : checkedRows()) {
        if (statusText(row) != tr("activated"))
            continue;
        const QTableWidgetItem* ipItem = ui->decoderTableWidget->item(row, IpColumn);
        const auto record = matrixInfoMap.constFind(ipItem ? ipItem->text() : QString());
        if (record == matrixInfoMap.constEnd())
            continue;
        chosen.insert(record.key(), *record);
        ++expectedCount;
    }
    if (expectedCount <= 0) {
        PCOMMON::PMessageBox::information(nullptr, tr("Please select the activated decoder!"), 1, false);
        return;
    }

    QString userName;
    QString password;
    if (!runLogin(userName, password)) {
        expectedCount = 0;
        return;
    }

    // Completion compares the results counted from here on with the connections started here, so that a
    // result that arrived for someone else before the Add cannot keep the dialog from closing.
    resultCount = 0;
    successCount = 0;
    connectedIpList.clear();
    for (auto it = chosen.begin(); it != chosen.end(); ++it) {
        connectWaitingUuid = showWaiting(this, tr("Decoder connecting..."));
        it->userName = userName;
        it->password = password;
        service().connectMatrix(*it, this);
    }
    listChanged = true;
    matrixInfoMap = chosen;
}

// ---- row actions ----

void DecoderManagementDlg::slotDeviceConfig(QString ip)
{
    const auto record = matrixInfoMap.constFind(ip);
    if (record == matrixInfoMap.constEnd())
        return;
    DecoderConfigDlg dialog(*record, matrixInfoMap.keys(), record->connectStatus != 1, nullptr);
    connect(&dialog, &DecoderConfigDlg::sig_factoryReset, this, &DecoderManagementDlg::slotFactoryReset);
    DlgMaskWt mask(this, &dialog);
    dialog.exec();
}

void DecoderManagementDlg::slotFactoryReset(QString ip)
{
    if (PCOMMON::PMessageBox::question(this, tr("Are you sure to restore factory Settings?"), 3, false) != 1)
        return;
    searchWaitingUuid = showWaiting(this, tr("Resuming factory Settings..."));
    service().factoryReset(service().getHandleByIp(ip));
}

void DecoderManagementDlg::slotDeleteDecoder(QString ip)
{
    const QString question =
        tr("Delete the decoder will automatically delete the associated TV wall, sure to delete?");
    if (PCOMMON::PMessageBox::question(this, question, 3, false) != 1)
        return;
    listChanged = true;
    matrixInfoMap.remove(ip);

    QTableWidget* table = ui->decoderTableWidget;
    const int removed = rowOfIp(ip);
    if (removed >= 0) {
        table->removeRow(removed);
        table->setFixedHeight(table->height() - RowHeight);
        for (int row = removed; row < table->rowCount(); ++row) {
            if (QTableWidgetItem* number = table->item(row, NumberColumn))
                number->setText(QString::number(number->text().toInt() - 1));
        }
        ensureRowWidgets();
    }
    service().disconnectMatrix(service().getHandleByIp(ip));
    reportDecoders();
    emit sig_deleteTvwallItem(ip);
}

void DecoderManagementDlg::slotChangeIpOrActive(QString ip, bool isActiveMode)
{
    if (isActiveMode)
        changeIp(ip);
    else
        activateOne(ip);
}

void DecoderManagementDlg::changeIp(const QString& ip)
{
    const auto record = matrixInfoMap.constFind(ip);
    if (record == matrixInfoMap.constEnd())
        return;
    service().getMatrixNetworkInfo(*record, int(record->matrixType));
}

void DecoderManagementDlg::slotOnGetMatrixNetworkResult(DeviceNetworkCfg_t networkCfg, QString formerIp,
                                                        int type)
{
    // In management mode the decoder configuration dialog answers this itself.
    if (!searchMode)
        return;
    if (DecoderNetworkConfigDlg::isEmptyNetworkAnswer(networkCfg)) {
        SystemAssistant::messageAlert(
            DictDef::alertNotice,
            tr("Decoding card network information acquisition failed, please search again!"));
        return;
    }

    DeviceNetworkCfg_t edited;
    if (!runNetworkConfig(networkCfg, edited))
        return;
    const QString newIp = fieldText(edited.ipv4Addr);
    if (newIp != formerIp && matrixInfoMap.contains(newIp)) {
        SystemAssistant::messageAlert(DictDef::alertNotice,
                                      tr("The address already exists, please modify it again!"));
        return;
    }

    const QString key = fieldText(networkCfg.ipv4Addr);
    if (!matrixInfoMap.contains(key))
        return;
    QString userName;
    QString password;
    if (!runLogin(userName, password))
        return;
    MatrixInfo* record = editRecord(key);
    if (!record)
        return;
    record->userName = userName;
    record->password = password;
    service().setMatrixNetworkConfig(service().getHandleByIp(key), *record, *record, edited, type, this);
}

void DecoderManagementDlg::activateOne(const QString& ip)
{
    QString password;
    if (!runActivation(password))
        return;
    const auto record = matrixInfoMap.constFind(ip);
    if (record == matrixInfoMap.constEnd())
        return;
    service().activeDecoder(record->deviceId, password);
}

void DecoderManagementDlg::slot_activeBtnClicked(bool clicked)
{
    Q_UNUSED(clicked)
    QStringList ids;
    for (const int row : checkedRows()) {
        if (statusText(row) != tr("unactivated"))
            continue;
        const QTableWidgetItem* item = ui->decoderTableWidget->item(row, CheckColumn);
        const QString id = item ? item->data(DeviceIdRole).toString() : QString();
        if (!id.isEmpty())
            ids.append(id);
    }
    if (ids.isEmpty()) {
        PCOMMON::PMessageBox::information(nullptr, tr("Please select the unactivated decoder!"), 1, false);
        return;
    }
    QString password;
    if (!runActivation(password))
        return;
    for (const QString& id : qAsConst(ids))
        service().activeDecoder(id, password);
}

void DecoderManagementDlg::slotGetLayoutInfoResult(QString mainMatrixIp, int maintype,
                                                   MatrixInfoList matrixInfoList, int row, int col,
                                                   QString matrixName, void* user)
{
    if (user != this)
        return;
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(searchWaitingUuid);
    MatrixInfo* record = editRecord(mainMatrixIp);
    if (!record)
        return;
    record->subMatrixList = matrixInfoList;
    reportDecoders();

    TvWallManagement wall;
    wall.tvWallName = matrixName;
    wall.mainIp = mainMatrixIp;
    wall.row = row;
    wall.col = col;
    wall.mainMatrix.matrixType = static_cast<pral_matrix::MatrixType>(maintype);
    for (const MatrixInfo& received : qAsConst(matrixInfoList)) {
        MatrixInfo screen;
        screen.matrixType = received.matrixType;
        screen.ip = received.ip;
        screen.column = received.column;
        screen.row = received.row;
        screen.channel = received.channel;
        wall.matrixInfoList.append(screen);
    }
    emit sig_tvWallManagementChanged(wall);
}

// ---- logging in again ----

void DecoderManagementDlg::slotUpgradeFirmwareBtnClicked()
{
    QList<MatrixInfo> chosen;
    for (const int row : checkedRows()) {
        const QTableWidgetItem* ipItem = ui->decoderTableWidget->item(row, IpColumn);
        const auto record = matrixInfoMap.constFind(ipItem ? ipItem->text() : QString());
        if (record != matrixInfoMap.constEnd())
            chosen.append(*record);
    }
    if (chosen.isEmpty()) {
        PCOMMON::PMessageBox::information(nullptr, tr("Please select decoders!"), 1, false);
        return;
    }
    if (UpgradeExclusion::isOpen(UpgradeExclusion::Single)) {
        SystemAssistant::messageAlert(DictDef::alertNotice, UpgradeExclusion::refusal());
        return;
    }
    // Decoders that come back from their upgrade are connected again the way a reconnect does it.
    BatchUpgradeDlg dialog(chosen, [this](const QString& ip) {
        const auto record = matrixInfoMap.constFind(ip);
        if (record != matrixInfoMap.constEnd())
            service().connectMatrix(*record, this);
    });
    DlgMaskWt mask(this, &dialog);
    dialog.exec();
}

void DecoderManagementDlg::slot_patchChangePwdBtnClieked()
{
    const QList<int> rows = checkedRows();
    if (rows.isEmpty()) {
        PCOMMON::PMessageBox::information(nullptr, tr("Please select decoders!"), 1, false);
        return;
    }
    QString userName;
    QString password;
    if (!runLogin(userName, password))
        return;
    // Rows are read again: the table may have changed while the login dialog was open.
    for (const int row : checkedRows()) {
        const QTableWidgetItem* ipItem = ui->decoderTableWidget->item(row, IpColumn);
        MatrixInfo* record = editRecord(ipItem ? ipItem->text() : QString());
        if (!record)
            continue;
        record->userName = userName;
        record->password = password;
        service().connectMatrix(*record, this);
    }
}

void DecoderManagementDlg::slot_tableItemDbClicked(QTableWidgetItem* item)
{
    if (!item)
        return;
    const QTableWidgetItem* ipItem = ui->decoderTableWidget->item(item->row(), IpColumn);
    const auto record = matrixInfoMap.constFind(ipItem ? ipItem->text() : QString());
    if (record == matrixInfoMap.constEnd())
        return;
    connectWaitingUuid = showWaiting(this, tr("Decoder connecting..."));
    service().connectMatrix(*record, this);
}

void DecoderManagementDlg::slot_changeLocalDecoderPwd(QString ip)
{
    const auto found = matrixInfoMap.constFind(ip);
    if (found == matrixInfoMap.constEnd())
        return;
    MatrixInfo copy = *found;
    QString userName;
    QString password;
    if (!runLogin(userName, password))
        return;
    connectWaitingUuid = showWaiting(this, tr("Decoder connecting..."));
    copy.userName = userName;
    copy.password = password;
    service().connectMatrix(copy, this);
}

// ---- connection results ----

void DecoderManagementDlg::slot_connectMatrixResult(QSharedPointer<CSharedHandle> mHandle, int result,
                                                    int type, void* pUser)
{
    Q_UNUSED(type)
    Q_UNUSED(pUser)
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(connectWaitingUuid);
    ++resultCount;
    const QString ip = mHandle ? mHandle->ip() : QString();

    if (result != 0) {
        if (connectStateTipWt && connectStateTipWt->getConnectIp() == ip) {
            connectStateTipWt->setTipContent(tr("%1 connect failed").arg(ip));
            connectStateTipWt->show();
            connectStateTipWt->raise();
        }
        if (MatrixInfo* record = editRecord(ip)) {
            if (mHandle) {
                record->userName = mHandle->userName();
                record->password = mHandle->password();
            }
            record->connectStatus = 2;
            setStatusOfIp(ip, tr("connect failed"));
            reportDecoders();
        }
        service().removeHandle(ip);
    } else {
        if (connectStateTipWt && connectStateTipWt->getConnectIp() == ip) {
            connectStateTipWt->setConnectIp(QString());
            connectStateTipWt->hide();
        }
        ++successCount;
        connectedIpList.append(ip);
        if (MatrixInfo* record = editRecord(ip)) {
            record->matrixType = static_cast<pral_matrix::MatrixType>(mHandle->matrixType());
            record->userName = mHandle->userName();
            record->password = mHandle->password();
            record->connectStatus = 1;
            record->version = mHandle->version();
            setStatusOfIp(ip, tr("connect success"));
            reportDecoders();
            if (!searchMode && isMainOfStoredWall(ip))
                service().getLayout(mHandle, this);
        }
    }

    if (searchMode && expectedCount == resultCount) {
        if (successCount == 0) {
            accept();
            return;
        }
        QStringList chosen;
        if (runSync(connectedIpList, chosen))
            syncMatrixIpList = chosen;
        accept();
    }
}

void DecoderManagementDlg::slot_connectErrorMsg(QString ip, ConnectErrorMsgInfo errorMsg, void* pUser)
{
    if (pUser != this)
        return;
    QString message;
    if (errorMsg.errorType == QLatin1String("PASSWDERR")) {
        if (errorMsg.errorCount != -1 || errorMsg.lockThreshold != -1 || errorMsg.lockMinutes != -1)
            message = tr("Decoder(%1) connection failed:Incorrect user name or password,%2 errors have been "
                         "made,%3 errors will be locked for %4 minutes!")
                          .arg(ip)
                          .arg(errorMsg.errorCount)
                          .arg(errorMsg.lockThreshold)
                          .arg(errorMsg.lockMinutes);
        else
            message = tr("Decoder(%1) connection failed:Incorrect user name or password!").arg(ip);
    } else if (errorMsg.errorType == QLatin1String("USERLOCK")) {
        message = tr("Decoder(%1) has been locked,it will unlock after %2 seconds.")
                      .arg(ip)
                      .arg(errorMsg.unlockSeconds);
    } else if (errorMsg.errorType == QLatin1String("DEVNOACTIVE")) {
        message = tr("Decoder(%1) connection failed:Device not active!").arg(ip);
    } else {
        message = tr("Decoder(%1) connection failed:unknow error!").arg(ip);
    }
    SystemAssistant::messageAlert(DictDef::alertNotice, message);
}

void DecoderManagementDlg::slotDisconnectStatus(CMHandle handle, QString ip)
{
    Q_UNUSED(handle)
    // A connection this list does not hold (one an Add made before its decoder was listed) has nothing
    // the tip's Reconnect could act on.
    if (!matrixInfoMap.contains(ip))
        return;
    service().removeHandle(ip);
    if (connectStateTipWt) {
        connectStateTipWt->setConnectIp(ip);
        connectStateTipWt->setTipContent(tr("%1 connection is broken").arg(ip));
        connectStateTipWt->show();
        connectStateTipWt->raise();
    }
}

void DecoderManagementDlg::slotTipReconnect()
{
    const QString ip = connectStateTipWt ? connectStateTipWt->getConnectIp() : QString();
    const auto record = matrixInfoMap.constFind(ip);
    if (record == matrixInfoMap.constEnd())
        return;
    service().connectMatrix(*record, this);
    QWidget* parent = isVisible() ? static_cast<QWidget*>(this) : mainWidget;
    if (parent) {
        PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(connectWaitingUuid);
        connectWaitingUuid = showWaiting(parent, tr("Decoder connecting..."));
    }
}

void DecoderManagementDlg::slotTipHidden(QString ip)
{
    if (MatrixInfo* record = editRecord(ip))
        record->connectStatus = 2;
    reportDecoders();
    service().removeHandle(ip);
    setStatusOfIp(ip, tr("connect failed"));
}

void DecoderManagementDlg::slot_onDisconnectMatrixResult(int ret, QString ip)
{
    if (ret != 0)
        return;
    MatrixInfo* record = editRecord(ip);
    if (!record)
        return;
    record->connectStatus = 2;
    reportDecoders();
}

// ---- results of changes made on a decoder ----

void DecoderManagementDlg::slotOnAlterPasswordResult(int ret, QString ip, QString newPassword)
{
    if (ret != 0) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Password change failed!"));
        return;
    }
    service().disconnectMatrix(service().getHandleByIp(ip));
    const int answer = PCOMMON::PMessageBox::question(
        this, tr("Decoder %1 Password modification successful, please reconnect login!").arg(ip), 3, false);
    MatrixInfo* record = editRecord(ip);
    if (!record)
        return;
    if (answer != 1) {
        record->connectStatus = 2;
        setStatusOfIp(ip, tr("connect failed"));
        return;
    }
    record->connectStatus = 0;
    setStatusOfIp(ip, tr("connecting"));
    record->password = newPassword;
    service().connectMatrix(*record, this);
}

void DecoderManagementDlg::slotOnSetMatrixNetworkResult(int ret, QString mainIp, QString formerIp)
{
    if (ret != 0) {
        const QString text = ret == -22 ? tr("Decoder(%1) IP setting failed:Incorrect user name or password!")
                                        : tr("Decoder(%1) IP setting failed!");
        SystemAssistant::messageAlert(DictDef::alertNotice, text.arg(formerIp));
        return;
    }
    const auto former = matrixInfoMap.constFind(formerIp);
    if (former == matrixInfoMap.constEnd())
        return;

    MatrixInfo moved = *former;
    moved.connectStatus = 0;
    moved.ip = mainIp;
    listChanged = true;
    if (mainIp != formerIp)
        matrixInfoMap.remove(formerIp);
    matrixInfoMap.insert(mainIp, moved);

    const int row = rowOfIp(formerIp);
    if (row >= 0) {
        ui->decoderTableWidget->item(row, IpColumn)->setText(mainIp);
        if (!searchMode)
            setStatusText(row, tr("connecting"));
        if (DecoderOprWt* opr = rowOprWt(row))
            opr->setIp(mainIp);
    }
    if (!searchMode)
        service().connectMatrix(moved, this);
    reportDecoders();
    emit sig_ipChanged(mainIp, formerIp);
}

void DecoderManagementDlg::slotOnMatrixFactoryResetResult(int ret, QString ip)
{
    if (searchMode)
        return;
    if (ret != 0) {
        PCOMMON::PMessageBox::information(this, tr("Failed to restore factory Settings with decoder card!"),
                                          1, false);
    } else {
        PCOMMON::PMessageBox::information(
            this,
            tr("Factory Settings of the decoder card have been restored successfully. Please search again!"),
            1, false);
        if (MatrixInfo* record = editRecord(ip)) {
            record->connectStatus = 2;
            reportDecoders();
            setStatusOfIp(ip, tr("connect failed"));
        }
    }
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(searchWaitingUuid);
}

void DecoderManagementDlg::slotOnActiveDecoderResult(int ret, QString id)
{
    if (!searchMode)
        return;
    const int row = rowOfDeviceId(id);
    if (ret != 0) {
        const QTableWidgetItem* item = row >= 0 ? ui->decoderTableWidget->item(row, CheckColumn) : nullptr;
        const QString name = item ? item->data(IpRole).toString() : QString();
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Decoder(%1) activation failed!").arg(name));
        return;
    }
    if (row < 0)
        return;
    if (QTableWidgetItem* item = ui->decoderTableWidget->item(row, OperColumn))
        item->setData(ActivatedRole, true);
    if (DecoderOprWt* opr = rowOprWt(row))
        opr->setActiveMode(true);
    setStatusText(row, tr("activated"));
}

} // namespace pral_matrixConfig
