#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"
#include "upgradeexclusion.h"

namespace pral_matrixConfig {

namespace Ui {
class UpdateDecoderCardDlg;
}

/**
 * @brief Upgrades the firmware of one or more decoders from a file the
 * operator picks, and follows the service's per-card progress.
 *
 * The progress of card c (1-based, of N) at p percent is shown as
 * (c - 1) * (100 / N) + p / N in integer arithmetic. While an upgrade runs
 * the dialog refuses to close; the service's reports reach it through
 * blocking queued connections, so a slot that shows a message box holds the
 * service's thread until the box is closed. While a batch of upgrades is open
 * it sends nothing.
 */
class MATRIX_CONFIG_EXPORT UpdateDecoderCardDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /** devices holds at least one entry. */
    explicit UpdateDecoderCardDlg(const QList<DeviceInfo_t>& devices, QWidget* parent = nullptr);
    ~UpdateDecoderCardDlg() override;

    /** The upgrade file as handed to the service, every "/" written as two backslashes. */
    const QString& getFilePath() const { return filePath; }
    bool isUpgrading() const { return upgrading; }
    /** The devices as they go to the service. */
    const QList<DeviceInfo_t>& deviceList() const { return devices; }

    /** The text of a failure report's error code; empty for a code without one. */
    static QString errorText(int code);

public slots:
    void slotOnOkBt();
    void slotOnCancelBt();
    void slotOnCloseBt();
    void slotOnFileDlg();
    void slotOnUpdateProgress(int card, int marker, int percent, int code, bool latest);
    void slotOnUpdateMatrixResult(int ret);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    /** Closes unless an upgrade runs, which the operator is told instead. */
    void closeUnlessUpgrading();

    Ui::UpdateDecoderCardDlg* ui;
    QString filePath;
    QList<DeviceInfo_t> devices;
    bool upgrading = false;
    UpgradeExclusion exclusion{UpgradeExclusion::Single};
};

} // namespace pral_matrixConfig
