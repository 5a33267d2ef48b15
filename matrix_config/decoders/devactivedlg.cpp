#include "devactivedlg.h"
#include "ui_devactivedlg.h"

#include "checkpwdstrength.h"
#include "modulelook.h"
#include "toolscollection.h"

#include <QToolTip>

namespace pral_matrixConfig {

namespace {
const QString UserName = QStringLiteral("admin");
const QString RuleMet = QStringLiteral("QLabel{border-image:url(:/matrixConfig_images/images/selected.png)}");
const QString RuleNotMet =
    QStringLiteral("QLabel{border-image:url(:/matrixConfig_images/images/unselected.png)}");

constexpr int MinPasswordLength = 8;
constexpr int MaxPasswordLength = 16;

// Rule levels: which of the three rules (length, character kinds, not the user name) a password meets.
constexpr int LevelTooShortOrLong = 0;
constexpr int LevelIsUserName = 1;
constexpr int LevelOneKind = 2;
constexpr int LevelAllRules = 3;

int ruleLevel(int rating, const QString& password)
{
    if (rating < 0)
        return LevelTooShortOrLong;
    if (rating == 0)
        return LevelOneKind;
    if (password == UserName || PCOMMON::ToolsCollection::reverseString(password) == UserName)
        return LevelIsUserName;
    return LevelAllRules;
}

void showRefusal(QWidget* edit, const QString& text)
{
    QToolTip::showText(edit->mapToGlobal(QPoint(0, 0)), text, edit);
}
} // namespace

DevActiveDlg::DevActiveDlg(bool isChangePwd, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::DevActiveDlg)
    , isChangePwd(isChangePwd)
{
    ui->setupUi(this);
    if (isChangePwd) {
        setWindowTitle(tr("Change Password"));
        ui->title->setText(tr("Change Password"));
        ui->user->hide();
        ui->admin->hide();
    } else {
        setWindowTitle(tr("Device Active"));
        ui->title->setText(tr("Device Active"));
        ui->oldPwd->hide();
        ui->oldPwdEdt->hide();
    }

    setBackgroundColor(QColor(QStringLiteral("#172335")));
    fillBackground(ui->widget_top_bg, QStringLiteral("#0e1624"));
    ui->widget_center_bg->setAttribute(Qt::WA_StyledBackground);
    ui->widget_center_bg->setStyleSheet(
        QStringLiteral("QWidget#widget_center_bg{background-color:#172335;}"));
    ui->widget_bottom_bg->setAttribute(Qt::WA_StyledBackground);
    ui->widget_bottom_bg->setStyleSheet(
        QStringLiteral("QWidget#widget_bottom_bg{background-color:#172335;}"));
    ui->title->setProperty("common_label_style1", true);
    ui->okBt->setProperty("common_bt_style1", true);
    ui->cancelBt->setProperty("common_bt_style2", true);

    connect(ui->okBt, &QPushButton::clicked, this, &DevActiveDlg::slotOnOkBt);
    connect(ui->cancelBt, &QPushButton::clicked, this, &DevActiveDlg::slotOnCancelBt);
    connect(ui->pwdEdt, &QLineEdit::textChanged, this, &DevActiveDlg::slotOnPwdTextChanged);
}

DevActiveDlg::~DevActiveDlg()
{
    delete ui;
}

QString DevActiveDlg::getPassword() const
{
    return ui->pwdEdt->text();
}

QString DevActiveDlg::getOldPassword() const
{
    return ui->oldPwdEdt->text();
}

void DevActiveDlg::slotOnOkBt()
{
    if (isChangePwd) {
        // The old password only has to be one the decoder could hold; the decoder itself judges it.
        const int oldLength = ui->oldPwdEdt->text().size();
        if (oldLength < MinPasswordLength || oldLength > MaxPasswordLength) {
            showRefusal(ui->oldPwdEdt, tr("Illegal password!"));
            return;
        }
    }
    if (pwdLevel != LevelAllRules) {
        showRefusal(ui->pwdEdt, tr("Illegal password!"));
        return;
    }
    if (ui->confirmPwdEdt->text() != ui->pwdEdt->text()) {
        showRefusal(ui->confirmPwdEdt, tr("The two passwords are not the same!"));
        return;
    }
    accept();
}

void DevActiveDlg::slotOnCancelBt()
{
    reject();
}

void DevActiveDlg::slotOnPwdTextChanged(const QString& text)
{
    const int rating = PCOMMON::checkPwdStrength(text);
    ui->pwdStrengthWt->setStrength(rating);
    pwdLevel = ruleLevel(rating, text);
    const bool lengthMet = pwdLevel != LevelTooShortOrLong;
    const bool kindsMet = pwdLevel == LevelIsUserName || pwdLevel == LevelAllRules;
    const bool notUserNameMet = pwdLevel != LevelIsUserName;
    ui->tipOne->setStyleSheet(lengthMet ? RuleMet : RuleNotMet);
    ui->tipTwo->setStyleSheet(kindsMet ? RuleMet : RuleNotMet);
    ui->tipThree->setStyleSheet(notUserNameMet ? RuleMet : RuleNotMet);
}

} // namespace pral_matrixConfig
