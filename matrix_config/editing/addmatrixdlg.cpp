#include "addmatrixdlg.h"
#include "ui_addmatrixdlg.h"

#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "dlgmaskwt.h"
#include "highdpi.h"
#include "modulelook.h"
#include "pmessagebox.h"
#include "systemassistant.h"
#include "walldifference.h"
#include "walldifferencedlg.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <utility>

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

constexpr int NamePage = 0;
constexpr int DecoderPage = 1;
constexpr int BindingPage = 2;
constexpr int PreviewPage = 3;
constexpr int AdjustPage = 4;

// The binding and adjustment pages are this much larger; moving by half of it keeps the dialog centred.
constexpr int WideExtraWidth = 400;
constexpr int WideExtraHeight = 300;
constexpr int MaxNameBytes = 20;

/**
 * Widens a line edit of a fixed width until its hint shows whole: the hint states the rule that the field
 * checks, and a language may need more room for it than the form gives.
 */
void fitToPlaceholder(QLineEdit* edit)
{
    edit->ensurePolished(); // its padding and font come from the style sheets
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    // Around the text: the frame, the padding, and the two pixels a line edit keeps on either side.
    const int textRoom =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() - 4;
    // The advance is rounded; a pixel more keeps the exact width of the text within the room.
    const int needed = edit->fontMetrics().horizontalAdvance(edit->placeholderText()) + 1;
    if (needed > textRoom)
        edit->setFixedWidth(edit->width() + needed - textRoom);
}

} // namespace

AddMatrixDlg::AddMatrixDlg(const QStringList& decoderIps, const QStringList& outputIds,
                           const QStringList& wallNames, bool addMode, const TvWallManagement& wall,
                           QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::AddMatrixDlg)
    , addMode(addMode)
    , tvWallName(wall.tvWallName)
    , wallNames(wallNames)
    , decoderIps(decoderIps)
    , mainIp(wall.mainIp)
    , outputIds(outputIds)
    , wall(wall)
{
    ui->setupUi(this);
    applyLook();
    normalSize = size();
    wideSize = normalSize + QSize(WideExtraWidth, WideExtraHeight);
    setWindowFlag(Qt::FramelessWindowHint);
    ui->bindingMatrixWt->setEmbeddedMode();

    if (addMode) {
        setWindowTitle(tr("Add a TV Wall"));
        curStep = NamePage;
        updateStepButtons();
        ui->tvWallNameEdit->setPlaceholderText(
            tr("Please enter the name of the TV wall (no more than 20 characters)"));
        fitToPlaceholder(ui->tvWallNameEdit);
        ui->mainDecoderComboBox->addItems(this->decoderIps);
        ui->editBtn->hide();
        ui->cancelForEditBtn->hide();
        ui->saveForEditBtn->hide();
        ui->tvWallNamePreviewEdit->setReadOnly(true);
        tvWallName.clear();
        mainIp.clear();
        ui->bindingMatrixWt->setLayout(2, 2);
    } else {
        setTitles(tr("Edit a TV Wall"));
        for (QPushButton* button : {ui->editBtn, ui->adjustBtn}) {
            button->setIcon(QIcon(QStringLiteral(":/images/images/edit_n.png")));
            button->setText(tr("edit"));
        }
        for (QWidget* w : std::initializer_list<QWidget*>{ui->cancelBtn, ui->lastStepBtn, ui->nextStepBtn,
                                                          ui->saveBtn, ui->oneTweThree_3, ui->setName,
                                                          ui->selectDecoder, ui->selectOutPut})
            w->hide();
        ui->tvWallNamePreviewEdit->setText(tvWallName);
        ui->mainDecoder->setText(mainIp);
        curStep = PreviewPage;
        slot_previewBtnClieked();
        listOutputs();
        ui->bindingMatrixWt->setLayout(wall.row, wall.col);
        ui->adjustScreenWt->setLayout(wall.row, wall.col);
        for (const MatrixInfo& screen : wall.matrixInfoList) {
            const int index = wall.col * screen.row + screen.column;
            const QString id = screen.channel != 0
                                   ? screen.ip + QLatin1Char('-') + QString::number(screen.channel)
                                   : screen.ip;
            ui->bindingMatrixWt->bindScreen(index, id);
            ui->adjustScreenWt->bindScreen(index, screen.ip, id);
        }
        // The wall may keep its own name.
        this->wallNames.removeOne(tvWallName);
    }
    showCurrentPage();

    // Connected once the pages are filled, so that filling them sends nothing.
    connect(ui->cancelBtn, &QPushButton::clicked, this, &AddMatrixDlg::slot_cancelBtnClieked);
    connect(ui->cancelForEditBtn, &QPushButton::clicked, this, &AddMatrixDlg::slot_cancelForEditBtnClieked);
    connect(ui->lastStepBtn, &QPushButton::clicked, this, &AddMatrixDlg::slot_lastStepBtnClieked);
    connect(ui->nextStepBtn, &QPushButton::clicked, this, &AddMatrixDlg::slot_nextStepBtnClieked);
    connect(ui->saveBtn, &QPushButton::clicked, this, &AddMatrixDlg::slot_saveBtnClieked);
    connect(ui->saveForEditBtn, &QPushButton::clicked, this, &AddMatrixDlg::slot_saveForEditBtnClieked);
    connect(ui->editBtn, &QPushButton::clicked, this, &AddMatrixDlg::slot_editBtnClieked);
    connect(ui->adjustBtn, &QPushButton::clicked, this, &AddMatrixDlg::slotAdjustBtnClicked);
    connect(ui->adjustScreenWt, &AdjustScreen::signalrestoreMatrixScene, this,
            &AddMatrixDlg::slotrestoreMatrixScene);
    connect(&service(), &MatrixSdkWorker::signalSetLayoutResult, this, &AddMatrixDlg::slot_setLayoutResult);
    connect(&service(), &MatrixSdkWorker::signalGetLayoutInfoResult, this,
            &AddMatrixDlg::slotDecoderWallRead);
    connect(ui->tvWallNamePreviewEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        tvWallName = text;
        listOutputs();
    });
}

