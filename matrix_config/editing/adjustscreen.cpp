#include "adjustscreen.h"
#include "ui_adjustscreen.h"

#include "dictdef.h"
#include "disabledwaitingwtmanager.h"
#include "screenwt.h"
#include "systemassistant.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

namespace pral_matrixConfig {

using pral_contact::DictDef;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::MatrixWindowInfo;
using pral_matrix::ScreenColor;
using pral_matrix::ScreenResolution;
using pral_matrix::ScreenResolutionInfo;
using pral_matrix::WindowScreenInfo;
using pral_matrix::WindowSourceInfo;
using pral_worker::SystemAssistant;

namespace {

MatrixSdkWorker& service()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

const char* const PictureFiles[] = {"red.jpg", "green.jpg", "blue.jpg", "black.jpg", "white.jpg"};

// The content entries: video, the loop, then one entry per picture in the order of PictureFiles.
constexpr int VideoEntry = 0;
constexpr int LoopEntry = 1;
constexpr int FirstPictureEntry = 2;

QString picturePath(const char* file)
{
    return QDir::currentPath() + QStringLiteral("/resources/") + QLatin1String(file);
}

} // namespace

AdjustScreen::AdjustScreen(QWidget* parent)
    : pral_base::BaseForm(parent)
    , ui(new Ui::AdjustScreen)
    , loopTimer(new QTimer(this))
{
    ui->setupUi(this);
    applyLook();
    ui->widget->hide();
    ui->resolutioncomBox->setItemData(0, QVariant::fromValue(ScreenResolution{1920, 1080, 60}), Qt::UserRole);
    ui->resolutioncomBox->setItemData(1, QVariant::fromValue(ScreenResolution{3840, 2160, 30}), Qt::UserRole);
    ui->resolutioncomBox->setCurrentIndex(0);
    for (const char* file : PictureFiles)
        loopPictures.append(picturePath(file));
    loopTimer->setObjectName(QStringLiteral("loopTimer"));
    loopTimer->setSingleShot(true);

    connect(ui->wallwt, &ScreenLayoutWt::signalScreenClicked, this, &AdjustScreen::slotOnScreenPressed);
    connect(ui->brightSlider, &QSlider::valueChanged, this, &AdjustScreen::slotbriSlidervalueChanged);
    connect(ui->chromaSlider, &QSlider::valueChanged, this, &AdjustScreen::slotchrSlidervalueChanged);
    connect(ui->sharpnessSlider, &QSlider::valueChanged, this, &AdjustScreen::slotsharpSlidervalueChanged);
    connect(ui->contrastSlider, &QSlider::valueChanged, this, &AdjustScreen::slotcontSlidervalueChanged);
    connect(ui->resolutioncomBox, &QComboBox::currentTextChanged, this, &AdjustScreen::slotResComBoxValueChg);
    connect(ui->showcontentscomBox, &QComboBox::currentTextChanged, this,
            &AdjustScreen::slotContentComBoxValueChg);
    connect(&service(), &MatrixSdkWorker::signalMatrixGetScreenColorResult, this,
            &AdjustScreen::slotOnMatrixGetScreenColorResult, Qt::BlockingQueuedConnection);
    connect(&service(), &MatrixSdkWorker::signalMatrixSetScreenColorResult, this,
            &AdjustScreen::slotOnMatrixSetScreenColorResult, Qt::BlockingQueuedConnection);
    connect(&service(), &MatrixSdkWorker::signalMatrixGetResolutionResult, this,
            &AdjustScreen::slotOnMatrixGetResolutuonResult, Qt::BlockingQueuedConnection);
    connect(&service(), &MatrixSdkWorker::signalMatrixSetResolutionResult, this,
            &AdjustScreen::slotOnMatrixSetResolutionResult, Qt::BlockingQueuedConnection);
    connect(this, &AdjustScreen::signalCancelAllAjust, this, &AdjustScreen::slotCancelAllAjust);
    connect(this, &AdjustScreen::signalSaveAllAjust, this, &AdjustScreen::slotSaveAllAjust);
    connect(loopTimer, &QTimer::timeout, this, &AdjustScreen::slotLoopStep);
}

AdjustScreen::~AdjustScreen()
{
    delete ui;
}

void AdjustScreen::applyLook()
{
    ui->leftWt->setAttribute(Qt::WA_StyledBackground);
    ui->leftWt->setStyleSheet(QStringLiteral(
        "QWidget#leftWt{background:#141f30;border-left:1px solid #0b121e;}"
        "QLabel{color:#ebf3fa;font-size:13px;}"
        "QLabel#paramset_lab,QLabel#lab_screensignpara{color:#858fa2;}"
        "QPushButton{color:#ebf3fa;font-size:14px;font-weight:bold;text-align:left;border:none;"
        "border-bottom:1px solid #2a3a55;padding:6px 0px;background:transparent;}"
        "QSlider::groove:horizontal{height:4px;background:#2a3a55;border-radius:2px;}"
        "QSlider::sub-page:horizontal{background:#266baf;border-radius:2px;}"
        "QSlider::handle:horizontal{width:12px;margin:-5px 0px;border-radius:6px;background:#ebf3fa;}"
        "QSlider::handle:horizontal:hover{background:#ffffff;}"));
}

void AdjustScreen::setLayout(int rows, int columns)
{
    ui->wallwt->setLayout(rows, columns);
}

void AdjustScreen::bindScreen(int screenIndex, const QString& ip, const QString& outputId)
{
    ui->wallwt->bindScreen(screenIndex, outputId, outputId, 1, 1);
    matrixIp = ip;
    matrixHandle = service().getHandleByIp(ip);
}

bool AdjustScreen::screenNumbers(int screenId, int* first, int* second) const
{
    const ScreenWt* screen = ui->wallwt->screen(screenId);
    if (!screen)
        return false;
    const QStringList parts = screen->positionText().split(QLatin1Char('-'));
    *first = parts.value(0).toInt();
    *second = parts.value(1).toInt();
    return true;
}

bool AdjustScreen::selectedScreenNumbers(int* first, int* second) const
{
    return screenNumbers(ui->wallwt->selectedScreenId(), first, second);
}

void AdjustScreen::slotOnScreenPressed()
{
    const QString position = ui->wallwt->selectedScreenPosition();
    ui->lab_screensign->setText(position);
    ui->lab_screensignpara->setText(position);
    int first = 0;
    int second = 0;
    if (selectedScreenNumbers(&first, &second)) {
        service().getMatrixScreenColor(matrixHandle, first, second);
        pendingReads.append(ui->wallwt->selectedScreenId());
    }
}

void AdjustScreen::slotOnMatrixGetScreenColorResult(pral_matrix::ScreenColor oScreenColor)
{
    const int id = pendingReads.isEmpty() ? ui->wallwt->selectedScreenId() : pendingReads.takeFirst();
    // A failed reading is all -1: it must neither move the sliders nor become what a cancel puts back.
    if (oScreenColor.brightness < 0 || oScreenColor.chroma < 0 || oScreenColor.sharpness < 0 ||
        oScreenColor.contrast < 0) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Screen Color reading failed!"));
        return;
    }
    const QList<QPair<QSlider*, QLabel*>> controls = {{ui->brightSlider, ui->lab_bright},
                                                      {ui->chromaSlider, ui->lab_chroma},
                                                      {ui->sharpnessSlider, ui->lab_sharpness},
                                                      {ui->contrastSlider, ui->lab_contrast}};
    const int values[] = {oScreenColor.brightness, oScreenColor.chroma, oScreenColor.sharpness,
                          oScreenColor.contrast};
    for (int i = 0; i < controls.size(); ++i) {
        const QSignalBlocker blocker(controls.at(i).first);
        controls.at(i).first->setValue(values[i]);
        controls.at(i).second->setText(QString::number(controls.at(i).first->value()));
    }

