#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"

namespace pral_matrixConfig {

namespace Ui {
class SetLayoutDlg;
}

/**
 * @brief Asks for a screen grid of any rows x columns from 1 x 1 to 10 x 10.
 */
class MATRIX_CONFIG_EXPORT SetLayoutDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    explicit SetLayoutDlg(QWidget* parent = nullptr);
    ~SetLayoutDlg() override;

    void getLayout(int& rows, int& columns) const;

public slots:
    void slotOkBtClicked();
    void slotCloseBtClicked() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Ui::SetLayoutDlg* ui;
};

} // namespace pral_matrixConfig
