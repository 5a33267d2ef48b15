#include "passwordlineedit.h"

#include <QAction>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace PCOMMON {

namespace {
/** An eye, open or struck through; drawn so that the field needs no image file. */
QIcon eyeIcon(bool open)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0x85, 0x8f, 0xa2), 2.5);
    painter.setPen(pen);
    QPainterPath lid;
    lid.moveTo(3, 16);
    lid.quadTo(16, 2, 29, 16);
    lid.quadTo(16, 30, 3, 16);
    painter.drawPath(lid);
    painter.setBrush(QColor(0x85, 0x8f, 0xa2));
    painter.drawEllipse(QPointF(16, 16), 4.5, 4.5);
    if (!open)
        painter.drawLine(QPointF(5, 27), QPointF(27, 5));
    painter.end();
    return QIcon(pixmap);
}
} // namespace

PasswordLineEdit::PasswordLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    eyeAction = addAction(eyeIcon(false), QLineEdit::TrailingPosition);
    eyeAction->setObjectName(QStringLiteral("eyeAction"));
    eyeAction->setCheckable(true);
    eyeAction->setToolTip(tr("Show password"));
    connect(eyeAction, &QAction::toggled, this, &PasswordLineEdit::setPasswordVisible);
}

PasswordLineEdit::~PasswordLineEdit() = default;

void PasswordLineEdit::setPasswordVisible(bool visible)
{
    setEchoMode(visible ? QLineEdit::Normal : QLineEdit::Password);
    eyeAction->setChecked(visible);
    eyeAction->setIcon(eyeIcon(visible));
    eyeAction->setToolTip(visible ? tr("Hide password") : tr("Show password"));
}

bool PasswordLineEdit::isPasswordVisible() const
{
    return echoMode() == QLineEdit::Normal;
}

} // namespace PCOMMON
