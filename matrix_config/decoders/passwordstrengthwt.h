#pragma once

#include "matrix_config_global.h"
#include "pwidget.h"

namespace pral_matrixConfig {

namespace Ui {
class PasswordStrengthWt;
}

/**
 * @brief Four bars under the words "terrible", "simple", "midum" and "strong"
 * that show how the host library rates a password.
 */
class MATRIX_CONFIG_EXPORT PasswordStrengthWt : public PCOMMON::PWidget
{
    Q_OBJECT

public:
    explicit PasswordStrengthWt(QWidget* parent = nullptr);
    ~PasswordStrengthWt() override;

    /** rating as given by PCOMMON::checkPwdStrength: -1, 0, 1 or 2; any other value hides the words only. */
    void setStrength(int rating);

private:
    Ui::PasswordStrengthWt* ui;
};

} // namespace pral_matrixConfig
