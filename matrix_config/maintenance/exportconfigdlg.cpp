#include "exportconfigdlg.h"
#include "ui_exportconfigdlg.h"

#include "modulelook.h"
#include "pfiledialog.h"

#include <QCoreApplication>

namespace pral_matrixConfig {

ExportConfigDlg::ExportConfigDlg(bool isImport, QWidget* parent)
    : PCOMMON::CommonDialog(parent, false, true)
    , ui(new Ui::ExportConfigDlg)
    , isImport(isImport)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);

    const QString title = isImport ? tr("Configuration Import") : tr("Configuration Export");
    setWindowTitle(title);
    ui->title->setText(title);
    ui->filePath->setPlaceholderText(isImport ? tr("Please select the file import path!")
                                              : tr("Please select the file export path!"));

    setBackgroundColor(QColor(QStringLiteral("#172335")));
    fillBackground(ui->widget_top, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_center, QStringLiteral("#172335"));
    ui->title->setProperty("common_label_style1", true);
    ui->closeBtn->setProperty("common_close_bt_style1", true);
    ui->enterBtn->setProperty("common_bt_style1", true);
    ui->cancelBtn->setProperty("common_bt_style2", true);

    connect(ui->filePath, &PCOMMON::SelDirLineEt::signalClicked, this,
            &ExportConfigDlg::slot_onFilePathClicked);
    connect(ui->enterBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->closeBtn, &QPushButton::clicked, this, &QWidget::close);
}

ExportConfigDlg::~ExportConfigDlg()
{
    delete ui;
}

void ExportConfigDlg::slot_onFilePathClicked()
{
    const QString caption = tr("Select the file");
    // An export is saved where the operator can write: an installed program's folder is not such a place.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString dir = isImport ? appDir : PCOMMON::PFileDialog::saveStartFolder(appDir);
    const QString filter = QStringLiteral("File(*.matrix)");
    const QString path = isImport ? PCOMMON::PFileDialog::getOpenFileName(this, caption, dir, filter)
                                  : PCOMMON::PFileDialog::getSaveFileName(this, caption, dir, filter);
    ui->filePath->setText(path);
    // A cancelled chooser clears the field but keeps the file chosen before.
    if (!path.isEmpty())
        filePath = path;
}

} // namespace pral_matrixConfig
