#pragma once

#include "host_framework_global.h"

#include <QAction>

namespace PCOMMON {

/**
 * @brief Menu entry with its own images for the normal, hovered and pressed
 * (selected or checked) states.
 */
class HOST_FRAMEWORK_EXPORT CustomAction : public QAction
{
    Q_OBJECT

public:
    /** A hover or pressed image that does not exist falls back to the normal image. */
    CustomAction(QWidget* parent, const QString& text, const QString& normalIcon,
                 const QString& hoverIcon = QString(), const QString& pressedIcon = QString());
    ~CustomAction() override;

    QString normalIconPath() const { return normalPath; }
    QString hoverIconPath() const { return hoverPath; }
    QString pressedIconPath() const { return pressedPath; }

private:
    QString normalPath;
    QString hoverPath;
    QString pressedPath;
};

} // namespace PCOMMON
