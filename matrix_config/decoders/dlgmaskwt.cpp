#include "dlgmaskwt.h"

#include <QEvent>
#include <QPainter>

namespace pral_matrixConfig {

namespace {

// The layer's window opacity: how much of the black covers the owner.
constexpr qreal Dimming = 0.5;

} // namespace

DlgMaskWt::DlgMaskWt(QWidget* owner, QWidget* dialog)
    : PCOMMON::SuspendLayerWt(owner)
    , owner(owner)
    , dialog(dialog)
{
    if (owner) {
        owner->installEventFilter(this);
        fitToOwner();
    }
    if (dialog)
        dialog->installEventFilter(this);
    setStyleSheet(QStringLiteral("background-color:black"));
    setWindowOpacity(Dimming);
}

DlgMaskWt::~DlgMaskWt() = default;

void DlgMaskWt::fitToOwner()
{
    // The mask is a window of its own, so it goes where the owner is on the screen.
    setGeometry(QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size()));
    if (isTranslucencyAvailable()) {
        picture = QPixmap();
        return;
    }
    // Opaque, the black would hide the page: show the page itself, as the dimming would have.
    picture = owner->grab();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, int(255 * Dimming)));
}

void DlgMaskWt::keepDialogOnTop()
{
    // Without a window manager nothing else restacks the dialog above a layer that rose after it.
    if (dialog && dialog->isVisible())
        dialog->raise();
}

void DlgMaskWt::paintEvent(QPaintEvent* event)
{
    if (picture.isNull()) {
        PCOMMON::SuspendLayerWt::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(rect(), picture);
}

bool DlgMaskWt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == owner) {
        switch (event->type()) {
        case QEvent::Resize:
            fitToOwner();
            raise();
            keepDialogOnTop();
            break;
        case QEvent::Hide:
            hide();
            break;
        case QEvent::Show:
            fitToOwner();
            show();
            raise();
            keepDialogOnTop();
            break;
        default:
            break;
        }
    } else if (watched == dialog && event->type() == QEvent::Show) {
        show();
        // The dialog's own window is mapped after this event: raised then, it lands above the layer.
        QMetaObject::invokeMethod(this, &DlgMaskWt::keepDialogOnTop, Qt::QueuedConnection);
    }
    return PCOMMON::SuspendLayerWt::eventFilter(watched, event);
}

} // namespace pral_matrixConfig
