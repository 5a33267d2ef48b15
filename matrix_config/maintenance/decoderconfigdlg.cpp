#include "decoderconfigdlg.h"
#include "ui_decoderconfigdlg.h"

#include "decodernetworkconfigdlg.h"
#include "devactivedlg.h"
#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "dlgmaskwt.h"
#include "exportconfigdlg.h"
#include "getlogsdlg.h"
#include "pmessagebox.h"
#include "resolutionsettingdlg.h"
#include "systemassistant.h"
#include "updatedecodercarddlg.h"

#include <QIcon>

#include <cstring>

namespace pral_matrixConfig {

using pral_contact::DictDef;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_worker::SystemAssistant;

namespace {

const QString ModuleImages = QStringLiteral(":/matrixConfig_images/images/");

MatrixSdkWorker& service()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

/** Copies text into a fixed field, cut to leave room for the terminating zero. */
template <std::size_t N>
void setField(char (&field)[N], const QString& text)
{
    qstrncpy(field, text.toLocal8Bit().constData(), uint(N));
}

/** A device may fill a field to its last byte without a terminating zero: never read past the field. */
template <std::size_t N>
bool fieldEmpty(const char (&field)[N])
{
    return qstrnlen(field, uint(N)) == 0;
}

} // namespace

DecoderConfigDlg::DecoderConfigDlg(const MatrixInfo& matrixInfo, const QStringList& ipList, bool onlyNetwork,
                                   QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::DecoderConfigDlg)
    , matrixInfo(matrixInfo)
    , ipList(ipList)
    , onlyNetwork(onlyNetwork)
{
    ui->setupUi(this);
    setWindowTitle(tr("Device config"));

    setBackgroundColor(QColor(QStringLiteral("#172335")));
    setTitleHeight(25);
    ui->widget_top->setAttribute(Qt::WA_StyledBackground);
    ui->widget_top->setStyleSheet(QStringLiteral("QWidget#widget_top{background-color:#0e1624;}"));
    ui->widget_center->setAttribute(Qt::WA_StyledBackground);
    ui->widget_center->setStyleSheet(
        QStringLiteral("QWidget#widget_center{background-color:#172335;}"
                       "QPushButton{padding-left:20px;text-align:left;background-color:rgb(14, 22, 36);"
                       "color:rgb(172, 179, 190);border:none;}"
                       "QPushButton:hover{color:rgb(235, 243, 250);}"));
    ui->widget_bottom->setAttribute(Qt::WA_StyledBackground);
    ui->widget_bottom->setStyleSheet(QStringLiteral("QWidget#widget_bottom{background-color:#172335;}"));
    ui->title->setProperty("common_label_style1", true);
    ui->cancelBtn->setProperty("common_bt_style2", true);
    ui->OkBtn->setProperty("common_bt_style1", true);

    ui->viewLogBtn->setIcon(QIcon(ModuleImages + QStringLiteral("ico_show_log_n.png")));
    ui->networkConfigBtn->setIcon(QIcon(ModuleImages + QStringLiteral("netsetting_n.png")));
    ui->changePwdBtn->setIcon(QIcon(QStringLiteral(":/images/images/edit_n.png")));
    ui->importConfigBtn->setIcon(QIcon(ModuleImages + QStringLiteral("ico_download_n.png")));
    ui->exportConfigBtn->setIcon(QIcon(ModuleImages + QStringLiteral("ico_export_n.png")));
    ui->upgradeDecoderBtn->setIcon(QIcon(ModuleImages + QStringLiteral("update_n.png")));
    ui->resolutionconfBtn->setIcon(QIcon(ModuleImages + QStringLiteral("resolution_n.png")));
    ui->factoryResetBtn->setIcon(QIcon(ModuleImages + QStringLiteral("recover_n.png")));

    if (onlyNetwork) {
        // Without a connection only the network settings, which need none, can be reached.
        for (QPushButton* button : ui->widget_center->findChildren<QPushButton*>()) {
            if (button == ui->networkConfigBtn)
                continue;
            button->setEnabled(false);
            button->setStyleSheet(QStringLiteral("color:#172335"));
        }
    }

    connect(ui->OkBtn, &QPushButton::clicked, this, &DecoderConfigDlg::slot_OkBtnClieked);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &DecoderConfigDlg::slot_cancelBtnClieked);
    connect(ui->viewLogBtn, &QPushButton::clicked, this, &DecoderConfigDlg::slot_viewLogBtnClieked);
    connect(ui->networkConfigBtn, &QPushButton::clicked, this,
            &DecoderConfigDlg::slot_networkConfigBtnClieked);
    connect(ui->changePwdBtn, &QPushButton::clicked, this, &DecoderConfigDlg::slot_changePwdBtnClieked);
    connect(ui->importConfigBtn, &QPushButton::clicked, this, &DecoderConfigDlg::slot_importConfigBtnClieked);
    connect(ui->exportConfigBtn, &QPushButton::clicked, this, &DecoderConfigDlg::slot_exportConfigBtnClieked);
    connect(ui->upgradeDecoderBtn, &QPushButton::clicked, this,
            &DecoderConfigDlg::slot_upgradeDecoderBtnClieked);
    connect(ui->resolutionconfBtn, &QPushButton::clicked, this,
            &DecoderConfigDlg::slot_resolutionconfBtnClieked);
    connect(ui->factoryResetBtn, &QPushButton::clicked, this, &DecoderConfigDlg::slot_factoryResetBtnClieked);

