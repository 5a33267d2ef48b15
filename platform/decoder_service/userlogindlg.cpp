#include "userlogindlg.h"

#include "ui_userlogindlg.h"

namespace pral_matrix {

UserLoginDlg::UserLoginDlg(QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::UserLoginDlg)
{
    ui->setupUi(this);
    setWindowTitle(tr("User Login"));
    setBackgroundColor(QColor(QStringLiteral("#172335")));
    setTitleHeight(ui->widget_top->maximumHeight());
    ui->widget_top->setStyleSheet(QStringLiteral("QWidget#widget_top{background-color:#0e1624;}"));
    ui->widget_center->setStyleSheet(QStringLiteral("QWidget#widget_center{background-color:#172335;}"));
    ui->widget_bottom->setStyleSheet(QStringLiteral("QWidget#widget_bottom{background-color:#172335;}"));
    // The same light texts on the dark blue as the other dialogs.
    ui->title->setProperty("common_label_style1", true);
    ui->widget_center->setStyleSheet(ui->widget_center->styleSheet() +
                                     QStringLiteral("QLabel{color:#ebf3fa;}"));
    ui->noticeLabel->setStyleSheet(QStringLiteral("color:#f35424;"));
    ui->noticeLabel->hide();
    ui->closeBtn->setProperty("common_close_bt_style1", true);
    ui->okBtn->setProperty("common_bt_style1", true);
    ui->cancelBtn->setProperty("common_bt_style2", true);
    // Most decoders keep the factory account: the password is what people type.
    ui->passwordEdit->setFocus();

    connect(ui->okBtn, &QPushButton::clicked, this, &UserLoginDlg::slotOkBtnClicked);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &UserLoginDlg::reject);
    connect(ui->closeBtn, &QPushButton::clicked, this, &UserLoginDlg::reject);
    connect(ui->userNameEdit, &QLineEdit::textEdited, ui->noticeLabel, &QLabel::hide);
}

UserLoginDlg::~UserLoginDlg()
{
    delete ui;
}

void UserLoginDlg::getUserInfo(QString& userName, QString& password) const
{
    userName = ui->userNameEdit->text().trimmed();
    password = ui->passwordEdit->text();
}

void UserLoginDlg::slotOkBtnClicked()
{
    if (ui->userNameEdit->text().trimmed().isEmpty()) {
        ui->noticeLabel->setText(tr("Please enter the user name!"));
        ui->noticeLabel->show();
        ui->userNameEdit->setFocus();
        return;
    }
    accept();
}

} // namespace pral_matrix
