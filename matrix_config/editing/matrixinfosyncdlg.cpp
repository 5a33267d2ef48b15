#include "matrixinfosyncdlg.h"
#include "modulelook.h"
#include "ui_matrixinfosyncdlg.h"

#include <QCheckBox>
#include <QListWidgetItem>

#include <algorithm>

namespace pral_matrixConfig {

MatrixInfoSyncDlg::MatrixInfoSyncDlg(const QStringList& ipList, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::MatrixInfoSyncDlg)
    , ipList(ipList)
{
    ui->setupUi(this);
    setWindowTitle(tr("Matrix Info Sync"));

    setBackgroundColor(QColor(QStringLiteral("#172335")));
    fillBackground(ui->widget_top, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_center, QStringLiteral("#172335"));
    fillBackground(ui->widget_bottom, QStringLiteral("#172335"));
    ui->ipShowWt->setAttribute(Qt::WA_StyledBackground);
    ui->ipShowWt->setStyleSheet(QStringLiteral("background-color: rgb(14, 22, 36);"));
    ui->title->setProperty("common_label_style1", true);
    ui->okBtn->setProperty("common_bt_style1", true);
    ui->cancelBtn->setProperty("common_bt_style2", true);
    ui->noBtn->setChecked(true);
    ui->ipShowWt->setEnabled(false);

    for (const QString& ip : qAsConst(this->ipList)) {
        auto* item = new QListWidgetItem(ui->ipListWt);
        auto* checkBox = new QCheckBox(ip, ui->ipListWt);
        item->setSizeHint(QSize(0, 28));
        ui->ipListWt->setItemWidget(item, checkBox);
        connect(checkBox, &QCheckBox::stateChanged, this, &MatrixInfoSyncDlg::slot_ipCheckStateChanged);
        ++ipCount;
    }

    connect(ui->okBtn, &QPushButton::clicked, this, &MatrixInfoSyncDlg::slot_okBtnClieked);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &MatrixInfoSyncDlg::slot_cancelBtnClieked);
    connect(ui->checkAllCheckBox, &QCheckBox::clicked, this, &MatrixInfoSyncDlg::slot_checkAllBtnClieked);
    connect(ui->yesBtn, &QRadioButton::clicked, this, &MatrixInfoSyncDlg::slot_yesBtnClicked);
    connect(ui->noBtn, &QRadioButton::clicked, this, &MatrixInfoSyncDlg::slot_noBtnClicked);
}

MatrixInfoSyncDlg::~MatrixInfoSyncDlg()
{
    delete ui;
}

QStringList MatrixInfoSyncDlg::getCheckedIpList() const
{
    QStringList checked;
    const QList<QCheckBox*> boxes = ipCheckBoxes();
    for (const QCheckBox* box : boxes) {
        if (box->isChecked())
            checked.append(box->text());
    }
    return checked;
}

void MatrixInfoSyncDlg::slot_okBtnClieked()
{
    accept();
}

void MatrixInfoSyncDlg::slot_cancelBtnClieked()
{
    reject();
}

void MatrixInfoSyncDlg::slot_checkAllBtnClieked(bool clicked)
{
    const QList<QCheckBox*> boxes = ipCheckBoxes();
    for (QCheckBox* box : boxes)
        box->setChecked(clicked);
}

void MatrixInfoSyncDlg::slot_yesBtnClicked(bool checked)
{
    if (checked)
        ui->ipShowWt->setEnabled(true);
}

void MatrixInfoSyncDlg::slot_noBtnClicked(bool checked)
{
    if (!checked)
        return;
    const QList<QCheckBox*> boxes = ipCheckBoxes();
    for (QCheckBox* box : boxes)
        box->setChecked(false);
    ui->ipShowWt->setEnabled(false);
}

void MatrixInfoSyncDlg::slot_ipCheckStateChanged(int state)
{
    if (state == Qt::Unchecked) {
        ui->checkAllCheckBox->setChecked(false);
    } else if (state == Qt::Checked) {
        const QList<QCheckBox*> boxes = ipCheckBoxes();
        const bool all =
            std::all_of(boxes.begin(), boxes.end(), [](const QCheckBox* box) { return box->isChecked(); });
        if (all)
            ui->checkAllCheckBox->setChecked(true);
    }
}

QList<QCheckBox*> MatrixInfoSyncDlg::ipCheckBoxes() const
{
    QList<QCheckBox*> boxes;
    for (int i = 0; i < ui->ipListWt->count(); ++i) {
        if (auto* box = qobject_cast<QCheckBox*>(ui->ipListWt->itemWidget(ui->ipListWt->item(i))))
            boxes.append(box);
    }
    return boxes;
}

} // namespace pral_matrixConfig
