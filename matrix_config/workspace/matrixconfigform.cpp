#include "matrixconfigform.h"
#include "ui_matrixconfigform.h"

#include "addmatrixdlg.h"
#include "decodermanagementdlg.h"
#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "dlgmaskwt.h"
#include "moduleaccess.h"
#include "pmessagebox.h"
#include "setlayoutdlg.h"
#include "systemassistant.h"
#include "treeitem.h"
#include "walldifference.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace pral_matrixConfig {

using pral_contact::DictDef;
using pral_matrix::DecoderWallCopy;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_worker::SystemAssistant;

namespace {

MatrixSdkWorker& service()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

QString imageButtonStyle(const QString& normal, const QString& hover, const QString& pressed)
{
    return QStringLiteral("QPushButton{border-image:url(%1);}"
                          "QPushButton:hover{border-image:url(%2);}"
                          "QPushButton:pressed{border-image:url(%3);}")
        .arg(normal, hover, pressed);
}

QString moduleImage(const QString& name)
{
    return QStringLiteral(":/matrixConfig_images/images/") + name;
}

QString hostImage(const QString& name)
{
    return QStringLiteral(":/images/images/") + name;
}

void information(const QString& text)
{
    PCOMMON::PMessageBox::information(nullptr, text, 1, false);
}

// The decoder management dialog reports every connection result. While reports keep coming (a whole fleet
// logging in) the page waits for a quiet moment of UpdateQuietMs before it redraws and stores, but never
// longer than UpdateMaxDelayMs after the first report, so that a long stream still shows progress.
constexpr int UpdateQuietMs = 10;
constexpr qint64 UpdateMaxDelayMs = 1000;

// A report whose addresses differ from the page's list (decoders added, removed or re-addressed) is an
// operator's change that the lists show: it must not wait in a burst, and it redraws them.
bool sameAddresses(const MatrixInfoMap& before, const MatrixInfoMap& after)
{
    if (before.size() != after.size())
        return false;
    for (auto a = before.constBegin(), b = after.constBegin(); a != before.constEnd(); ++a, ++b) {
        if (a.key() != b.key())
            return false;
    }
    return true;
}

// Records copied from one another share their texts and lists, so an unchanged record is recognised
// without reading any text.
template <typename T>
bool sameValue(const T& a, const T& b)
{
    return a.isSharedWith(b) || a == b;
}

bool sameRecord(const MatrixInfo& a, const MatrixInfo& b)
{
    return a.matrixType == b.matrixType && a.connectStatus == b.connectStatus && a.activated == b.activated &&
           a.channelCount == b.channelCount && a.channel == b.channel && a.row == b.row &&
           a.column == b.column && a.extraValue == b.extraValue && a.spare1 == b.spare1 &&
           a.spare2 == b.spare2 && a.spare3 == b.spare3 && a.spare4 == b.spare4 &&
           sameValue(a.deviceId, b.deviceId) && sameValue(a.ip, b.ip) && sameValue(a.userName, b.userName) &&
           sameValue(a.password, b.password) && sameValue(a.version, b.version) &&
           a.outputList.isSharedWith(b.outputList) && a.subMatrixList.isSharedWith(b.subMatrixList);
}

// The fields of a wall that the tree and the grid show.
bool showsTheSame(const TvWallManagement& a, const TvWallManagement& b)
{
    if (a.tvWallName != b.tvWallName || a.mainIp != b.mainIp || a.row != b.row || a.col != b.col ||
        a.matrixInfoList.size() != b.matrixInfoList.size())
        return false;
    for (int i = 0; i < a.matrixInfoList.size(); ++i) {
        const MatrixInfo& x = a.matrixInfoList.at(i);
        const MatrixInfo& y = b.matrixInfoList.at(i);
        if (x.matrixType != y.matrixType || x.ip != y.ip || x.channel != y.channel || x.row != y.row ||
            x.column != y.column)
            return false;
    }
    return true;
}

// Every field the store keeps of a wall.
bool sameStoredWall(const TvWallManagement& a, const TvWallManagement& b)
{
    if (!sameValue(a.tvWallName, b.tvWallName) || !sameValue(a.mainIp, b.mainIp) || a.row != b.row ||
        a.col != b.col || a.matrixInfoList.size() != b.matrixInfoList.size() ||
        !sameRecord(a.mainMatrix, b.mainMatrix))
        return false;
    for (int i = 0; i < a.matrixInfoList.size(); ++i) {
        if (!sameRecord(a.matrixInfoList.at(i), b.matrixInfoList.at(i)))
            return false;
    }
    return true;
}

} // namespace

