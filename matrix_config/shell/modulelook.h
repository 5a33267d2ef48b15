#pragma once

#include "commondialog.h"

#include <QColor>
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

/**
 * The look of the small maintenance dialogs: a dark title bar over the body and
 * the footer, the title label, the close button and the OK and Cancel buttons
 * in the global style. Ui is a designer form with those object names.
 */
template <class Ui>
void applyBarDialogLook(PCOMMON::CommonDialog* dialog, Ui* ui)
{
    dialog->setBackgroundColor(QColor(QStringLiteral("#172335")));
    dialog->setTitleHeight(35);
    fillBackground(ui->widget_top_bg, QStringLiteral("#0e1624"));
    fillBackground(ui->widget_center_bg, QStringLiteral("#172335"));
    fillBackground(ui->widget_bottom_bg, QStringLiteral("#172335"));
    ui->label->setProperty("common_label_style1", true);
    ui->closeBt->setProperty("common_close_bt_style1", true);
    ui->okBt->setProperty("common_bt_style1", true);
    ui->cancelBt->setProperty("common_bt_style2", true);
}

} // namespace pral_matrixConfig
