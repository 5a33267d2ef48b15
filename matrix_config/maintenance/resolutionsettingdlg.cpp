#include "resolutionsettingdlg.h"
#include "ui_resolutionsettingdlg.h"

#include "modulelook.h"

namespace pral_matrixConfig {

static_assert(sizeof(ResolutionSettingDlg::Resolution_t) == 12, "three int32");

ResolutionSettingDlg::ResolutionSettingDlg(const ScreenResolution_t& current, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::ResolutionSettingDlg)
    , current(current)
{
    qRegisterMetaType<Resolution_t>("ResolutionSettingDlg::Resolution_t");
    ui->setupUi(this);
    setWindowTitle(tr("resolution ratio"));

    ui->dataRes->addItem(QStringLiteral("1920*1080"), QVariant::fromValue(Resolution_t{1920, 1080, 60}));
    ui->dataRes->addItem(QStringLiteral("3840*2160(4K)"), QVariant::fromValue(Resolution_t{3840, 2160, 30}));
    // The frame rate does not matter: each width has one choice.
    ui->dataRes->setCurrentIndex(current.width == 3840 ? 1 : 0);

    applyBarDialogLook(this, ui);

    connect(ui->okBt, &QPushButton::clicked, this, &ResolutionSettingDlg::slotOnOkBt);
    connect(ui->cancelBt, &QPushButton::clicked, this, &ResolutionSettingDlg::slotOnCancelBt);
    connect(ui->closeBt, &QPushButton::clicked, this, &ResolutionSettingDlg::slotOnCloseBt);
}

ResolutionSettingDlg::~ResolutionSettingDlg()
{
    delete ui;
}

ResolutionSettingDlg::Resolution_t ResolutionSettingDlg::getResolution() const
{
    return ui->dataRes->currentData(Qt::UserRole).value<Resolution_t>();
}

void ResolutionSettingDlg::slotOnOkBt()
{
    accept();
}

void ResolutionSettingDlg::slotOnCancelBt()
{
    reject();
}

void ResolutionSettingDlg::slotOnCloseBt()
{
    reject();
}

} // namespace pral_matrixConfig
