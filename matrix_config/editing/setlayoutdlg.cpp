#include "setlayoutdlg.h"
#include "ui_setlayoutdlg.h"

#include "formsmgr.h"
#include "modulelook.h"

#include <QKeyEvent>

namespace pral_matrixConfig {

SetLayoutDlg::SetLayoutDlg(QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::SetLayoutDlg)
{
    ui->setupUi(this);
    setBackgroundColor(QColor(QStringLiteral("#060a11")));
    fillBackground(ui->widget, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_2, QStringLiteral("#172335"));
    ui->rowCbx->setCurrentIndex(0);
    ui->columCbx->setCurrentIndex(0);
    connect(ui->okBtn, SIGNAL(clicked()), this, SLOT(slotOkBtClicked()));
    connect(ui->closeBt, SIGNAL(clicked()), this, SLOT(slotCloseBtClicked()));
    connect(ui->cancelBtn, SIGNAL(clicked()), this, SLOT(slotCloseBtClicked()));
    pral_base::FormsMgr::setCurModalDlg(this);
}

SetLayoutDlg::~SetLayoutDlg()
{
    pral_base::FormsMgr::setCurModalDlg(nullptr);
    delete ui;
}

void SetLayoutDlg::getLayout(int& rows, int& columns) const
{
    rows = ui->rowCbx->currentText().toInt();
    columns = ui->columCbx->currentText().toInt();
}

void SetLayoutDlg::slotOkBtClicked()
{
    accept();
}

void SetLayoutDlg::slotCloseBtClicked()
{
    reject();
}

void SetLayoutDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        accept();
    PCOMMON::CommonDialog::keyPressEvent(event);
}

} // namespace pral_matrixConfig
