#pragma once

// Helpers of the decoder maintenance tests: the fleet with quick upgrades,
// answers for the file dialogs, and the notices and boxes the dialogs show.

#include "managementtesthelpers.h"
#include "servicethread.h"

#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>

namespace maint {

inline const char* const FileDialogClass = "QFileDialog";
inline const char* const ConfigClass = "pral_matrixConfig::DecoderConfigDlg";
inline const char* const LogsClass = "pral_matrixConfig::GetLogsDlg";
inline const char* const ChooserClass = "pral_matrixConfig::ExportConfigDlg";
inline const char* const UpgradeClass = "pral_matrixConfig::UpdateDecoderCardDlg";
inline const char* const ResolutionClass = "pral_matrixConfig::ResolutionSettingDlg";
inline const QString FirmwareModel = QStringLiteral("TVD-04");

/** The default fleet answering at once, with upgrade steps short enough for a test. */
inline bool loadQuickFleet()
{
    QJsonObject fleet = QJsonDocument::fromJson(pral_matrix::MatrixSdkWorker::defaultFleetJson()).object();
    fleet.insert(QStringLiteral("latencyMs"), 0);
    fleet.insert(QStringLiteral("upgradeStepMs"), 10);
    return mgmt::worker().loadFleet(QJsonDocument(fleet).toJson());
}

/** What a file dialog offered the operator. */
struct FileDialogSeen
{
    QString caption;
    QStringList filters;
    bool save = false;
    QString directory;
    QString proposed;
};

/** Answers a file dialog with path (empty: cancels it), and keeps what it offered in *seen. */
inline ModalAnswerer::Action chooseFile(const QString& path, FileDialogSeen* seen = nullptr)
{
    return [path, seen](QWidget* w) {
        auto* dialog = static_cast<QFileDialog*>(w);
        if (seen)
            *seen = FileDialogSeen{dialog->windowTitle(), dialog->nameFilters(),
                                   dialog->acceptMode() == QFileDialog::AcceptSave,
                                   dialog->directory().absolutePath(), dialog->selectedFiles().value(0)};
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        edit->setText(path);
        QTest::keyClick(edit, Qt::Key_Return);
    };
}

/** Lets every request made so far reach the service and every result emitted so far reach its receiver. */
inline bool flushService()
{
    return runOnServiceThread([] {}) && runOnServiceThread([] {});
}

} // namespace maint
