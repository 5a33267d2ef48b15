#include "updatedecodercarddlg.h"
#include "ui_updatedecodercarddlg.h"

#include "dictdef.h"
#include "modulelook.h"
#include "pfiledialog.h"
#include "pmessagebox.h"
#include "systemassistant.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace pral_matrixConfig {

using pral_contact::DictDef;
using pral_matrix::MatrixSdkWorker;
using pral_worker::SystemAssistant;

UpdateDecoderCardDlg::UpdateDecoderCardDlg(const QList<DeviceInfo_t>& devices, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::UpdateDecoderCardDlg)
    , devices(devices)
{
    ui->setupUi(this);
    setWindowTitle(tr("Update decoder"));
    ui->filePath->setPlaceholderText(tr("Please select the decoder file"));
    ui->filePath->setReadOnly(true);

    applyBarDialogLook(this, ui);

    connect(ui->okBt, &QPushButton::clicked, this, &UpdateDecoderCardDlg::slotOnOkBt);
    connect(ui->cancelBt, &QPushButton::clicked, this, &UpdateDecoderCardDlg::slotOnCancelBt);
    connect(ui->closeBt, &QPushButton::clicked, this, &UpdateDecoderCardDlg::slotOnCloseBt);
    connect(ui->filePath, &PCOMMON::SelDirLineEt::signalClicked, this, &UpdateDecoderCardDlg::slotOnFileDlg);
    MatrixSdkWorker* worker = &PSingleton<MatrixSdkWorker>::_instance();
    connect(worker, &MatrixSdkWorker::signalUpdateMatrixProgress, this,
            &UpdateDecoderCardDlg::slotOnUpdateProgress, Qt::BlockingQueuedConnection);
    connect(worker, &MatrixSdkWorker::signalUpdateMatrixResult, this,
            &UpdateDecoderCardDlg::slotOnUpdateMatrixResult, Qt::BlockingQueuedConnection);
}

UpdateDecoderCardDlg::~UpdateDecoderCardDlg()
{
    delete ui;
}

QString UpdateDecoderCardDlg::errorText(int code)
{
    switch (code) {
    case 1:
        return tr("Connection fail!");
    case 2:
        return tr("Wrong temporary directory!");
    case 3:
        return tr("Connection break!");
    case 4:
        return tr("Latest version!");
    case 5:
        return tr("Download failed!");
    case 6:
        return tr("Error file!");
    case 7:
        return tr("Insufficient disk space!");
    case 8:
        return tr("Inspection failure!");
    case 9:
        return tr("Write failed!");
    default:
        return QString();
    }
}

void UpdateDecoderCardDlg::slotOnFileDlg()
{
    if (upgrading)
        return;
    QString path =
        PCOMMON::PFileDialog::getOpenFileName(this, tr("Select the directory"), QString(), QString());
    path.replace(QLatin1Char('/'), QStringLiteral("\\\\"));
    filePath = path;
    ui->filePath->setText(filePath);
}

void UpdateDecoderCardDlg::slotOnOkBt()
{
    if (filePath.isEmpty()) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Please select the decoder file"));
        return;
    }
    if (upgrading) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Upgrading in progress!"));
        return;
    }
    if (exclusion.otherOpen()) {
        SystemAssistant::messageAlert(DictDef::alertNotice, UpgradeExclusion::refusal());
        return;
    }
    ui->filePath->setReadOnly(true);
    PSingleton<MatrixSdkWorker>::_instance().setUpdateMatrixInfo(devices, filePath);
    upgrading = true;
}

void UpdateDecoderCardDlg::closeUnlessUpgrading()
{
    if (upgrading) {
        SystemAssistant::messageAlert(DictDef::alertNotice, tr("Upgrade device in progress, do not close!"));
        return;
    }
    reject();
}

void UpdateDecoderCardDlg::slotOnCancelBt()
{
    closeUnlessUpgrading();
}

void UpdateDecoderCardDlg::slotOnCloseBt()
{
    closeUnlessUpgrading();
}

void UpdateDecoderCardDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape would reject the dialog behind the back of the close rule.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closeUnlessUpgrading();
        return;
    }
    PCOMMON::CommonDialog::keyPressEvent(event);
}

void UpdateDecoderCardDlg::closeEvent(QCloseEvent* event)
{
    // The window system's close follows the rule too; the completion's own close() does not ask.
    if (event->spontaneous() && upgrading) {
        event->ignore();
        closeUnlessUpgrading();
        return;
    }
    PCOMMON::CommonDialog::closeEvent(event);
}

void UpdateDecoderCardDlg::slotOnUpdateProgress(int card, int marker, int percent, int code, bool latest)
{
    if (latest) {
        upgrading = false;
        PCOMMON::PMessageBox::information(nullptr, tr("It is the latest version!"), 1, false);
        return;
    }
    if (marker == -1 && percent == -1) {
        SystemAssistant::messageAlert(
            DictDef::alertNotice,
            tr("Block %1 decoding card update failed,%2").arg(card).arg(errorText(code)));
        return;
    }
    if (card == 0 && marker == 0 && percent == 0 && code == 0) {
        close();
        PCOMMON::PMessageBox::information(nullptr, tr("Update decoder completed!"), 1, false);
        return;
    }
    const int count = devices.size();
    const int value = card <= 1 ? percent / count : (card - 1) * (100 / count) + percent / count;
    ui->progressBar->setValue(value);
    ui->progressLabel->setText(QStringLiteral("%1%").arg(value));
}

void UpdateDecoderCardDlg::slotOnUpdateMatrixResult(int ret)
{
    if (ret == 0) {
        upgrading = true;
        return;
    }
    upgrading = false;
    SystemAssistant::messageAlert(DictDef::alertNotice,
                                  ret == -3 ? tr("Error in selected upgrade file,Upgrade failed!")
                                            : tr("Upgrade failed!"));
}

} // namespace pral_matrixConfig
