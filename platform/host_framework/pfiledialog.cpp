#include "pfiledialog.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace PCOMMON {

namespace {
QString runDialog(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                  QString* selectedFilter, QFileDialog::Options options, bool save)
{
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setOptions(options | QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save)
        dialog.setDefaultSuffix(PFileDialog::defaultSuffixOf(filter));
    if (selectedFilter && !selectedFilter->isEmpty())
        dialog.selectNameFilter(*selectedFilter);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}
} // namespace

QString PFileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                     const QString& filter, QString* selectedFilter,
                                     QFileDialog::Options options)
{
    return runDialog(parent, caption, dir, filter, selectedFilter, options, false);
}

QString PFileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                     const QString& filter, QString* selectedFilter,
                                     QFileDialog::Options options)
{
    return runDialog(parent, caption, dir, filter, selectedFilter, options, true);
}

QString PFileDialog::saveStartFolder(const QString& folder)
{
    // Tried rather than asked: permission bits do not tell of a read-only mount, and root passes them.
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-probe-XXXXXX")));
        if (probe.open())
            return folder;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString PFileDialog::defaultSuffixOf(const QString& filter)
{
    static const QRegularExpression suffix(QStringLiteral("\\*\\.([A-Za-z0-9_]+)"));
    return suffix.match(filter).captured(1);
}

} // namespace PCOMMON
