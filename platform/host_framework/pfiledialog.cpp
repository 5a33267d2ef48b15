#include "pfiledialog.h"

#include "globalstyle.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QIcon>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyle>
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
    dialog.setStyleSheet(fileDialogStyleSheet());
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        for (QAbstractButton* button : buttons->buttons()) {
            const bool affirmative = buttons->buttonRole(button) == QDialogButtonBox::AcceptRole;
            button->setProperty(affirmative ? "common_bt_style1" : "common_bt_style2", true);
            // Built and polished by the dialog already: the new property's look needs a new polish.
            button->setIcon(QIcon());
            button->style()->unpolish(button);
            button->style()->polish(button);
        }
    }
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
