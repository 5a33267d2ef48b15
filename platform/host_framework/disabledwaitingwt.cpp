#include "disabledwaitingwt.h"

#include "disabledwaitingwtmanager.h"

#include <QEvent>
#include <QPainter>
#include <QtMath>

namespace PCOMMON {

namespace {
constexpr int SpinIntervalMs = 80;
constexpr int SpinnerRadius = 18;
constexpr int DotRadius = 3;
} // namespace

DisabledWaitingWt::DisabledWaitingWt(QWidget* parent, const QString& text, const QString& text2,
                                     bool autoShow)
    : QWidget(parent)
    , uuid(QUuid::createUuid())
    , mainText(text)
    , subText(text2)
{
    setObjectName(QStringLiteral("DisabledWaitingWt"));
    // Presses on the covered widgets must stop here, so the overlay takes the mouse itself.
    setAttribute(Qt::WA_NoMousePropagation);
    setFocusPolicy(Qt::StrongFocus);
    if (!parent) {
        setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
        setAttribute(Qt::WA_TranslucentBackground);
        resize(240, 160);
    }
    spinTimer.setInterval(SpinIntervalMs);
    connect(&spinTimer, &QTimer::timeout, this, [this] {
        step = (step + 1) % SpinnerDots;
        update();
    });
    if (parent) {
        parent->installEventFilter(this);
        fitToParent();
    }
    DisabledWaitingWtManager::add(this);
    if (autoShow) {
        show();
        raise();
    }
}

DisabledWaitingWt::~DisabledWaitingWt()
{
    DisabledWaitingWtManager::remove(uuid);
}

void DisabledWaitingWt::setText(const QString& text)
{
    mainText = text;
    update();
}

void DisabledWaitingWt::fitToParent()
{
    if (parentWidget())
        setGeometry(parentWidget()->rect());
}

bool DisabledWaitingWt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        fitToParent();
        raise();
    }
    return QWidget::eventFilter(watched, event);
}

void DisabledWaitingWt::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    fitToParent();
    spinTimer.start();
    // Keys typed while busy must not reach a field underneath.
    setFocus(Qt::OtherFocusReason);
}

void DisabledWaitingWt::hideEvent(QHideEvent* event)
{
    spinTimer.stop();
    QWidget::hideEvent(event);
}

void DisabledWaitingWt::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(11, 18, 30, 170));

    const int textBlock = mainText.isEmpty() ? 0 : 28 + (subText.isEmpty() ? 0 : 20);
    const QPointF centre(width() / 2.0, height() / 2.0 - textBlock / 2.0);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < SpinnerDots; ++i) {
        // The dot at the current step is the brightest; the trail behind it fades out.
        const int age = (step - i + SpinnerDots) % SpinnerDots;
        QColor dot(0x26, 0x6b, 0xaf);
        dot.setAlphaF(1.0 - 0.75 * age / SpinnerDots);
        const qreal angle = 2 * M_PI * i / SpinnerDots;
        const QPointF at = centre + QPointF(qCos(angle), qSin(angle)) * SpinnerRadius;
        painter.setBrush(dot);
        painter.drawEllipse(at, DotRadius, DotRadius);
    }

    painter.setPen(QColor(0xeb, 0xf3, 0xfa));
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    const int textTop = int(centre.y()) + SpinnerRadius + 14;
    if (!mainText.isEmpty())
        painter.drawText(QRect(0, textTop, width(), 20), Qt::AlignCenter, mainText);
    if (!subText.isEmpty()) {
        font.setPixelSize(12);
        painter.setFont(font);
        painter.setPen(QColor(0x85, 0x8f, 0xa2));
        painter.drawText(QRect(0, textTop + 20, width(), 18), Qt::AlignCenter, subText);
    }
}

} // namespace PCOMMON
