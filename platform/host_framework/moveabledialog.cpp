#include "moveabledialog.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QPainter>

namespace PCOMMON {

MoveableDialog::MoveableDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
}

MoveableDialog::~MoveableDialog() = default;

void MoveableDialog::setBackgroundColor(const QColor& color)
{
    bgColor = color;
    update();
}

void MoveableDialog::setTitleHeight(int height)
{
    dragHeight = qMax(0, height);
}

void MoveableDialog::paintEvent(QPaintEvent* event)
{
    if (bgColor.isValid()) {
        QPainter painter(this);
        painter.fillRect(rect(), bgColor);
    }
    QDialog::paintEvent(event);
}

bool MoveableDialog::startsDrag(const QPoint& pos) const
{
    if (!moveEnabled || isMaximized() || pos.y() < 0 || pos.y() >= dragHeight)
        return false;
    // Buttons take their own presses; this also covers a disabled button, whose press reaches us.
    for (QWidget* w = childAt(pos); w && w != this; w = w->parentWidget()) {
        if (qobject_cast<QAbstractButton*>(w))
            return false;
    }
    return true;
}

void MoveableDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && startsDrag(event->pos())) {
        dragging = true;
        dragOffset = event->globalPos() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void MoveableDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void MoveableDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (dragging && event->button() == Qt::LeftButton) {
        dragging = false;
        event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

} // namespace PCOMMON
