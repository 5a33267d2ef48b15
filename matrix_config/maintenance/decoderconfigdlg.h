#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"

#include <QDateTime>
#include <QStringList>
#include <QUuid>

namespace pral_matrixConfig {

namespace Ui {
class DecoderConfigDlg;
}

/**
 * @brief The maintenance menu of one decoder: logs, network, password,
 * configuration import and export, firmware upgrade, resolution and factory
 * reset.
 *
 * Every service request names the decoder by the handle of its address at
 * the moment of the request. The export, import, network-information and
 * resolution results come here through blocking queued connections; the
 * password, network-change and factory-reset results are the management
 * dialog's, the log lines go straight to the log dialog and the upgrade's
 * reports to the upgrade dialog. Each child dialog runs modally under a mask
 * over this one.
 */
class MATRIX_CONFIG_EXPORT DecoderConfigDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /**
     * @param ipList the addresses of every decoder the client manages, to refuse a duplicate address
     * @param onlyNetwork only the network settings can be reached (the decoder is not connected)
     */
    DecoderConfigDlg(const pral_matrix::MatrixInfo& matrixInfo, const QStringList& ipList, bool onlyNetwork,
                     QWidget* parent = nullptr);
    ~DecoderConfigDlg() override;

signals:
    void sig_factoryReset(QString ip);

public slots:
    void slot_OkBtnClieked();
    void slot_cancelBtnClieked();
    void slot_viewLogBtnClieked();
    void slot_networkConfigBtnClieked();
    void slot_changePwdBtnClieked();
    void slot_importConfigBtnClieked();
    void slot_exportConfigBtnClieked();
    void slot_upgradeDecoderBtnClieked();
    void slot_resolutionconfBtnClieked();
    void slot_factoryResetBtnClieked();
    void slot_onSearchBtnMessage(QDateTime beginTime, QDateTime endTime, int logType, QString filePath);
    void slotOnExportConfig(int ret);
    void slotOnImportConfig(int ret);
    void slotOnGetMatrixNetworkResult(DeviceNetworkCfg_t networkCfg, QString formerIp, int type);
    void slotOnMatrixGetResolutuonResult(ScreenResolution_t srt);
    void slotOnMatrixSetResolutionResult(int ret);

private:
    CMHandle handle() const;
    void transferConfig(bool isImport);
    void showConfigResult(bool isImport, int ret);

    Ui::DecoderConfigDlg* ui;
    pral_matrix::MatrixInfo matrixInfo;
    QStringList ipList;
    QUuid waitingUuid;
    bool onlyNetwork;
};

} // namespace pral_matrixConfig