AddMatrixDlg::~AddMatrixDlg()
{
    // An overlay still up (the dialog closed while a layout was on its way) goes with the dialog.
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(overlayId);
    delete ui;
}

void AddMatrixDlg::applyLook()
{
    setBackgroundColor(QColor(QStringLiteral("#172335")));
    fillBackground(ui->widget_top, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_center, QStringLiteral("#172335"));
    fillBackground(ui->widget_bottom, QStringLiteral("#172335"));
    ui->title->setProperty("common_label_style1", true);
    // The form loads the banners' 1x files only; on a 200 % screen their @2x files are the sharp ones.
    const std::pair<QLabel*, QString> banners[] = {
        {ui->oneTweThree, QStringLiteral(":/matrixConfig_images/images/add_matrix_first_page.png")},
        {ui->oneTweThree_2, QStringLiteral(":/matrixConfig_images/images/add_matrix_second_page.png")},
        {ui->oneTweThree_3, QStringLiteral(":/matrixConfig_images/images/add_matrix_third_page.png")}};
    for (const auto& [label, path] : banners)
        label->setPixmap(PCOMMON::imagePixmap(path));
    setStyleSheet(QStringLiteral(
        "QLabel#tvWallNameLabel,QLabel#mainDecoderLabel,QLabel#previewNameLabel,QLabel#previewDecoderLabel,"
        "QLabel#bindingLabel,QLabel#adjustLabel,QLabel#mainDecoder{color:#ebf3fa;font-size:13px;}"
        "QWidget#previewWt QPushButton{color:#266baf;border:none;background:transparent;"
        "text-align:left;font-size:13px;padding:0px;}"
        "QWidget#previewWt QPushButton:hover{color:#3a82c8;}"));
    // Each page names the steps up to its own as done.
    const QList<QList<QLabel*>> stepLabels = {{ui->setName_1, ui->selectDecoder_1, ui->selectOutPut_1},
                                              {ui->setName_2, ui->selectDecoder_2, ui->selectOutPut_2},
                                              {ui->setName, ui->selectDecoder, ui->selectOutPut}};
    for (int page = 0; page < stepLabels.size(); ++page) {
        for (int step = 0; step < stepLabels.at(page).size(); ++step)
            stepLabels.at(page).at(step)->setStyleSheet(step <= page ? QStringLiteral("color:#ebf3fa;")
                                                                     : QStringLiteral("color:#5a6478;"));
    }
}

