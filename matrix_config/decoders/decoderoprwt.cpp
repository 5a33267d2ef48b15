#include "decoderoprwt.h"
#include "ui_decoderoprwt.h"

namespace pral_matrixConfig {

DecoderOprWt::DecoderOprWt(QString ip, bool searchMode, QWidget* parent)
    : PCOMMON::TableOperWt(parent)
    , ui(new Ui::DecoderOprWt)
    , searchMode(searchMode)
    , ip(std::move(ip))
{
    ui->setupUi(this);
    connect(ui->changePwdBtn, &QPushButton::clicked, this,
            [this] { emit sig_changePwdBtnClicked(this->ip); });
    connect(ui->devConfigBtn, &QPushButton::clicked, this,
            [this] { emit sig_deviceConfigBtnClicked(this->ip); });
    connect(ui->deleteBtn, &QPushButton::clicked, this, [this] { emit sig_deleteBtnClicked(this->ip); });
    connect(ui->changeIpBtn, &QPushButton::clicked, this,
            [this] { emit sig_changeIpOrActiveBtnClicked(this->ip, activated); });

    if (this->searchMode) {
        ui->changePwdBtn->hide();
        ui->devConfigBtn->hide();
        ui->deleteBtn->hide();
    } else {
        ui->changeIpBtn->hide();
    }
}

DecoderOprWt::~DecoderOprWt()
{
    delete ui;
}

void DecoderOprWt::setActiveMode(bool activated)
{
    this->activated = activated;
    ui->changeIpBtn->setText(activated ? tr("Change Ip") : tr("Active"));
}

void DecoderOprWt::setIp(QString ip)
{
    this->ip = std::move(ip);
}

} // namespace pral_matrixConfig
