#include "dlgmaskwt.h"

#include <QEvent>

namespace pral_matrixConfig {

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
    setWindowOpacity(0.5);
}

DlgMaskWt::~DlgMaskWt() = default;

void DlgMaskWt::fitToOwner()
{
    // The mask is a window of its own, so it goes where the owner is on the screen.
    setGeometry(QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size()));
}

bool DlgMaskWt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == owner) {
        switch (event->type()) {
        case QEvent::Resize:
            fitToOwner();
            raise();
            break;
        case QEvent::Hide:
            hide();
            break;
        case QEvent::Show:
            fitToOwner();
            show();
            raise();
            break;
        default:
            break;
        }
    } else if (watched == dialog && event->type() == QEvent::Show) {
        show();
    }
    return PCOMMON::SuspendLayerWt::eventFilter(watched, event);
}

} // namespace pral_matrixConfig
