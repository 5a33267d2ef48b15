#include "pwidget.h"

namespace PCOMMON {

PWidget::PWidget(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
    setAttribute(Qt::WA_StyledBackground);
}

PWidget::~PWidget() = default;

void PWidget::setBackgroundColor(const QColor& color)
{
    bgColor = color;
    if (color.isValid()) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, color);
        setPalette(pal);
    }
    setAutoFillBackground(color.isValid());
    update();
}

} // namespace PCOMMON
