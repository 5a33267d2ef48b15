#include "passwordstrengthwt.h"
#include "ui_passwordstrengthwt.h"

namespace pral_matrixConfig {

namespace {
const QString LitBar = QStringLiteral("QLabel{background-color:#F35424;border-radius:2px;}");
const QString UnlitBar = QStringLiteral("QLabel{background-color:#F2F2F2;border-radius:2px;}");
} // namespace

PasswordStrengthWt::PasswordStrengthWt(QWidget* parent)
    : PCOMMON::PWidget(parent)
    , ui(new Ui::PasswordStrengthWt)
{
    ui->setupUi(this);
    const QList<QLabel*> words{ui->terrible, ui->simple, ui->midum, ui->strong};
    for (QLabel* word : words)
        word->hide();
    const QList<QLabel*> bars{ui->terribleWt, ui->simpleWt, ui->midumWt, ui->strongWt};
    for (QLabel* bar : bars)
        bar->setStyleSheet(UnlitBar);
}

PasswordStrengthWt::~PasswordStrengthWt()
{
    delete ui;
}

void PasswordStrengthWt::setStrength(int rating)
{
    const QList<QLabel*> words{ui->terrible, ui->simple, ui->midum, ui->strong};
    const QList<QLabel*> bars{ui->terribleWt, ui->simpleWt, ui->midumWt, ui->strongWt};
    for (QLabel* word : words)
        word->hide();
    // An unknown rating says nothing about the password: the bars keep what they showed.
    if (rating < -1 || rating > 2)
        return;
    const int lit = rating + 2;
    words.at(lit - 1)->show();
    for (int i = 0; i < bars.size(); ++i)
        bars.at(i)->setStyleSheet(i < lit ? LitBar : UnlitBar);
}

} // namespace pral_matrixConfig
