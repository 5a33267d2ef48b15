#pragma once

// What an operator can read in a window, for tests of translations and scaling.

#include <QString>
#include <QStringList>
#include <QWidget>

/// A text that root shows, with where it is (object name or class name).
struct ShownText
{
    QString where;
    QString text;
};

/// Every text shown in root and its visible children: labels, buttons, tool tips, table
/// headers and cells, combo box entries, group box and window titles.
QList<ShownText> shownTexts(QWidget* root);

/// The texts of shown that read as English: they hold Latin letters and no Chinese, once
/// every occurrence of the data (addresses, names the test chose) is taken out.
QStringList englishTexts(const QList<ShownText>& shown, const QStringList& data);

/// Labels and buttons of root whose text does not fit their widget, with the needed and the
/// available width.
QStringList clippedTexts(QWidget* root);
