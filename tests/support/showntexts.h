#pragma once

// What an operator sees of a window: its texts and its images, for the checks that every
// rendered window reads in the language of the run, fits its texts and is sharp on a
// high-density screen.

#include <QStringList>
#include <QWidget>

/// The texts of root and its visible children that read as English once every occurrence of
/// the data (addresses, names the test chose) is taken out: Latin letters and no Chinese.
/// Looks at labels, buttons, placeholders, tool tips, table cells and the window title.
QStringList englishTexts(QWidget* root, const QStringList& data);

/// Labels and buttons of root whose text does not fit them, with the widths needed and had.
QStringList clippedTexts(QWidget* root);

/// Pictures of labels and icons of buttons in root that have fewer pixels than the screen:
/// a 1x image scaled up on a 200 % screen.
QStringList blurredImages(QWidget* root);
