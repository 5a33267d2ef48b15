#include "ppushbutton.h"

#include <QFile>

namespace PCOMMON {

PPushButton::PPushButton(QWidget* parent)
    : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

PPushButton::PPushButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    setCursor(Qt::PointingHandCursor);
}

PPushButton::~PPushButton() = default;

void PPushButton::setImages(const QString& normal, const QString& hover, const QString& pressed)
{
    setStyleSheet(imageStyleSheet(normal, hover, pressed));
}

QString PPushButton::imageStyleSheet(const QString& normal, const QString& hover, const QString& pressed)
{
    const auto usable = [&normal](const QString& path) {
        return !path.isEmpty() && QFile::exists(path) ? path : normal;
    };
    return QStringLiteral("QPushButton{border:none;background:transparent;border-image:url(%1);}"
                          "QPushButton:hover{border-image:url(%2);}"
                          "QPushButton:pressed,QPushButton:checked{border-image:url(%3);}")
        .arg(normal, usable(hover), usable(pressed));
}

} // namespace PCOMMON
