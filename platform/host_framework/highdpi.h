#pragma once

#include "host_framework_global.h"

#include <QPixmap>
#include <QString>

namespace PCOMMON {

/**
 * Turns on Qt's scaling for high-density screens and its 2x images. Call it before the
 * QApplication is made: Qt reads these attributes only then.
 */
HOST_FRAMEWORK_EXPORT void enableHighDpi();

/**
 * The image at path for a label that shows it at its own size: on a screen scaled to 200 %
 * the NAME@2x.png beside it (device pixel ratio 2) when there is one, as style sheets and
 * icons pick it; the plain file otherwise.
 */
HOST_FRAMEWORK_EXPORT QPixmap imagePixmap(const QString& path);

} // namespace PCOMMON
