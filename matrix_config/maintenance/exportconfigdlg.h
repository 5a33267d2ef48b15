#pragma once

#include "commondialog.h"
#include "matrix_config_global.h"

namespace pral_matrixConfig {

namespace Ui {
class ExportConfigDlg;
}

/**
 * @brief Picks the configuration file of a decoder, to import it or to
 * export to it. The file itself is written and read by the decoder service;
 * this dialog only asks for its path and validates nothing.
 */
class MATRIX_CONFIG_EXPORT ExportConfigDlg : public PCOMMON::CommonDialog
{
    Q_OBJECT

public:
    /** isImport true: the file to read; false: the file to write. */
    explicit ExportConfigDlg(bool isImport, QWidget* parent = nullptr);
    ~ExportConfigDlg() override;

    /** The chosen path; empty when no file was chosen. */
    const QString& getFilePath() const { return filePath; }

public slots:
    void slot_onFilePathClicked();

private:
    Ui::ExportConfigDlg* ui;
    bool isImport;
    QString filePath;
};

} // namespace pral_matrixConfig