    MatrixSdkWorker* worker = &service();
    connect(worker, &MatrixSdkWorker::signalExportConfigResult, this, &DecoderConfigDlg::slotOnExportConfig,
            Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalImportConfigResult, this, &DecoderConfigDlg::slotOnImportConfig,
            Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalGetMatrixNetworkResult, this,
            &DecoderConfigDlg::slotOnGetMatrixNetworkResult, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalMatrixGetResolutionResult, this,
            &DecoderConfigDlg::slotOnMatrixGetResolutuonResult, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalMatrixSetResolutionResult, this,
            &DecoderConfigDlg::slotOnMatrixSetResolutionResult, Qt::BlockingQueuedConnection);
}

DecoderConfigDlg::~DecoderConfigDlg()
{
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(waitingUuid);
    delete ui;
}

CMHandle DecoderConfigDlg::handle() const
{
    return service().getHandleByIp(matrixInfo.ip);
}

void DecoderConfigDlg::slot_OkBtnClieked()
{
    accept();
}

void DecoderConfigDlg::slot_cancelBtnClieked()
{
    accept();
}

void DecoderConfigDlg::slot_viewLogBtnClieked()
{
    GetLogsDlg dialog(nullptr);
    connect(&dialog, &GetLogsDlg::sig_onSearchLogsMessage, this, &DecoderConfigDlg::slot_onSearchBtnMessage);
    DlgMaskWt mask(this, &dialog);
    dialog.exec();
}

void DecoderConfigDlg::slot_onSearchBtnMessage(QDateTime beginTime, QDateTime endTime, int logType,
                                               QString filePath)
{
    service().getLog(handle(), beginTime, endTime, logType, filePath);
}

void DecoderConfigDlg::slot_networkConfigBtnClieked()
{
    service().getMatrixNetworkInfo(matrixInfo, matrixInfo.matrixType);
}

void DecoderConfigDlg::slotOnGetMatrixNetworkResult(DeviceNetworkCfg_t networkCfg, QString formerIp, int type)
{
    if (fieldEmpty(networkCfg.ipv4Addr) && fieldEmpty(networkCfg.ipv4Mask) && fieldEmpty(networkCfg.dns) &&
        fieldEmpty(networkCfg.ipv4Gateway)) {
        SystemAssistant::messageAlert(
            DictDef::alertNotice,
            tr("Decoding card network information acquisition failed, please search again!"));
        return;
    }
    DeviceNetworkCfg_t edited;
    {
        DecoderNetworkConfigDlg dialog(networkCfg, this);
        DlgMaskWt mask(this, &dialog);
        if (dialog.exec() != QDialog::Accepted)
            return;
        edited = dialog.getNetworkConfig();
    }
    const QString newIp =
        QString::fromLatin1(edited.ipv4Addr, int(qstrnlen(edited.ipv4Addr, sizeof edited.ipv4Addr)));
    if (ipList.contains(newIp, Qt::CaseSensitive) && newIp != formerIp) {
        SystemAssistant::messageAlert(DictDef::alertNotice,
                                      tr("The address already exists, please modify it again!"));
        return;
    }
    service().setMatrixNetworkConfig(handle(), matrixInfo, matrixInfo, edited, type, this);
}