    int first = 0;
    int second = 0;
    if (!initialColors.contains(id) && screenNumbers(id, &first, &second)) {
        InitialColor initial;
        initial.first = first;
        initial.second = second;
        initial.color = oScreenColor;
        initialColors.insert(id, initial);
    }
}

void AdjustScreen::sliderChanged(int value, QLabel* valueLabel)
{
    valueLabel->setText(QString::number(value));
    int first = 0;
    int second = 0;
    if (!selectedScreenNumbers(&first, &second))
        return;
    ScreenColor color;
    color.brightness = ui->brightSlider->value();
    color.chroma = ui->chromaSlider->value();
    color.sharpness = ui->sharpnessSlider->value();
    color.contrast = ui->contrastSlider->value();
    service().setMatrixScreenColor(matrixHandle, first, second, color);
    pendingSets.append(ui->wallwt->selectedScreenId());
}

void AdjustScreen::slotbriSlidervalueChanged(int value)
{
    sliderChanged(value, ui->lab_bright);
}

void AdjustScreen::slotchrSlidervalueChanged(int value)
{
    sliderChanged(value, ui->lab_chroma);
}

void AdjustScreen::slotsharpSlidervalueChanged(int value)
{
    sliderChanged(value, ui->lab_sharpness);
}

void AdjustScreen::slotcontSlidervalueChanged(int value)
{
    sliderChanged(value, ui->lab_contrast);
}

void AdjustScreen::slotOnMatrixSetScreenColorResult(int ret)
{
    const int id = pendingSets.isEmpty() ? ui->wallwt->selectedScreenId() : pendingSets.takeFirst();
    if (ret != 0) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Screen Color setting failed!"));
        return;
    }
    const auto initial = initialColors.find(id);
    if (initial != initialColors.end())
        initial->changed = true;
    SystemAssistant::messageAlert(DictDef::alertSuccess, tr("Screen Color set successfully!"));
}

