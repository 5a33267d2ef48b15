#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"
#include "matrixsdkworker.h"

#include <QStringList>

namespace pral_matrixConfig {

/**
 * @brief The list of managed decoders, run modally from the page.
 *
 * For now only the part the page relies on: the decoder map it is made with
 * and hands back, the fallback parent for its overlays, and the four signals
 * through which it reports every change of the list. The table, search, login
 * and the decoder operations come with the decoder management work.
 */
class MATRIX_CONFIG_EXPORT DecoderManagementDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    DecoderManagementDlg(MatrixInfoMap shownMatrixInfoMap, MatrixInfoMap managedMatrixInfoMap,
                         bool searchMode, QWidget* parent = nullptr);
    ~DecoderManagementDlg() override;

    MatrixInfoMap getMatrixInfoMap() const { return matrixInfoMap; }
    QStringList getSyncMatrixIpList() const { return syncMatrixIpList; }
    void setMainWidget(QWidget* widget) { mainWidget = widget; }
    QWidget* getMainWidget() const { return mainWidget; }

signals:
    void sig_matrixInfoChanged(MatrixInfoMap matrixInfoMap);
    void sig_tvWallManagementChanged(pral_matrix::TvWallManagement tvWallManagement);
    void sig_ipChanged(QString mainIp, QString formerIp);
    void sig_deleteTvwallItem(QString ip);

private:
    bool searchMode;
    MatrixInfoMap matrixInfoMap;
    MatrixInfoMap managedMatrixInfoMap;
    QStringList syncMatrixIpList;
    QWidget* mainWidget = nullptr;
};

} // namespace pral_matrixConfig