MatrixConfigForm::MatrixConfigForm(QWidget* parent)
    : pral_base::BaseForm(parent)
    , ui(new Ui::MatrixConfigForm)
{
    ui->setupUi(this);
    applyLook();
    ui->widget_bottom->hide();
    qRegisterMetaType<QSharedPointer<CSharedHandle>>("QSharedPointer< CSharedHandle >");

    connect(ui->addBtn, SIGNAL(clicked()), this, SLOT(slotAddBtnClicked()));
    connect(ui->editBtn, SIGNAL(clicked()), this, SLOT(slotEditBtnClicked()));
    connect(ui->deleteBtn, SIGNAL(clicked()), this, SLOT(slotDeleteBtnClicked()));
    connect(ui->decoderManagementBtn, SIGNAL(clicked()), this, SLOT(slotDecoderManagementBtnClicked()));
    connect(ui->setLayoutBtn, SIGNAL(clicked()), this, SLOT(slotSetLayoutBtnClicked()));
    connect(ui->split4Btn, SIGNAL(clicked()), this, SLOT(slotSplit4BtnClicked()));
    connect(ui->split6Btn, SIGNAL(clicked()), this, SLOT(slotSplit6BtnClicked()));
    connect(ui->split9Btn, SIGNAL(clicked()), this, SLOT(slotSplit9BtnClicked()));
    connect(ui->split12Btn, SIGNAL(clicked()), this, SLOT(slotSplit12BtnClicked()));

    connect(ui->wallwt, SIGNAL(signalScreenClicked()), this, SLOT(slotScreenClicked()));
    connect(ui->wallwt, SIGNAL(signaldropEvent(int, QString, int)), this,
            SLOT(slotDropEvent(int, QString, int)));
    connect(ui->wallwt, SIGNAL(signalUnbingding()), this, SLOT(slotUnbingding()));
    connect(ui->wallwt, SIGNAL(signalAllUnbingding()), this, SLOT(slotAllUnbingding()));
    connect(ui->wallwt, &ScreenLayoutWt::signalScreenPressed, this, &MatrixConfigForm::slotOnScreenPressed);

    connect(ui->treewt, SIGNAL(signalShowMatrixLayout(int, QString)), this,
            SLOT(slotShowMatrixLayout(int, QString)));
    connect(ui->treewt, SIGNAL(signalOpenScreenCheck(QString, int)), this,
            SLOT(slotOpenScreenCheck(QString, int)));
    connect(ui->treewt, SIGNAL(signalCloseScreenCheck(QString, int)), this,
            SLOT(slotCloseScreenCheck(QString, int)));
    connect(ui->treewt, SIGNAL(signalRsItemDoubleClicked(QTreeWidgetItem*, int)), this,
            SLOT(slotTreeItemDoubleClicked(QTreeWidgetItem*, int)));
    connect(ui->treewt, &DecoderDeviceTree::signalRSPressItem, this,
            &MatrixConfigForm::slotOnDecoderTreePressItem);
    connect(ui->treewt, &DecoderDeviceTree::signalTvWallOpened, this, &MatrixConfigForm::onTvWallOpened);

    connect(&service(), SIGNAL(signalCheckScreenResult(int)), this, SLOT(slotCheckScreen(int)),
            Qt::BlockingQueuedConnection);
    connect(&service(), &MatrixSdkWorker::signalConnectMatrixResult, this,
            &MatrixConfigForm::slotConnectMatrixResult, Qt::BlockingQueuedConnection);

    updateTimer.setSingleShot(true);
    connect(&updateTimer, &QTimer::timeout, this, &MatrixConfigForm::slotFlushPendingUpdate);
}

MatrixConfigForm::~MatrixConfigForm()
{
    // The lists are stored even when the redraw that would have stored them never came.
    if (pendingUpdate & UpdateStoreTvWalls)
        storeTvWalls();
    if (pendingUpdate & UpdateStoreDecoders)
        MatrixSdkWorker::addDecoderToJson(decoderMap.values());
    pendingUpdate = 0;
    if (!embedded)
        delete decoderManagementDlg;
    delete ui;
}

int MatrixConfigForm::getFormType()
{
    return 5;
}

void MatrixConfigForm::applyLook()
{
    const QString headerStyle =
        QStringLiteral("QWidget#%1{background:#0b121e;border-bottom:1px solid #0b121e;}"
                       "QLabel{color:#ebf3fa;font-size:13px;font-family:\"microsoft yahei\";}"
                       "QPushButton{color:#ebf3fa;font-size:13px;font-family:\"microsoft yahei\";}"
                       "QPushButton:hover{color:#266baf;}"
                       "QPushButton:pressed{color:#858fa2;}");
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("pral_matrixConfig--MatrixConfigForm{background:#141f30;}"));
    ui->widgetleft->setStyleSheet(QStringLiteral("QWidget#widgetleft{background:#141f30;}"));
    ui->widgetTop->setStyleSheet(headerStyle.arg(QStringLiteral("widgetTop")));
    ui->widgetCenter->setStyleSheet(headerStyle.arg(QStringLiteral("widgetCenter")));
    ui->widgethead->setStyleSheet(
        QStringLiteral("QWidget#widgethead{background:#141f30;border-bottom:1px solid "
                       "#0b121e;}QLabel{color:#ebf3fa;}"));
    ui->widget->setStyleSheet(QStringLiteral("QWidget#widget{border-left:1px solid #070d17;}"));
    for (QWidget* w : {static_cast<QWidget*>(ui->widgetleft), ui->widgetTop, ui->widgetCenter, ui->widgethead,
                       ui->widget, ui->widget_bottom})
        w->setAttribute(Qt::WA_StyledBackground);

    ui->decoderManagementBtn->setStyleSheet(imageButtonStyle(moduleImage("decoder_management_n.png"),
                                                             moduleImage("decoder_management_h.png"),
                                                             moduleImage("decoder_management_h.png")));
    ui->addBtn->setStyleSheet(
        imageButtonStyle(hostImage("add_n.png"), hostImage("add_h.png"), hostImage("add_h.png")));
    ui->editBtn->setStyleSheet(
        imageButtonStyle(hostImage("edit_n.png"), hostImage("edit_h.png"), hostImage("edit_h.png")));
    ui->deleteBtn->setStyleSheet(
        imageButtonStyle(hostImage("delete_n.png"), hostImage("delete_h.png"), hostImage("delete_h.png")));
    const QList<QPair<QPushButton*, QString>> gridButtons = {{ui->split4Btn, "4"},
                                                             {ui->split6Btn, "6"},
                                                             {ui->split9Btn, "9"},
                                                             {ui->split12Btn, "12"},
                                                             {ui->setLayoutBtn, "mn"}};
    for (const auto& b : gridButtons)
        b.first->setStyleSheet(imageButtonStyle(moduleImage(b.second + "_n.png"),
                                                moduleImage(b.second + "_h.png"),
                                                moduleImage(b.second + "_p.png")));
}