void AddMatrixDlg::setTitles(const QString& text)
{
    setWindowTitle(text);
    ui->title->setText(text);
}

void AddMatrixDlg::showCurrentPage()
{
    ui->stackedWidget->setCurrentIndex(curStep);
}

void AddMatrixDlg::shiftBy(int dx, int dy)
{
    move(x() + dx, y() + dy);
}

void AddMatrixDlg::updateStepButtons()
{
    const QRect desktop = QApplication::desktop()->geometry();
    move((desktop.width() - normalSize.width()) / 2, (desktop.height() - normalSize.height()) / 2);
    ui->lastStepBtn->setVisible(curStep == DecoderPage || curStep == BindingPage);
    ui->nextStepBtn->setVisible(curStep == NamePage || curStep == DecoderPage);
    ui->saveBtn->setVisible(curStep == BindingPage);
    ui->cancelBtn->setVisible(curStep <= BindingPage);
    if (curStep == BindingPage) {
        resize(wideSize);
        shiftBy(-WideExtraWidth / 2, -WideExtraHeight / 2);
    } else if (curStep != NamePage) {
        resize(normalSize);
    }
}

TvWallManagement AddMatrixDlg::tvWallResult()
{
    wall.tvWallName = tvWallName;
    wall.mainIp = mainIp;
    return wall;
}

bool AddMatrixDlg::checkName(const QString& name)
{
    tvWallName = name;
    // The decoder stores the name in 20 bytes of UTF-8, whatever the characters are.
    const int bytes = name.toUtf8().size();
    QString warning;
    if (bytes == 0)
        warning = tr("Please enter the name of the TV wall!");
    else if (bytes > MaxNameBytes)
        warning = tr("TV-wall name cannot be longer than 20 characters!");
    else if (wallNames.contains(name))
        warning = addMode ? tr("The TV wall name already exists!")
                          : tr("TV wall name already exists, please reenter!");
    if (warning.isEmpty())
        return true;
    tvWallName.clear();
    SystemAssistant::messageAlert(DictDef::alertWarning, warning);
    return false;
}

void AddMatrixDlg::setWallsSeenOnDecoders(const QMap<QString, TvWallManagement>& byMainIp)
{
    compareWithDecoder = true;
    seenOnDecoders = byMainIp;
}

void AddMatrixDlg::showBusy()
{
    auto* overlay = new PCOMMON::DisabledWaitingWt(this, tr("TV wall configuration..."), QString(), false);
    overlay->show();
    overlay->raise();
    overlayId = overlay->getUuid();
}