void DecoderConfigDlg::slot_changePwdBtnClieked()
{
    DevActiveDlg dialog(true, nullptr);
    DlgMaskWt mask(this, &dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    service().userPasswordModify(handle(), dialog.getOldPassword(), dialog.getPassword());
}

void DecoderConfigDlg::transferConfig(bool isImport)
{
    QString path;
    {
        ExportConfigDlg dialog(isImport, nullptr);
        DlgMaskWt mask(this, &dialog);
        if (dialog.exec() != QDialog::Accepted)
            return;
        path = dialog.getFilePath();
    }
    auto* overlay = new PCOMMON::DisabledWaitingWt(this, isImport ? tr("Importing...") : tr("Exporting..."),
                                                   QString(), false);
    waitingUuid = overlay->getUuid();
    overlay->show();
    overlay->raise();
    if (isImport)
        service().importMatrixConfig(handle(), path);
    else
        service().exportMatrixConfig(handle(), path);
}

void DecoderConfigDlg::slot_importConfigBtnClieked()
{
    transferConfig(true);
}

void DecoderConfigDlg::slot_exportConfigBtnClieked()
{
    transferConfig(false);
}

void DecoderConfigDlg::showConfigResult(bool isImport, int ret)
{
    PCOMMON::DisabledWaitingWtManager::destroyDisabledWaitingWt(waitingUuid);
    QString text;
    if (isImport)
        text = ret == 0
                   ? tr("Decoder configuration imported successfully,The decoder will be restarted, please "
                        "pull up the configuration yourself later!")
                   : tr("Decoder configuration import failed! ret = %1").arg(ret);
    else
        text = ret == 0 ? tr("Decoder configuration exported successfully!")
                        : tr("Decoder configuration export failed! ret = %1").arg(ret);
    PCOMMON::PMessageBox::information(this, text, 3, false);
}

void DecoderConfigDlg::slotOnExportConfig(int ret)
{
    showConfigResult(false, ret);
}

void DecoderConfigDlg::slotOnImportConfig(int ret)
{
    showConfigResult(true, ret);
}

void DecoderConfigDlg::slot_upgradeDecoderBtnClieked()
{
    DeviceInfo_t device;
    std::memset(&device, 0, sizeof device);
    setField(device.deviceId, matrixInfo.deviceId);
    setField(device.ip, matrixInfo.ip);
    setField(device.userName, matrixInfo.userName);
    setField(device.password, matrixInfo.password);
    device.extraValue = matrixInfo.extraValue;

    UpdateDecoderCardDlg dialog({device}, this);
    DlgMaskWt mask(this, &dialog);
    dialog.exec();
}

void DecoderConfigDlg::slot_resolutionconfBtnClieked()
{
    service().getMatrixResolution(handle(), 0, 0);
}

void DecoderConfigDlg::slotOnMatrixGetResolutuonResult(ScreenResolution_t srt)
{
    ResolutionSettingDlg::Resolution_t chosen;
    {
        ResolutionSettingDlg dialog(srt, nullptr);
        DlgMaskWt mask(this, &dialog);
        if (dialog.exec() != QDialog::Accepted)
            return;
        chosen = dialog.getResolution();
    }
    pral_matrix::ScreenResolutionInfo info;
    info.screenRow = 0;
    info.screenColumn = 0;
    info.resolution = pral_matrix::ScreenResolution{chosen.width, chosen.height, chosen.frameRate};
    service().setMatrixResolution(handle(), info, true);
}

void DecoderConfigDlg::slotOnMatrixSetResolutionResult(int ret)
{
    if (ret == 0)
        SystemAssistant::messageAlert(DictDef::alertSuccess, tr("Resolution set successfully!"));
    else
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Resolution setting failed!"));
}

void DecoderConfigDlg::slot_factoryResetBtnClieked()
{
    emit sig_factoryReset(matrixInfo.ip);
}

} // namespace pral_matrixConfig