void MatrixConfigForm::showEvent(QShowEvent* event)
{
    if (firstShow) {
        firstShow = false;
        QTimer::singleShot(1, this, SLOT(slotShowEvent()));
    }
    pral_base::BaseForm::showEvent(event);
}

void MatrixConfigForm::slotShowEvent()
{
    if (embedded)
        return;
    decoderMap = MatrixSdkWorker::getDecoderFromJson();
    tvWallMap = MatrixSdkWorker::getMatrixFromJson();
    for (const TvWallManagement& wall : qAsConst(tvWallMap)) {
        if (MatrixSdkWorker::getWallCopyFromJson(wall.tvWallName).changedOnDecoder)
            ui->treewt->setTvWallChangedOnDecoder(wall.tvWallName, true);
    }
    // A first start shows an empty page: it says where to begin.
    ui->treewt->setEmptyHint(
        tr("No TV wall yet.\n\nStart under \"Decoder Management\" above: search for the decoders and add "
           "them. Then add a TV wall with the + button of \"TV Wall Management\"."));

    decoderManagementDlg = new DecoderManagementDlg(decoderMap, MatrixInfoMap(), false, nullptr);
    decoderManagementDlg->setMainWidget(this);
    const QRect desktop = QApplication::desktop()->geometry();
    decoderManagementDlg->move((desktop.width() - decoderManagementDlg->width()) / 2,
                               (desktop.height() - decoderManagementDlg->height()) / 2);
    connect(decoderManagementDlg, &DecoderManagementDlg::sig_matrixInfoChanged, this,
            &MatrixConfigForm::onMatrixInfoChanged);
    connect(decoderManagementDlg, &DecoderManagementDlg::sig_tvWallManagementChanged, this,
            &MatrixConfigForm::onTvWallManagementChanged);
    connect(decoderManagementDlg, &DecoderManagementDlg::sig_ipChanged, this, &MatrixConfigForm::onIpChanged);
    connect(decoderManagementDlg, &DecoderManagementDlg::sig_deleteTvwallItem, this,
            &MatrixConfigForm::onDeleteTvwallItem);
}

// ---- lists and redraw ----

QStringList MatrixConfigForm::wallDecoderIps(const TvWallManagement& wall)
{
    QStringList ips{wall.mainIp};
    for (const MatrixInfo& screen : wall.matrixInfoList) {
        if (!ips.contains(screen.ip))
            ips.append(screen.ip);
    }
    return ips;
}

namespace {
bool allConnected(const QStringList& ips, const MatrixInfoMap& decoders)
{
    for (const QString& ip : ips) {
        const auto decoder = decoders.constFind(ip);
        if (decoder == decoders.constEnd() || decoder->connectStatus != 1)
            return false;
    }
    return true;
}
} // namespace

void MatrixConfigForm::refreshTvWallStates()
{
    for (TvWallManagement& wall : tvWallMap)
        wall.connected = allConnected(wallDecoderIps(wall), decoderMap);
}

void MatrixConfigForm::indexWallDecoders()
{
    wallsOfDecoder.clear();
    for (const TvWallManagement& wall : qAsConst(tvWallMap)) {
        for (const QString& ip : wallDecoderIps(wall))
            wallsOfDecoder[ip].append(wall.tvWallName);
    }
}

MatrixConfigForm::Takeover MatrixConfigForm::takeOverDecoders(const MatrixInfoMap& reported)
{
    // The dialog knows which records it changed since its last report: a report of one connection result
    // is taken over without comparing the thousands of records it did not touch.
    const QSet<QString>* changed =
        decoderManagementDlg ? decoderManagementDlg->changedSinceLastReport(reported) : nullptr;
    if (changed && reported.size() == decoderMap.size()) {
        Takeover result = StatesOnly;
        for (const QString& ip : *changed) {
            const auto theirs = reported.constFind(ip);
            const auto mine = decoderMap.find(ip);
            if (theirs == reported.constEnd() || mine == decoderMap.end()) {
                changed = nullptr;
                break;
            }
            if (!takeOverRecord(ip, *mine, *theirs))
                result = CredentialsChanged;
        }
        if (changed)
            return result;
    }
    if (!sameAddresses(decoderMap, reported)) {
        decoderMap = reported;
        return AddressesChanged;
    }
    // Same keys in the same order: only records changed. They are copied one by one into the page's own
    // map; holding the dialog's map instead would make the dialog copy all of it on its next result.
    Takeover result = StatesOnly;
    auto mine = decoderMap.begin();
    for (auto theirs = reported.constBegin(); theirs != reported.constEnd(); ++theirs, ++mine) {
        if (!takeOverRecord(theirs.key(), *mine, *theirs))
            result = CredentialsChanged;
    }
    return result;
}