void AddMatrixDlg::sendLayout()
{
    const QString question =
        tr("Saving the current configuration will empty the TV wall. Are you sure to continue?");
    if (PCOMMON::PMessageBox::question(this, question, 3, false) != 1)
        return;
    showBusy();

    int rows = 0;
    int columns = 0;
    ui->bindingMatrixWt->getLayout(rows, columns);
    QList<MatrixInfo> screens;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            QString outputKey;
            int outputId = -1;
            int outputNo = -1;
            ui->bindingMatrixWt->screenBinding(columns * r + c, outputKey, outputId, outputNo);
            MatrixInfo screen;
            const QStringList parts = outputKey.split(QLatin1Char('-'), Qt::KeepEmptyParts);
            screen.ip = parts.at(0);
            screen.channel = parts.size() >= 2 ? parts.at(1).toInt() : 1;
            screen.column = c;
            screen.row = r;
            screens.append(screen);
        }
    }
    wall.matrixInfoList = screens;
    wall.row = rows;
    wall.col = columns;
    // Without a connection there is nothing to read: the layout's own result says so.
    const CMHandle handle = service().getHandleByIp(mainIp);
    if (compareWithDecoder && handle) {
        exchange = Exchange::Checking;
        service().getLayout(handle, this);
        return;
    }
    sendToDecoder();
}

void AddMatrixDlg::sendToDecoder()
{
    exchange = Exchange::Sending;
    service().setLayout(mainIp, 3, wall.row, wall.col, wall.matrixInfoList, tvWallName);
}

void AddMatrixDlg::slot_setLayoutResult(int ret)
{
    // Nothing else sends layouts while the wizard is open; a result without a request is not ours to take.
    if (exchange != Exchange::Sending)
        return;
    if (ret == 0) {
        SystemAssistant::messageAlert(DictDef::alertSuccess, tr("Set the TV wall successfully!"));
        // Taken is not yet known to be stored as sent: the wizard closes once the decoder has told.
        const CMHandle handle = service().getHandleByIp(mainIp);
        if (compareWithDecoder && handle) {
            exchange = Exchange::ReadingBack;
            service().getLayout(handle, this);
            return;
        }
        if (compareWithDecoder) {
            finishReadBack(TvWallManagement());
            return;
        }
        exchange = Exchange::Idle;
        PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(overlayId);
        accept();
        return;
    }
    exchange = Exchange::Idle;
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(overlayId);
    SystemAssistant::messageAlert(DictDef::alertWarning, tr("Failed to set the TV wall,ret = %1!").arg(ret));
}

void AddMatrixDlg::slotDecoderWallRead(QString mainMatrixIp, int maintype, MatrixInfoList screens, int row,
                                       int col, QString matrixName, void* user)
{
    if (user != this || (exchange != Exchange::Checking && exchange != Exchange::ReadingBack))
        return;
    // The decoder's wall as a connection's takeover makes it; an empty address: it holds none (or said none).
    TvWallManagement held;
    if (!mainMatrixIp.isEmpty()) {
        held.tvWallName = matrixName;
        held.mainIp = mainIp;
        held.row = row;
        held.col = col;
        held.mainMatrix.matrixType = pral_matrix::MatrixType(maintype);
        for (const MatrixInfo& received : qAsConst(screens)) {
            MatrixInfo screen;
            screen.matrixType = received.matrixType;
            screen.ip = received.ip;
            screen.column = received.column;
            screen.row = received.row;
            screen.channel = received.channel;
            held.matrixInfoList.append(screen);
        }
    }
    if (exchange == Exchange::ReadingBack) {
        finishReadBack(held);
        return;
    }
    const TvWallManagement seen = seenOnDecoders.value(mainIp);
    if (WallDifference::sameWall(seen, held)) {
        sendToDecoder();
        return;
    }
    askAboutDecoderVersion(seen, held);
}

void AddMatrixDlg::askAboutDecoderVersion(const TvWallManagement& seen, const TvWallManagement& held)
{
    exchange = Exchange::Idle;
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(overlayId);
    WallDifferenceDlg dialog(mainIp, seen, held, this);
    DlgMaskWt mask(this, &dialog);
    dialog.exec();
    switch (dialog.choice()) {
    case WallDifferenceDlg::Overwrite:
        showBusy();
        sendToDecoder();
        break;
    case WallDifferenceDlg::TakeDecoders:
        takeWall(held);
        SystemAssistant::messageAlert(
            DictDef::alertNotice, tr("The TV wall \"%1\" is taken as decoder %2 holds it; nothing was sent.")
                                      .arg(held.tvWallName, mainIp));
        accept();
        break;
    case WallDifferenceDlg::Cancel:
        // Nothing was sent; the wizard stays as it was, and the next save reads the decoder again.
        break;
    }
}

