#pragma once

// What an operator sees of a window, for the checks that a rendered window reads in the
// language of the run, fits its texts and is sharp on a high-density screen.

#include <QStringList>
#include <QWidget>

/// Texts of root and its visible children (title, labels, buttons, placeholders, tool tips,
/// table cells) that read as English once the data is taken out: Latin letters, no Chinese.
QStringList englishTexts(QWidget* root, const QStringList& data);

/// Labels and buttons of root whose text does not fit them.
QStringList clippedTexts(QWidget* root);

/// Label pictures and button icons of root with fewer pixels than the screen: 1x images scaled up.
QStringList blurredImages(QWidget* root);

/// Labels of root whose text stands out from the background it is drawn on by less than minimumRatio
/// (the contrast ratio of the web's accessibility guidelines: 4.5 for body text), as rendered.
QStringList faintTexts(QWidget* root, double minimumRatio = 4.5);
