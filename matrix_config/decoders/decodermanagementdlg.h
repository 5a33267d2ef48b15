#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QUuid>

class QCheckBox;
class QTableWidgetItem;

namespace pral_matrix {
class ConnectStateTipWt;
}

namespace pral_matrixConfig {

namespace Ui {
class DecoderManagementDlg;
}

class DecoderOprWt;
class DecoderWatchView;

/**
 * @brief The list of decoders the module manages, and the place where they
 * are searched, logged into, added, activated, re-addressed and deleted.
 *
 * The page keeps one instance in management mode for its whole life: it
 * holds a live connection to every listed decoder and reports each change of
 * the list through its four signals. A search makes a short-lived instance in
 * search mode that lists the decoders found but not yet managed and hands
 * back those the operator added.
 */
class MATRIX_CONFIG_EXPORT DecoderManagementDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    DecoderManagementDlg(MatrixInfoMap matrixInfoMap, MatrixInfoMap managedMatrixInfoMap, bool searchMode,
                         QWidget* parent = nullptr);
    ~DecoderManagementDlg() override;

    MatrixInfoMap getMatrixInfoMap() const { return matrixInfoMap; }
    QStringList getSyncMatrixIpList() const { return syncMatrixIpList; }
    /**
     * The addresses whose records may differ from what the last report carried, when reported is the map
     * this dialog holds and no address came or went since that report; null otherwise. A receiver that
     * keeps its own copy of the list takes a report over without comparing every record.
     */
    const QSet<QString>* changedSinceLastReport(const MatrixInfoMap& reported) const;
    void setMainWidget(QWidget* widget) { mainWidget = widget; }
    QWidget* getMainWidget() const { return mainWidget; }
    /** The marks of decoders watched after a change, and in management mode their report. */
    DecoderWatchView* watchView() const { return watches; }

signals:
    void sig_matrixInfoChanged(MatrixInfoMap matrixInfoMap);
    void sig_tvWallManagementChanged(pral_matrix::TvWallManagement tvWallInfo);
    void sig_ipChanged(QString mainIp, QString formerIp);
    void sig_deleteTvwallItem(QString ip);

private slots:
    void slot_saveBtnClieked();
    void slot_searchBtnClieked();
    void slot_patchChangePwdBtnClieked();
    /** Firmware for the checked decoders, a few at a time. */
    void slotUpgradeFirmwareBtnClicked();
    void slot_checkAllStateChanged(bool clicked);
    void slot_tableItemDbClicked(QTableWidgetItem* item);
    void slot_activeBtnClicked(bool clicked);
    void slot_changeLocalDecoderPwd(QString ip);
    void slot_connectMatrixResult(QSharedPointer<CSharedHandle> mHandle, int result, int type, void* pUser);
    void slot_connectErrorMsg(QString ip, pral_matrix::ConnectErrorMsgInfo errorMsg, void* pUser);
    void slot_searchMatrixFinished(MatrixInfoMap matrixInfoMap);
    void slotGetLayoutInfoResult(QString mainMatrixIp, int maintype, MatrixInfoList matrixInfoList, int row,
                                 int col, QString matrixName, void* user);
    void slotOnAlterPasswordResult(int ret, QString ip, QString newPassword);
    void slotOnSetMatrixNetworkResult(int ret, QString mainIp, QString formerIp);
    void slot_onDisconnectMatrixResult(int ret, QString ip);
    void slotDisconnectStatus(CMHandle handle, QString ip);
    void slotOnGetMatrixNetworkResult(DeviceNetworkCfg_t networkCfg, QString formerIp, int type);
    void slotOnMatrixFactoryResetResult(int ret, QString ip);
    void slotOnActiveDecoderResult(int ret, QString id);

    // Row buttons, the connection tip and the configuration dialog.
    void slotRowCheckStateChanged(int state);
    void slotDeviceConfig(QString ip);
    void slotDeleteDecoder(QString ip);
    void slotChangeIpOrActive(QString ip, bool isActiveMode);
    void slotFactoryReset(QString ip);
    void slotTipReconnect();
    void slotTipHidden(QString ip);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void prepareTable();
    void addDecoderRows(const MatrixInfoMap& matrixInfoMapToAdd, bool initial);
    /** Gives the rows in view their check box and button bar, which other rows get when they come into view.
     */
    void ensureRowWidgets();
    void makeRowWidgets(int row);
    /** The record of ip to change, noted for the next report; null when ip is not listed. */
    pral_matrix::MatrixInfo* editRecord(const QString& ip);
    /** sig_matrixInfoChanged with the whole list; what changed is noted afresh from here on. */
    void reportDecoders();
    /** Whether a TV wall the service has stored has ip as its main decoder. */
    bool isMainOfStoredWall(const QString& ip);
    void changeIp(const QString& ip);
    void activateOne(const QString& ip);

    int rowOfIp(const QString& ip) const;
    // Rows by address as last seen; rowOfIp() checks an entry before it trusts it.
    mutable QHash<QString, int> rowsByIp;
    int rowOfDeviceId(const QString& deviceId) const;
    QCheckBox* rowCheckBox(int row) const;
    DecoderOprWt* rowOprWt(int row) const;
    QString statusText(int row) const;
    void setStatusText(int row, const QString& text);
    void setStatusOfIp(const QString& ip, const QString& text);
    bool isRowChecked(int row) const;
    QList<int> checkedRows() const;

    QUuid showWaiting(QWidget* parent, const QString& text);
    bool runLogin(QString& userName, QString& password);
    bool runActivation(QString& password);
    bool runNetworkConfig(const DeviceNetworkCfg_t& reported, DeviceNetworkCfg_t& edited);
    bool runSync(const QStringList& ips, QStringList& chosen);

    Ui::DecoderManagementDlg* ui;
    bool searchMode;
    MatrixInfoMap matrixInfoMap;
    QUuid searchWaitingUuid;
    QUuid connectWaitingUuid;
    QStringList syncMatrixIpList;
    pral_matrix::ConnectStateTipWt* connectStateTipWt = nullptr;
    QWidget* mainWidget = nullptr;
    bool searchDialogOpen = false;
    int expectedCount = 0;
    int resultCount = 0;
    int successCount = 0;
    QStringList connectedIpList;
    MatrixInfoMap managedMatrixInfoMap;
    DecoderWatchView* watches = nullptr;
    // Changed since the last report: these addresses' records, or the list itself (addresses came or went).
    QSet<QString> changedIps;
    bool listChanged = true;
    // The stored walls as last read, and their main decoders.
    QMap<QString, pral_matrix::TvWallManagement> storedWalls;
    QSet<QString> storedWallMains;
};

} // namespace pral_matrixConfig
