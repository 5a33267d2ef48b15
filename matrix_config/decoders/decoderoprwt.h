#pragma once

#include "matrix_config_global.h"
#include "tableoperwt.h"

#include <QString>

namespace pral_matrixConfig {

namespace Ui {
class DecoderOprWt;
}

/**
 * @brief The buttons in the last column of a decoder row; each click is
 * reported with the row's decoder address, and the management dialog acts.
 *
 * A managed row offers password login, configuration and deletion; a row of
 * the search dialog offers activation or, once activated, an address change.
 */
class MATRIX_CONFIG_EXPORT DecoderOprWt : public PCOMMON::TableOperWt
{
    Q_OBJECT

public:
    DecoderOprWt(QString ip, bool searchMode, QWidget* parent = nullptr);
    ~DecoderOprWt() override;

    void setActiveMode(bool activated);
    void setIp(QString ip);
    QString getIp() const { return ip; }
    bool isActiveMode() const { return activated; }

signals:
    void sig_changePwdBtnClicked(QString ip);
    void sig_deviceConfigBtnClicked(QString ip);
    void sig_deleteBtnClicked(QString ip);
    void sig_changeIpOrActiveBtnClicked(QString ip, bool isActiveMode);

private:
    Ui::DecoderOprWt* ui;
    bool searchMode;
    bool activated = false;
    QString ip;
};

} // namespace pral_matrixConfig
