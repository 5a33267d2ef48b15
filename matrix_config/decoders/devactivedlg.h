#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"

namespace pral_matrixConfig {

namespace Ui {
class DevActiveDlg;
}

/**
 * @brief Asks for a new decoder password that meets the password rules: the
 * activation password of a new decoder, or the old and new password of a
 * password change.
 */
class MATRIX_CONFIG_EXPORT DevActiveDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /** isChangePwd false: activation; true: change of the password, which also asks for the old one. */
    explicit DevActiveDlg(bool isChangePwd, QWidget* parent = nullptr);
    ~DevActiveDlg() override;

    /** The new password. */
    QString getPassword() const;
    /** The old password (change-password mode). */
    QString getOldPassword() const;

public slots:
    void slotOnOkBt();
    void slotOnCancelBt();

private slots:
    void slotOnPwdTextChanged(const QString& text);

private:
    Ui::DevActiveDlg* ui;
    int pwdLevel = 0;
    bool isChangePwd;
};

} // namespace pral_matrixConfig