void AddMatrixDlg::takeWall(const TvWallManagement& held)
{
    wall = held;
    tvWallName = held.tvWallName;
    decoderCopy = DecoderWallCopy{true, held, false};
}

void AddMatrixDlg::finishReadBack(const TvWallManagement& held)
{
    exchange = Exchange::Idle;
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(overlayId);
    TvWallManagement sent = wall;
    sent.tvWallName = tvWallName;
    sent.mainIp = mainIp;
    if (WallDifference::isNoWall(held)) {
        SystemAssistant::messageAlert(
            DictDef::alertWarning,
            tr("The TV wall could not be read back from decoder %1: whether it holds what was sent is not "
               "known.")
                .arg(mainIp));
        decoderCopy = DecoderWallCopy{true, sent, false};
    } else if (WallDifference::sameWall(sent, held)) {
        // The decoder's own record of it: the kinds of the decoders as it knows them.
        decoderCopy = DecoderWallCopy{true, held, false};
    } else {
        const WallDifference diff = WallDifference::between(sent, held);
        QStringList how;
        if (diff.nameChanged())
            how << tr("named \"%1\"").arg(held.tvWallName);
        if (diff.gridChanged())
            how << tr("%1 x %2 screens").arg(held.row).arg(held.col);
        if (diff.changedScreens() > 0)
            how << tr("%1 screen(s) bound otherwise").arg(diff.changedScreens());
        SystemAssistant::messageAlert(
            DictDef::alertWarning,
            tr("Decoder %1 stored another TV wall than the one sent: %2. The page shows the TV wall as the "
               "decoder holds it.")
                .arg(mainIp, how.join(tr(", "))));
        // The decoder decides what the screens show: the page follows it, not the wizard.
        takeWall(held);
    }
    accept();
}

void AddMatrixDlg::keyPressEvent(QKeyEvent* event)
{
    // A plain reject would leave scene 6 on the decoder and the adjustments in place.
    if (event->key() == Qt::Key_Escape) {
        if (exchange == Exchange::Idle)
            addMode ? slot_cancelBtnClieked() : slot_cancelForEditBtnClieked();
        return;
    }
    PCOMMON::CommonDialog::keyPressEvent(event);
}

// ---- add mode ----

void AddMatrixDlg::slot_cancelBtnClieked()
{
    reject();
}

void AddMatrixDlg::slot_lastStepBtnClieked()
{
    if (curStep <= 0)
        return;
    --curStep;
    updateStepButtons();
    showCurrentPage();
}

void AddMatrixDlg::slot_nextStepBtnClieked()
{
    if (curStep >= PreviewPage)
        return;
    if (curStep == NamePage) {
        if (!checkName(ui->tvWallNameEdit->text()))
            return;
        ui->tvWallNamePreviewEdit->setText(tvWallName);
    } else if (curStep == DecoderPage) {
        mainIp = ui->mainDecoderComboBox->currentText();
        if (mainIp.isEmpty()) {
            mainIp.clear();
            return;
        }
        ui->mainDecoder->setText(mainIp);
        listOutputs();
    }
    ++curStep;
    updateStepButtons();
    showCurrentPage();
}

void AddMatrixDlg::slot_previewBtnClieked()
{
    if (curStep == BindingPage) {
        curStep = PreviewPage;
        updateStepButtons();
    } else if (addMode || curStep != PreviewPage) {
        return;
    }
    showCurrentPage();
}

void AddMatrixDlg::slot_saveBtnClieked()
{
    if (!ui->bindingMatrixWt->allScreensBound()) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("There is an unbinging screen."));
        return;
    }
    sendLayout();
}

