#pragma once

#include "host_framework_global.h"

#include <QFileDialog>

namespace PCOMMON {

/**
 * @brief File choosers of the host: Qt's own (non-native) file dialog, so that
 * it looks the same everywhere and can be driven in tests.
 */
class HOST_FRAMEWORK_EXPORT PFileDialog
{
public:
    /** The chosen existing file, or "" when cancelled. */
    static QString getOpenFileName(QWidget* parent = nullptr, const QString& caption = QString(),
                                   const QString& dir = QString(), const QString& filter = QString(),
                                   QString* selectedFilter = nullptr,
                                   QFileDialog::Options options = QFileDialog::Options());
    /**
     * The chosen path to save to, or "" when cancelled. dir may end in a suggested file name.
     * A name typed without a suffix gets the first suffix of the filter ("File(*.matrix)" gives ".matrix").
     */
    static QString getSaveFileName(QWidget* parent = nullptr, const QString& caption = QString(),
                                   const QString& dir = QString(), const QString& filter = QString(),
                                   QString* selectedFilter = nullptr,
                                   QFileDialog::Options options = QFileDialog::Options());

    /**
     * Where a save dialog offered folder should start: folder itself when a file can be made in it,
     * else the user's documents folder, or the home folder when there is none. An installed
     * program's own folder (/usr/bin) is no place for the operator's files.
     */
    static QString saveStartFolder(const QString& folder);

    /** The first "*.ext" suffix of a filter, without the dot, or "". */
    static QString defaultSuffixOf(const QString& filter);

private:
    PFileDialog() = delete;
};

} // namespace PCOMMON