bool MatrixConfigForm::takeOverRecord(const QString& ip, MatrixInfo& mine, const MatrixInfo& theirs)
{
    if (sameRecord(mine, theirs))
        return true;
    if (mine.connectStatus != theirs.connectStatus)
        changedDecoders.insert(ip);
    const bool sameCredentials = mine.userName == theirs.userName && mine.password == theirs.password;
    mine = theirs;
    return sameCredentials;
}

QStringList MatrixConfigForm::refreshChangedWallStates()
{
    QSet<QString> names;
    for (const QString& ip : qAsConst(changedDecoders)) {
        for (const QString& name : wallsOfDecoder.value(ip))
            names.insert(name);
    }
    QStringList walls;
    for (const QString& name : qAsConst(names)) {
        const auto wall = tvWallMap.find(name);
        if (wall == tvWallMap.end())
            continue;
        wall->connected = allConnected(wallDecoderIps(*wall), decoderMap);
        walls.append(name);
    }
    return walls;
}

void MatrixConfigForm::redraw()
{
    wallsListed = true;
    indexWallDecoders();
    changedDecoders.clear();
    redrawGrid([this] { ui->treewt->refillTvWalls(tvWallMap); });
}

void MatrixConfigForm::redrawGrid(const std::function<void()>& show)
{
    ScreenLayoutWt* grid = ui->wallwt;
    const QString wasDrawn = drawnWall;
    const int selected = grid->selectedScreenId();
    int rows = 0;
    int cols = 0;
    grid->getLayout(rows, cols);
    grid->unbindAll();
    drawnWall.clear();
    show();
    // The same wall drawn again keeps the screen the operator selected on it.
    int newRows = 0;
    int newCols = 0;
    grid->getLayout(newRows, newCols);
    if (!wasDrawn.isEmpty() && drawnWall == wasDrawn && rows == newRows && cols == newCols && selected >= 0) {
        grid->selectScreen(selected);
        ui->winTitleLabel->setText(grid->selectedScreenText());
    }
}

void MatrixConfigForm::drawConnectionStates()
{
    const QStringList walls = refreshChangedWallStates();
    changedDecoders.clear();
    DecoderDeviceTree* tree = ui->treewt;
    for (const QString& name : walls) {
        const bool connected = tvWallMap.value(name).connected;
        if (tree->isTvWallConnected(name) != connected)
            tree->setTvWallConnected(name, connected);
    }
    tree->refreshCheckButtons();

    // The grid as a redraw would leave it: the chosen wall's bindings when it is connected, else unbound.
    const QString shown = tree->shownTvWallName();
    const QString chosen = tree->chooseTvWall(shown);
    const auto wall = tvWallMap.constFind(chosen);
    const bool drawn = wall != tvWallMap.constEnd() && wall->connected ? drawnWall == chosen
                                                                       : ui->wallwt->allScreensUnbound();
    if (drawn)
        tree->setShownTvWallName(chosen.isNull() ? shown : chosen);
    else
        redrawGrid([tree, shown] { tree->slotShowMatrixLayout(shown); });
}

void MatrixConfigForm::storeTvWalls()
{
    MatrixSdkWorker::addMatrixToJson(tvWallMap.values());
}

void MatrixConfigForm::storeTvWallsNow()
{
    // An operator's change is on disk before the next input is handled: a crash or a power cut right after
    // the click loses nothing.
    storeTvWalls();
    MatrixSdkWorker::flushStore();
}

void MatrixConfigForm::removeFirstWallWithMainIp(const QString& mainIp)
{
    for (auto it = tvWallMap.begin(); it != tvWallMap.end(); ++it) {
        if (it->mainIp == mainIp) {
            tvWallMap.erase(it);
            return;
        }
    }
}

void MatrixConfigForm::collectOfferedOutputs(QStringList* decoderIps, QStringList* outputIds) const
{
    for (const MatrixInfo& decoder : decoderMap) {
        if (decoder.connectStatus != 1)
            continue;
        if (decoder.matrixType == 1) {
            decoderIps->append(decoder.ip);
            outputIds->append(decoder.ip);
        } else if (decoder.matrixType == 3 && decoder.channelCount >= 1) {
            decoderIps->append(decoder.ip);
            for (int n = 1; n <= decoder.channelCount; ++n)
                outputIds->append(decoder.ip + QLatin1Char('-') + QString::number(n));
        }
    }
}

void MatrixConfigForm::scheduleUpdate(int what)
{
    if (!pendingUpdate)
        pendingSince.start();
    pendingUpdate |= what;
    const qint64 left = std::max<qint64>(0, UpdateMaxDelayMs - pendingSince.elapsed());
    updateTimer.start(int(std::min<qint64>(UpdateQuietMs, left)));
}

void MatrixConfigForm::applyUpdateNow(int what)
{
    pendingUpdate |= what;
    slotFlushPendingUpdate();
    MatrixSdkWorker::flushStore();
}

void MatrixConfigForm::slotFlushPendingUpdate()
{
    updateTimer.stop();
    int what = pendingUpdate;
    pendingUpdate = 0;
    // Connection states alone are drawn onto a listing; the first report after loading makes it.
    if ((what & UpdateConnectionStates) && !wallsListed)
        what |= UpdateWallStates | UpdateRedraw;
    if (what & UpdateWallStates)
        refreshTvWallStates();
    if (what & UpdateRedraw) {
        redraw();
        if ((what & UpdateUnbindWithoutShownWall) && ui->treewt->shownTvWallName().isEmpty())
            ui->wallwt->unbindAll();
    } else if (what & UpdateConnectionStates) {
        drawConnectionStates();
    }
    if (what & UpdateStoreTvWalls)
        storeTvWalls();
    if (what & UpdateStoreDecoders)
        MatrixSdkWorker::addDecoderToJson(decoderMap.values());
}

