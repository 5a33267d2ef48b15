#include "suspendlayerwt.h"

#include <QGuiApplication>
#include <QX11Info>

namespace PCOMMON {

SuspendLayerWt::SuspendLayerWt(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint)
{
    // Without this a sub-class of QWidget ignores the background of its own style sheet. No
    // WA_TranslucentBackground: it implies WA_NoSystemBackground, which skips that background too;
    // the layer is made see-through with setWindowOpacity instead.
    setAttribute(Qt::WA_StyledBackground);
    // The layer sits between a window and its modal child; it must not take the activation from either.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
}

SuspendLayerWt::~SuspendLayerWt() = default;

bool SuspendLayerWt::isTranslucencyAvailable()
{
    // Other platforms (Wayland, the offscreen one) always compose windows.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    return QX11Info::isPlatformX11() && QX11Info::isCompositingManagerRunning();
}

} // namespace PCOMMON
