#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"

#include <QStringList>

class QCheckBox;

namespace pral_matrixConfig {

namespace Ui {
class MatrixInfoSyncDlg;
}

/**
 * @brief Asks whether the TV walls that newly added decoders already hold
 * shall be taken over, and from which of those decoders.
 */
class MATRIX_CONFIG_EXPORT MatrixInfoSyncDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /** ipList: the addresses of the decoders that connected, offered in this order. */
    explicit MatrixInfoSyncDlg(const QStringList& ipList, QWidget* parent = nullptr);
    ~MatrixInfoSyncDlg() override;

    /** The checked addresses in list order; empty when "no" is chosen. */
    QStringList getCheckedIpList() const;

public slots:
    void slot_okBtnClieked();
    void slot_cancelBtnClieked();
    void slot_checkAllBtnClieked(bool clicked);
    void slot_yesBtnClicked(bool checked);
    void slot_noBtnClicked(bool checked);

private slots:
    void slot_ipCheckStateChanged(int state);

private:
    QList<QCheckBox*> ipCheckBoxes() const;

    Ui::MatrixInfoSyncDlg* ui;
    QStringList ipList;
    qint32 ipCount = 0;
};

} // namespace pral_matrixConfig