void MatrixConfigForm::rebuildGrid(int rows, int columns)
{
    drawnWall.clear();
    ui->wallwt->setLayout(rows, columns);
    ui->wallwt->setBindingFamily(-1);
    ui->treewt->unlock();
    ui->winTitleLabel->clear();
}

// ---- wall commands ----

bool MatrixConfigForm::execTvWallWizard(const QStringList& decodersOrBoundOutputs,
                                        const QStringList& outputIds, const QStringList& wallNames,
                                        bool addMode, const TvWallManagement& wall, TvWallManagement& result)
{
    AddMatrixDlg dialog(decodersOrBoundOutputs, outputIds, wallNames, addMode, wall, this);
    dialog.setWallsSeenOnDecoders(wallsSeenOnDecoders());
    DlgMaskWt mask(window(), &dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    result = dialog.tvWallResult();
    wizardCopy = dialog.decoderCopyResult();
    return true;
}

QMap<QString, TvWallManagement> MatrixConfigForm::wallsSeenOnDecoders() const
{
    QMap<QString, TvWallManagement> seen;
    for (const TvWallManagement& wall : tvWallMap) {
        // The first wall of a main decoder, the one a save replaces.
        if (seen.contains(wall.mainIp))
            continue;
        // Lists from before copies were kept: the wall as stored is what this desk last exchanged.
        const DecoderWallCopy copy = MatrixSdkWorker::getWallCopyFromJson(wall.tvWallName);
        seen.insert(wall.mainIp, copy.kept ? copy.wall : wall);
    }
    return seen;
}

void MatrixConfigForm::keepWizardCopy(const QString& tvWallName)
{
    if (wizardCopy.kept)
        MatrixSdkWorker::setWallCopyToJson(tvWallName, wizardCopy);
    wizardCopy = DecoderWallCopy();
}

void MatrixConfigForm::setChangedOnDecoder(const QString& tvWallName, bool changed)
{
    ui->treewt->setTvWallChangedOnDecoder(tvWallName, changed);
    DecoderWallCopy copy = MatrixSdkWorker::getWallCopyFromJson(tvWallName);
    if (copy.kept && copy.changedOnDecoder != changed) {
        copy.changedOnDecoder = changed;
        MatrixSdkWorker::setWallCopyToJson(tvWallName, copy);
    }
}

void MatrixConfigForm::onTvWallOpened(const QString& tvWallName)
{
    if (ui->treewt->isTvWallChangedOnDecoder(tvWallName))
        setChangedOnDecoder(tvWallName, false);
}

void MatrixConfigForm::slotAddBtnClicked()
{
    slotFlushPendingUpdate();
    int rows = 0;
    int columns = 0;
    ui->wallwt->getLayout(rows, columns);
    if (rows == 0 && columns == 0) {
        rows = 2;
        columns = 2;
    }
    rebuildGrid(rows, columns);

    QStringList decoderIps;
    QStringList outputIds;
    collectOfferedOutputs(&decoderIps, &outputIds);
    if (decoderIps.isEmpty()) {
        information(tr("Please add the decoder first!"));
        return;
    }
    TvWallManagement wall;
    if (!execTvWallWizard(decoderIps, outputIds, tvWallMap.keys(), true, TvWallManagement(), wall))
        return;
    removeFirstWallWithMainIp(wall.mainIp);
    tvWallMap.insert(wall.tvWallName, wall);
    refreshTvWallStates();
    ui->treewt->setShownTvWallName(wall.tvWallName);
    ui->treewt->setTvWallChangedOnDecoder(wall.tvWallName, false);
    redraw();
    storeTvWalls();
    keepWizardCopy(wall.tvWallName);
    MatrixSdkWorker::flushStore();
}

void MatrixConfigForm::slotEditBtnClicked()
{
    slotFlushPendingUpdate();
    const QString name = ui->treewt->currentTvWallName();
    const auto found = tvWallMap.constFind(name);
    if (found == tvWallMap.constEnd()) {
        information(tr("Please select a TV wall first!"));
        return;
    }
    if (!found->connected) {
        information(tr("Please connect the TV wall first!"));
        return;
    }
    const TvWallManagement current = *found;
    // The wizard shows the wall: the operator has seen what changed on the decoder.
    if (ui->treewt->isTvWallChangedOnDecoder(name))
        setChangedOnDecoder(name, false);
    QStringList boundOutputs;
    for (const MatrixInfo& screen : current.matrixInfoList)
        boundOutputs.append(
            screen.channel == 1 ? screen.ip : screen.ip + QLatin1Char('-') + QString::number(screen.channel));
    QStringList decoderIps;
    QStringList outputIds;
    collectOfferedOutputs(&decoderIps, &outputIds);
    TvWallManagement wall;
    if (!execTvWallWizard(boundOutputs, outputIds, tvWallMap.keys(), false, current, wall))
        return;
    removeFirstWallWithMainIp(wall.mainIp);
    tvWallMap.insert(wall.tvWallName, wall);
    ui->treewt->setTvWallChangedOnDecoder(wall.tvWallName, false);
    redraw();
    storeTvWalls();
    keepWizardCopy(wall.tvWallName);
    MatrixSdkWorker::flushStore();
}

void MatrixConfigForm::slotDeleteBtnClicked()
{
    slotFlushPendingUpdate();
    const QString name = ui->treewt->takeCurrentTvWall();
    if (!tvWallMap.contains(name)) {
        information(tr("Please select a TV wall first!"));
        return;
    }
    tvWallMap.remove(name);
    ui->treewt->setTvWallChangedOnDecoder(name, false);
    redraw();
    storeTvWallsNow();
}

void MatrixConfigForm::slotDecoderManagementBtnClicked()
{
    if (!decoderManagementDlg)
        return;
    DlgMaskWt mask(window(), decoderManagementDlg);
    if (decoderManagementDlg->exec() == QDialog::Accepted)
        decoderMap = decoderManagementDlg->getMatrixInfoMap();
}

void MatrixConfigForm::slotSetLayoutBtnClicked()
{
    SetLayoutDlg dialog(this);
    DlgMaskWt mask(window(), &dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    int rows = 0;
    int columns = 0;
    dialog.getLayout(rows, columns);
    rebuildGrid(rows, columns);
}

void MatrixConfigForm::slotSplit4BtnClicked()
{
    rebuildGrid(2, 2);
}

void MatrixConfigForm::slotSplit6BtnClicked()
{
    rebuildGrid(2, 3);
}

void MatrixConfigForm::slotSplit9BtnClicked()
{
    rebuildGrid(3, 3);
}

void MatrixConfigForm::slotSplit12BtnClicked()
{
    rebuildGrid(3, 4);
}

// ---- reports of the decoder management dialog ----

// The dialog reports every connection result; the lists change at once, the drawing and the store
// follow on the next quiet turn of the event loop (scheduleUpdate). A report of connection states alone
// changes the states of the walls that use those decoders, not the lists: the tree is not refilled.

void MatrixConfigForm::onMatrixInfoChanged(const MatrixInfoMap& matrixInfoMap)
{
    switch (takeOverDecoders(matrixInfoMap)) {
    case AddressesChanged:
        applyUpdateNow(UpdateWallStates | UpdateRedraw | UpdateStoreDecoders);
        break;
    case CredentialsChanged:
        // Credentials the operator typed are on disk before the next input; the lists show no credentials,
        // so what they show follows with the connection states.
        MatrixSdkWorker::addDecoderToJson(decoderMap.values());
        MatrixSdkWorker::flushStore();
        scheduleUpdate(UpdateConnectionStates);
        break;
    case StatesOnly:
        scheduleUpdate(UpdateConnectionStates | UpdateStoreDecoders);
        break;
    }
}

void MatrixConfigForm::onTvWallManagementChanged(const TvWallManagement& wall)
{
    if (decoderManagementDlg)
        takeOverDecoders(decoderManagementDlg->getMatrixInfoMap());
    const bool newWall = !tvWallMap.contains(wall.tvWallName);
    // A known wall reported again as it is listed (a main decoder that reconnected) changes no entry.
    auto first = std::find_if(tvWallMap.begin(), tvWallMap.end(),
                              [&wall](const TvWallManagement& w) { return w.mainIp == wall.mainIp; });
    // A wall this desk had is marked when the decoder holds another version than this desk last saw; the
    // mark stays, through later connections, until the operator opens the wall.
    DecoderWallCopy seen;
    if (first != tvWallMap.end()) {
        seen = MatrixSdkWorker::getWallCopyFromJson(first->tvWallName);
        if (!seen.kept)
            seen.wall = *first;
        seen.changedOnDecoder = seen.changedOnDecoder || !WallDifference::sameWall(seen.wall, wall);
        if (first->tvWallName != wall.tvWallName)
            ui->treewt->setTvWallChangedOnDecoder(first->tvWallName, false);
    }
    const DecoderWallCopy received{true, wall, seen.changedOnDecoder};
    if (first != tvWallMap.end() && showsTheSame(*first, wall)) {
        // Every reconnect of a main decoder reports its wall; one that comes back as it is stored leaves the
        // list as it is on disk.
        const bool stored = sameStoredWall(*first, wall);
        const bool connected = first->connected;
        *first = wall;
        first->connected = connected;
        MatrixSdkWorker::setWallCopyToJson(wall.tvWallName, received);
        ui->treewt->setTvWallChangedOnDecoder(wall.tvWallName, received.changedOnDecoder);
        changedDecoders.insert(wall.mainIp);
        scheduleUpdate(UpdateConnectionStates | (stored ? 0 : UpdateStoreTvWalls));
        return;
    }
    removeFirstWallWithMainIp(wall.mainIp);
    tvWallMap.insert(wall.tvWallName, wall);
    MatrixSdkWorker::setWallCopyToJson(wall.tvWallName, received);
    ui->treewt->setTvWallChangedOnDecoder(wall.tvWallName, received.changedOnDecoder);
    // A wall taken over is the operator's choice; a known wall reported again on a reconnect is not.
    if (newWall)
        applyUpdateNow(UpdateWallStates | UpdateRedraw | UpdateStoreTvWalls);
    else
        scheduleUpdate(UpdateWallStates | UpdateRedraw | UpdateStoreTvWalls);
}

void MatrixConfigForm::onIpChanged(const QString& mainIp, const QString& formerIp)
{
    const auto moveDecoder = [&mainIp, &formerIp](TvWallManagement& wall) {
        if (wall.mainIp == formerIp)
            wall.mainIp = mainIp;
        for (MatrixInfo& screen : wall.matrixInfoList) {
            if (screen.ip == formerIp)
                screen.ip = mainIp;
        }
    };
    for (TvWallManagement& wall : tvWallMap) {
        moveDecoder(wall);
        // Decoders name the outputs of a moved decoder by its new address, in the walls they hold too.
        DecoderWallCopy copy = MatrixSdkWorker::getWallCopyFromJson(wall.tvWallName);
        if (copy.kept) {
            moveDecoder(copy.wall);
            MatrixSdkWorker::setWallCopyToJson(wall.tvWallName, copy);
        }
    }
    applyUpdateNow(UpdateWallStates | UpdateRedraw | UpdateStoreTvWalls);
}

void MatrixConfigForm::onDeleteTvwallItem(const QString& ip)
{
    for (auto it = tvWallMap.begin(); it != tvWallMap.end(); ++it) {
        if (it->mainIp == ip || wallDecoderIps(*it).contains(ip)) {
            ui->treewt->setTvWallChangedOnDecoder(it.key(), false);
            tvWallMap.erase(it);
            break;
        }
    }
    applyUpdateNow(UpdateWallStates | UpdateRedraw | UpdateUnbindWithoutShownWall | UpdateStoreTvWalls);
}

// ---- quit and close ----

void MatrixConfigForm::slotQuitSystem()
{
    service().disconnectAllMatrix();
}

void MatrixConfigForm::slotPrepareCloseMatrixConfigForm()
{
    if (!ui->wallwt->allScreensBound() && !ui->wallwt->allScreensUnbound()) {
        const QString question =
            tr("The current TV wall configuration is not saved, whether to save the TV wall configuration?");
        if (PCOMMON::PMessageBox::question(this, question, 3, false) == 1)
            return;
    }
    emit PSingleton<pral_base::ModuleAccess>::_instance().signalMatrixConfigFormClosed();
}

// ---- operations for the wizard ----

void MatrixConfigForm::setEmbeddedMode()
{
    embedded = true;
    ui->widgetCenter->hide();
    ui->widgetTop->hide();
    ui->widgethead->hide();
    ui->widget_bottom->show();
    ui->wallwt->setEmbedded();
}

void MatrixConfigForm::showOutputs(const QString& tvWallName, const QStringList& outputIds)
{
    if (ui->treewt->relistOutputs(tvWallName, outputIds))
        return;
    ui->treewt->clearTree();
    ui->treewt->showOutputs(tvWallName, outputIds);
}

void MatrixConfigForm::screenBinding(int screenWtId, QString& outputKey, int& outputNumberId,
                                     int& outputNumber) const
{
    ui->wallwt->screenBinding(screenWtId, outputKey, outputNumberId, outputNumber);
}

void MatrixConfigForm::bindScreen(int screenWtId, const QString& outputId)
{
    drawnWall.clear();
    ui->wallwt->bindScreen(screenWtId, outputId, outputId, 1, 1);
}

void MatrixConfigForm::getLayout(int& rows, int& columns) const
{
    ui->wallwt->getLayout(rows, columns);
}

void MatrixConfigForm::setLayout(int rows, int columns)
{
    drawnWall.clear();
    ui->wallwt->setLayout(rows, columns);
}

bool MatrixConfigForm::allScreensBound() const
{
    return ui->wallwt->allScreensBound();
}

// ---- connection and binding ----

void MatrixConfigForm::connectTvWall(const QString& tvWallName)
{
    // Called from the tree's own button: the states may be brought up to date, the tree not redrawn.
    if (pendingUpdate & UpdateWallStates)
        refreshTvWallStates();
    else if (pendingUpdate & UpdateConnectionStates)
        refreshChangedWallStates();
    const auto found = tvWallMap.constFind(tvWallName);
    if (found == tvWallMap.constEnd())
        return;
    QList<MatrixInfo> toConnect;
    for (const QString& ip : wallDecoderIps(*found)) {
        const auto decoder = decoderMap.constFind(ip);
        if (decoder == decoderMap.constEnd()) {
            SystemAssistant::messageAlert(
                DictDef::alertNotice,
                QStringLiteral("There is no decoder added, TV wall connection failed!"));
            return;
        }
        if (decoder->connectStatus != 1)
            toConnect.append(*decoder);
    }
    if (toConnect.isEmpty())
        return;

    pendingConnectCount = toConnect.size();
    allConnectedOk = true;
    auto* overlay = new PCOMMON::DisabledWaitingWt(this, tr("TvWall connecting..."), QString(), false);
    overlay->show();
    overlay->raise();
    waitingUuid = overlay->getUuid();
    for (const MatrixInfo& decoder : qAsConst(toConnect)) {
        connectingTvWallName = tvWallName;
        service().connectMatrix(decoder, this);
    }
}

void MatrixConfigForm::slotConnectMatrixResult(QSharedPointer<CSharedHandle> mHandle, int result, int type,
                                               void* pUser)
{
    Q_UNUSED(type)
    // Connections asked for elsewhere (the decoder management dialog) reach the page
    // through that dialog's reports and the redraw they cause.
    if (pUser == this && pendingConnectCount > 0) {
        if (result != 0)
            allConnectedOk = false;
        if (--pendingConnectCount == 0) {
            PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(waitingUuid);
            if (allConnectedOk)
                SystemAssistant::messageAlert(DictDef::alertNotice,
                                              tr("Tvwall(%1):Connect success!").arg(connectingTvWallName));
            else
                SystemAssistant::messageAlert(
                    DictDef::alertNotice,
                    tr("Tvwall(%1):Connect failed:The associated decoder connection failed")
                        .arg(connectingTvWallName));
            connectingTvWallName.clear();
        }
    }
    mHandle.clear();
}

void MatrixConfigForm::slotShowMatrixLayout(int type, QString tvWallName)
{
    Q_UNUSED(type)
    if (pendingUpdate & UpdateWallStates)
        refreshTvWallStates();
    else if (pendingUpdate & UpdateConnectionStates)
        refreshChangedWallStates();
    const auto found = tvWallMap.constFind(tvWallName);
    if (found == tvWallMap.constEnd() || !found->connected)
        return;
    const TvWallManagement& wall = *found;
    drawnWall = wall.tvWallName;
    ui->wallwt->setLayout(wall.row, wall.col);
    int rows = 0;
    int cols = 0;
    ui->wallwt->getLayout(rows, cols);
    int outside = 0;
    for (const MatrixInfo& screen : wall.matrixInfoList) {
        // A stored wall may name screens its grid does not have; they must not land on another screen.
        if (screen.row < 0 || screen.row >= rows || screen.column < 0 || screen.column >= cols) {
            ++outside;
            continue;
        }
        const QString id = screen.matrixType == 1
                               ? screen.ip
                               : screen.ip + QLatin1Char('-') + QString::number(screen.channel);
        ui->wallwt->bindScreen(screen.row * cols + screen.column, id, id, 1, 1);
    }
    if (outside > 0)
        SystemAssistant::messageAlert(DictDef::alertNotice,
                                      tr("TV wall %1: %2 screen bindings lie outside its %3 x %4 grid")
                                          .arg(wall.tvWallName)
                                          .arg(outside)
                                          .arg(wall.row)
                                          .arg(wall.col));
}

void MatrixConfigForm::slotDropEvent(int screenWtId, QString itemId, int itemType)
{
    Q_UNUSED(itemType)
    drawnWall.clear();
    ui->wallwt->bindScreen(screenWtId, itemId, itemId, 1, 1);
}

void MatrixConfigForm::slotTreeItemDoubleClicked(QTreeWidgetItem* item, int column)
{
    Q_UNUSED(column)
    auto* treeItem = dynamic_cast<pral_base::TreeItem*>(item);
    const int selected = ui->wallwt->selectedScreenId();
    if (!treeItem || treeItem->getId().isEmpty() || selected < 0)
        return;
    const QString id = treeItem->getId();
    ScreenLayoutWt* view = ui->wallwt;

    if (treeItem->itemType() == 7) {
        if (treeItem->childCount() > 0)
            return;
        if (view->bindingFamily() != -1 && view->bindingFamily() != 1)
            return;
        if (view->isMatrixKeyBound(id)) {
            SystemAssistant::messageAlert(DictDef::alertNotice, tr("this output has been used"));
            return;
        }
        for (const MatrixInfo& decoder : qAsConst(decoderMap)) {
            if (decoder.deviceId != id)
                continue;
            drawnWall.clear();
            view->bindScreen(selected, decoder.deviceId, decoder.ip, -1, -1);
            view->setBindingFamily(1);
            ui->treewt->lock();
            ui->winTitleLabel->setText(tr("RS Decoder : ") + decoder.ip);
        }
        return;
    }

    const int number = id.toInt();
    if (view->isOutputIdBound(number)) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("this output has been used"));
        return;
    }
    if (view->bindingFamily() != -1 && view->bindingFamily() != 0)
        return;
    for (const MatrixInfo& decoder : qAsConst(decoderMap)) {
        for (const pral_matrix::OutputInfo& output : decoder.outputList) {
            if (output.outputId != number)
                continue;
            drawnWall.clear();
            view->bindScreen(selected, decoder.deviceId, decoder.ip, output.outputId, output.outputNo);
            view->setBindingFamily(0);
            ui->treewt->lock();
            ui->winTitleLabel->setText(tr("RT Decoder : ") + decoder.ip + tr(": output") +
                                       QString::number(output.outputNo));
            break;
        }
    }
}

void MatrixConfigForm::slotScreenClicked()
{
    ui->winTitleLabel->setText(ui->wallwt->selectedScreenText());
}

void MatrixConfigForm::slotUnbingding()
{
    ui->winTitleLabel->setText(ui->wallwt->selectedScreenText());
}

void MatrixConfigForm::slotAllUnbingding()
{
    ui->winTitleLabel->setText(ui->wallwt->selectedScreenText());
    ui->treewt->unlock();
    service().removeBanner(bannerHandle);
}

void MatrixConfigForm::slotOnDecoderTreePressItem(QString id)
{
    ui->wallwt->highlightOutput(id);
}

void MatrixConfigForm::slotOnScreenPressed(QString id)
{
    ui->treewt->selectOutput(id);
}

void MatrixConfigForm::slotOpenScreenCheck(QString ip, int location)
{
    if (embedded || decoderMap.contains(ip))
        service().checkScreen(service().getHandleByIp(ip), location, true);
}

void MatrixConfigForm::slotCloseScreenCheck(QString ip, int location)
{
    service().checkScreen(service().getHandleByIp(ip), location, false);
}

void MatrixConfigForm::slotCheckScreen(int result)
{
    Q_UNUSED(result)
}

} // namespace pral_matrixConfig
