#include "disabledwt.h"

#include <QEvent>

namespace pral_matrixConfig {

DisabledWt::DisabledWt(QWidget* parent)
    : QWidget(parent)
    , covered(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    QPalette pal = palette();
    QColor shade(19, 25, 41);
    shade.setAlphaF(0.65);
    pal.setBrush(backgroundRole(), QBrush(shade));
    setPalette(pal);
    setAutoFillBackground(true);
    if (covered) {
        covered->installEventFilter(this);
        fitToCovered();
    }
}

DisabledWt::~DisabledWt() = default;

void DisabledWt::fitToCovered()
{
    setGeometry(0, 0, covered->width(), covered->height());
}

bool DisabledWt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == covered) {
        switch (event->type()) {
        case QEvent::Resize:
            fitToCovered();
            raise();
            break;
        case QEvent::Hide:
            hide();
            break;
        case QEvent::Show:
            if (!covered->isEnabled()) {
                fitToCovered();
                show();
                raise();
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pral_matrixConfig
