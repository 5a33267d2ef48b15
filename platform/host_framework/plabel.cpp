#include "plabel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace PCOMMON {

PLabel::PLabel(QWidget* parent)
    : QLabel(parent)
{
}

PLabel::PLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
}

PLabel::~PLabel() = default;

void PLabel::setElideMode(Qt::TextElideMode mode)
{
    elide = mode;
    update();
}

void PLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->pos()))
        emit clicked();
}

void PLabel::paintEvent(QPaintEvent* event)
{
    if (elide == Qt::ElideNone || wordWrap() || text().isEmpty() || textFormat() == Qt::RichText) {
        QLabel::paintEvent(event);
        return;
    }
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), elide, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

} // namespace PCOMMON
