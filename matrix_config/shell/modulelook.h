#pragma once

#include <QString>
#include <QWidget>

namespace pral_matrixConfig {

/**
 * Paints a plain designer container in one colour. The rule names the widget
 * itself, so that the colour does not leak to the children, which keep the
 * look of the global style.
 */
inline void fillBackground(QWidget* widget, const QString& colour)
{
    widget->setAttribute(Qt::WA_StyledBackground);
    widget->setStyleSheet(
        QStringLiteral("QWidget#%1{background-color:%2;}").arg(widget->objectName(), colour));
}

} // namespace pral_matrixConfig
