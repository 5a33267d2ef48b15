#include "customaction.h"

#include <QFile>
#include <QIcon>

namespace PCOMMON {

namespace {
QString existingOr(const QString& path, const QString& fallback)
{
    return !path.isEmpty() && QFile::exists(path) ? path : fallback;
}
} // namespace

CustomAction::CustomAction(QWidget* parent, const QString& text, const QString& normalIcon,
                           const QString& hoverIcon, const QString& pressedIcon)
    : QAction(text, parent)
    , normalPath(normalIcon)
    , hoverPath(existingOr(hoverIcon, normalIcon))
    , pressedPath(existingOr(pressedIcon, normalIcon))
{
    if (normalPath.isEmpty())
        return;
    // Menus draw the entry under the pointer in Active mode and a checked entry in the On state.
    QIcon icon;
    icon.addFile(normalPath, QSize(), QIcon::Normal, QIcon::Off);
    icon.addFile(hoverPath, QSize(), QIcon::Active, QIcon::Off);
    icon.addFile(pressedPath, QSize(), QIcon::Selected, QIcon::Off);
    icon.addFile(pressedPath, QSize(), QIcon::Normal, QIcon::On);
    icon.addFile(pressedPath, QSize(), QIcon::Active, QIcon::On);
    icon.addFile(pressedPath, QSize(), QIcon::Selected, QIcon::On);
    setIcon(icon);
}

CustomAction::~CustomAction() = default;

} // namespace PCOMMON
