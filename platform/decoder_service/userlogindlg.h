#pragma once

#include "commondialog.h"
#include "decoder_service_global.h"

namespace pral_matrix {

namespace Ui {
class UserLoginDlg;
}

/**
 * @brief Asks for the user name and password to log in to decoders with.
 *
 * Run it modally; when it was accepted, getUserInfo() gives what was entered.
 * The user name may not be empty; the password may (some decoders have none).
 */
class DECODER_SERVICE_EXPORT UserLoginDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    explicit UserLoginDlg(QWidget* parent = nullptr);
    ~UserLoginDlg() override;

    void getUserInfo(QString& userName, QString& password) const;

private slots:
    void slotOkBtnClicked();

private:
    Ui::UserLoginDlg* ui;
};

} // namespace pral_matrix