// ---- edit mode ----

void AddMatrixDlg::listOutputs()
{
    ui->bindingMatrixWt->showOutputs(tvWallName, outputIds);
}

void AddMatrixDlg::slot_editBtnClieked()
{
    setTitles(tr("binding set"));
    curStep = BindingPage;
    showCurrentPage();
    resize(wideSize);
    shiftBy(-WideExtraWidth / 2, -WideExtraHeight / 2);
}

void AddMatrixDlg::slotAdjustBtnClicked()
{
    sceneHandle = service().getHandleByIp(mainIp);
    service().saveMatrixScene(sceneHandle, AdjustSceneNo, QStringLiteral("adjustScreen_limit"));
    setTitles(tr("Adjust Screen"));
    curStep = AdjustPage;
    showCurrentPage();
    resize(wideSize);
    shiftBy(-WideExtraWidth / 2, -WideExtraHeight / 2);
}

void AddMatrixDlg::slotrestoreMatrixScene()
{
    service().restoreMatrixScene(sceneHandle, AdjustSceneNo);
}

void AddMatrixDlg::leaveAdjustPage()
{
    service().restoreMatrixScene(sceneHandle, AdjustSceneNo);
    service().removeMatrixScene(sceneHandle, AdjustSceneNo);
}

void AddMatrixDlg::slot_saveForEditBtnClieked()
{
    if (curStep == PreviewPage) {
        if (checkName(ui->tvWallNamePreviewEdit->text()))
            sendLayout();
    } else if (curStep == BindingPage) {
        if (!ui->bindingMatrixWt->allScreensBound()) {
            SystemAssistant::messageAlert(DictDef::alertNotice, tr("There is an unbinging screen."));
            return;
        }
        int rows = 0;
        int columns = 0;
        ui->bindingMatrixWt->getLayout(rows, columns);
        wall.row = rows;
        wall.col = columns;
        wall.matrixInfoList.clear();
        for (int i = 0; i < rows * columns; ++i) {
            QString outputKey;
            int outputId = -1;
            int outputNo = -1;
            ui->bindingMatrixWt->screenBinding(i, outputKey, outputId, outputNo);
            MatrixInfo screen;
            screen.ip = outputKey;
            screen.channel = outputId;
            screen.column = i % columns;
            screen.row = i / columns;
            wall.matrixInfoList.append(screen);
        }
        setTitles(tr("Edit a TV Wall"));
        slot_previewBtnClieked();
        resize(normalSize);
    } else if (curStep == AdjustPage) {
        emit ui->adjustScreenWt->signalSaveAllAjust();
        leaveAdjustPage();
        setTitles(tr("Edit a TV Wall"));
        curStep = PreviewPage;
        updateStepButtons();
        showCurrentPage();
    }
}

void AddMatrixDlg::slot_cancelForEditBtnClieked()
{
    if (curStep == PreviewPage) {
        reject();
        return;
    }
    if (curStep == AdjustPage) {
        const QString question =
            tr("Are you sure you want to cancel the configuration of screen adjustment?");
        if (PCOMMON::PMessageBox::question(this, question, 3, false) == 1) {
            auto* overlay = new PCOMMON::DisabledWaitingWt(
                this, tr("Cancel configuration of screen adjustment..."), QString(), false);
            overlay->show();
            overlay->raise();
            overlayId = overlay->getUuid();
            emit ui->adjustScreenWt->signalCancelAllAjust(overlayId);
        }
        leaveAdjustPage();
    } else if (curStep != BindingPage) {
        return;
    }
    // Bindings changed on the binding page stay in the binding view.
    curStep = PreviewPage;
    showCurrentPage();
    setTitles(tr("Edit a TV Wall"));
    resize(normalSize);
    shiftBy(WideExtraWidth / 2, WideExtraHeight / 2);
}

} // namespace pral_matrixConfig
