#pragma once

#include "host_framework_global.h"

#include <QWidget>

namespace PCOMMON {

/**
 * @brief Frameless tool window of its own that stays above its owner's window
 * without taking the activation; subclasses place it in screen coordinates
 * (masks, floating panels).
 *
 * Its style sheet background is drawn, so "background-color:black" with a
 * window opacity of 0.5 gives a translucent dimming layer where windows can
 * be translucent at all (see isTranslucencyAvailable()).
 */
class HOST_FRAMEWORK_EXPORT SuspendLayerWt : public QWidget
{
    Q_OBJECT

public:
    explicit SuspendLayerWt(QWidget* owner = nullptr);
    ~SuspendLayerWt() override;

    /**
     * Whether a window opacity below 1 shows what lies under the window. On X11
     * that takes a compositing manager; without one the layer is opaque.
     */
    static bool isTranslucencyAvailable();
};

} // namespace PCOMMON