MatrixWindowInfo AdjustScreen::testWindow() const
{
    int rows = 0;
    int columns = 0;
    ui->wallwt->getLayout(rows, columns);
    MatrixWindowInfo window;
    window.windowParam1 = 1;
    window.windowParam2 = 0;
    window.x = 0;
    window.y = 0;
    window.width = 32768;
    window.height = 32768;
    window.windowParam12 = 1;
    window.rowCount = rows;
    window.columnCount = columns;
    int screenNo = 1;
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            WindowScreenInfo screen;
            screen.screenNo = screenNo++;
            screen.column = column;
            screen.row = row;
            window.screenList.append(screen);
        }
    }
    window.sourceList.append(WindowSourceInfo());
    return window;
}

void AdjustScreen::showPicture(MatrixWindowInfo window, const QString& path)
{
    for (WindowSourceInfo& source : window.sourceList) {
        if (source.sourceSlot != -1)
            continue;
        source.sourceKind = 7;
        source.sourceName =
            QStringLiteral("pic_") + QString::number(window.windowParam1) + QStringLiteral("_-1");
        source.pictureName = QFileInfo(path).baseName();
        source.picturePath = path;
        source.pictureMode = 3;
        break;
    }
    service().setWindowSignalSource(matrixHandle, window, -1, true);
}

void AdjustScreen::slotContentComBoxValueChg(QString str)
{
    Q_UNUSED(str)
    loopTimer->stop();
    const int index = ui->showcontentscomBox->currentIndex();
    if (index == VideoEntry) {
        emit signalrestoreMatrixScene();
        return;
    }
    if (index < LoopEntry)
        return;
    const MatrixWindowInfo window = testWindow();
    service().addWindowInfo(matrixHandle, window);
    if (index == LoopEntry) {
        slotLoopStep();
        return;
    }
    const int picture = index - FirstPictureEntry;
    if (picture < int(sizeof PictureFiles / sizeof *PictureFiles))
        showPicture(window, picturePath(PictureFiles[picture]));
}

void AdjustScreen::slotLoopStep()
{
    if (loopPosition >= loopPictures.size())
        loopPosition = 0;
    showPicture(testWindow(), loopPictures.at(loopPosition));
    ++loopPosition;
    loopTimer->start(LoopIntervalMs);
}

void AdjustScreen::slotCancelAllAjust(QUuid uuid)
{
    loopTimer->stop();
    for (const InitialColor& initial : qAsConst(initialColors)) {
        if (initial.changed) {
            service().setMatrixScreenColor(matrixHandle, initial.first, initial.second, initial.color);
            pendingSets.append(-1);
        }
    }
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(uuid);
    initialColors.clear();
    initialResolutions.clear();
    ui->showcontentscomBox->setCurrentIndex(VideoEntry);
}

void AdjustScreen::slotSaveAllAjust()
{
    loopTimer->stop();
    initialColors.clear();
    initialResolutions.clear();
    ui->showcontentscomBox->setCurrentIndex(VideoEntry);
}

// ---- the resolution section, present in the form but never shown ----

void AdjustScreen::slotResComBoxValueChg(QString str)
{
    Q_UNUSED(str)
    int first = 0;
    int second = 0;
    if (!selectedScreenNumbers(&first, &second))
        return;
    ScreenResolutionInfo info;
    info.screenRow = first;
    info.screenColumn = second;
    info.resolution = ui->resolutioncomBox->currentData(Qt::UserRole).value<ScreenResolution>();
    info.extraFlag = false;
    service().setMatrixResolution(matrixHandle, info, false);
}

void AdjustScreen::slotOnMatrixGetResolutuonResult(ScreenResolution_t srt)
{
    {
        const QSignalBlocker blocker(ui->resolutioncomBox);
        if (srt.width == 1920)
            ui->resolutioncomBox->setCurrentIndex(0);
        else if (srt.width == 3840)
            ui->resolutioncomBox->setCurrentIndex(1);
    }
    const int id = ui->wallwt->selectedScreenId();
    int first = 0;
    int second = 0;
    if (id != -1 && !initialResolutions.contains(id) && selectedScreenNumbers(&first, &second)) {
        InitialResolution initial;
        initial.first = first;
        initial.second = second;
        initial.width = srt.width;
        initial.height = srt.height;
        initial.frameRate = srt.frameRate;
        initialResolutions.insert(id, initial);
    }
}

void AdjustScreen::slotOnMatrixSetResolutionResult(int ret)
{
    if (ret != 0) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Resolution setting failed!"));
        return;
    }
    const auto initial = initialResolutions.find(ui->wallwt->selectedScreenId());
    if (initial != initialResolutions.end())
        initial->changed = true;
    SystemAssistant::messageAlert(DictDef::alertSuccess, tr("Resolution set successfully!"));
}

} // namespace pral_matrixConfig
