#include "systemassistant.h"

#include "dictdef.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QWidget>

Q_LOGGING_CATEGORY(lcAlert, "tvwall.alert")

namespace pral_worker {

namespace {
constexpr int ToastWidth = 320;
constexpr int ToastSpacing = 8;
constexpr int EdgeMargin = 16;
constexpr int MaxToasts = 6;
constexpr int TextPadding = 14;
constexpr int StripeWidth = 4;

QColor kindColour(const QString& kind)
{
    if (kind == pral_contact::DictDef::alertSuccess)
        return QColor(0x2f, 0xb2, 0x6a);
    if (kind == pral_contact::DictDef::alertWarning)
        return QColor(0xf0, 0xa0, 0x20);
    return QColor(0x26, 0x6b, 0xaf);
}

/**
 * One notice window: a dark card with a stripe in the colour of its kind. It
 * stays for its display time, then fades and reports itself finished; a
 * restart brings it back to full strength for another display time.
 */
class AlertToast : public QWidget
{
public:
    AlertToast(const QString& kind, const QString& text, std::function<void(QWidget*)> onDone)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus)
        , alertKind(kind)
        , message(text)
        , colour(kindColour(kind))
        , done(std::move(onDone))
    {
        setObjectName(QStringLiteral("alertToast"));
        setProperty("alertKind", kind);
        setProperty("alertText", text);
        // A notice must never take the focus or the activation from the window the user works in.
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        QFont f = font();
        f.setPixelSize(13);
        setFont(f);
        const int textWidth = ToastWidth - 2 * TextPadding - StripeWidth;
        const QRect bounds =
            fontMetrics().boundingRect(QRect(0, 0, textWidth, 1000), Qt::TextWordWrap, message);
        setFixedSize(ToastWidth, qMax(44, bounds.height() + 2 * TextPadding));
        setToolTip(text);

        displayTimer.setSingleShot(true);
        QObject::connect(&displayTimer, &QTimer::timeout, this, [this] { startFade(); });
    }

    bool shows(const QString& kind, const QString& text) const
    {
        return kind == alertKind && text == message;
    }

    void restart(int displayMs)
    {
        delete fade;
        fade = nullptr;
        setWindowOpacity(1.0);
        displayTimer.start(displayMs);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        painter.fillPath(card, QColor(0x17, 0x23, 0x35, 240));
        painter.setPen(colour);
        painter.drawPath(card);
        painter.setClipPath(card);
        painter.fillRect(QRect(0, 0, StripeWidth, height()), colour);
        painter.setClipping(false);
        painter.setPen(QColor(0xeb, 0xf3, 0xfa));
        painter.drawText(rect().adjusted(StripeWidth + TextPadding, 0, -TextPadding, 0),
                         Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, message);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && done)
            done(this);
    }

private:
    void startFade()
    {
        fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(SystemAssistant::FadeMs);
        fade->setStartValue(1.0);
        fade->setEndValue(0.0);
        QObject::connect(fade, &QPropertyAnimation::finished, this, [this] {
            if (done)
                done(this);
        });
        fade->start();
    }

    QString alertKind;
    QString message;
    QColor colour;
    std::function<void(QWidget*)> done;
    QTimer displayTimer;
    QPointer<QPropertyAnimation> fade;
};

/**
 * Top-right corner of the stack, height pixels high. Headings, titles and the wall's labels sit at the
 * top and in the middle of a window, fields and buttons in the body of a dialog. A dialog gets its
 * notices beside it, else below or above it, where the screen has room, and only on a screen too small
 * for that in its bottom-left corner, away from the buttons that dialogs keep on the right. Any other
 * window gets them in its bottom-right corner; without an active window they go to that of the screen.
 */
QPoint stackTopRight(int height)
{
    QWidget* window = QApplication::activeWindow();
    if (window && (!window->isVisible() || window->objectName() == QLatin1String("alertToast")))
        window = nullptr;
    const QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    if (!window)
        return QPoint(area.right() - EdgeMargin, area.bottom() - EdgeMargin - height + 1);

    const QRect frame = window->frameGeometry();
    // Of a window larger than the screen, the part on it.
    const QRect shown = (frame & area).isEmpty() ? area : frame & area;
    const int bottomTop = qMax(shown.top(), shown.bottom() - EdgeMargin - height + 1);
    if (!qobject_cast<QDialog*>(window))
        return QPoint(shown.right() - EdgeMargin, bottomTop);

    const int besideTop =
        qMax(area.top() + EdgeMargin, qMin(frame.top(), area.bottom() - EdgeMargin - height + 1));
    if (area.right() - frame.right() >= ToastWidth + 2 * EdgeMargin)
        return QPoint(frame.right() + EdgeMargin + ToastWidth, besideTop);
    if (frame.left() - area.left() >= ToastWidth + 2 * EdgeMargin)
        return QPoint(frame.left() - EdgeMargin - 1, besideTop);
    const int right = qMax(area.left() + ToastWidth - 1, qMin(frame.right(), area.right() - EdgeMargin));
    if (area.bottom() - frame.bottom() >= height + 2 * EdgeMargin)
        return QPoint(right, frame.bottom() + EdgeMargin + 1);
    if (frame.top() - area.top() >= height + 2 * EdgeMargin)
        return QPoint(right, frame.top() - EdgeMargin - height);
    return QPoint(shown.left() + EdgeMargin + ToastWidth - 1, bottomTop);
}
} // namespace

SystemAssistant::SystemAssistant(QObject* parent)
    : QObject(parent)
{
}

SystemAssistant::~SystemAssistant()
{
    // Widgets cannot be deleted once the application object is gone; at that point the process ends anyway.
    if (QCoreApplication::instance())
        closeAll();
}

void SystemAssistant::messageAlert(const QString& kind, const QString& text)
{
    SystemAssistant& assistant = _instance();
    qCInfo(lcAlert, "%s: %s", qPrintable(kind), qPrintable(text));
    // Without a QApplication (a service running headless) there can be no window; the signal still goes out.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        assistant.showAlert(kind, text);
    emit assistant.signalAlert(kind, text);
}

void SystemAssistant::showAlert(const QString& kind, const QString& text)
{
    // A burst of the same notice (one per step of a dragged slider) keeps one card on screen.
    for (const QPointer<QWidget>& shown : qAsConst(toasts)) {
        auto* toast = static_cast<AlertToast*>(shown.data());
        if (toast && toast->shows(kind, text)) {
            toast->restart(displayMs);
            return;
        }
    }

    while (toasts.size() >= MaxToasts)
        removeAlert(toasts.first());

    auto* toast = new AlertToast(kind, text, [this](QWidget* w) { removeAlert(w); });
    toasts.append(toast);
    layoutAlerts();
    toast->show();
    toast->restart(displayMs);
}

void SystemAssistant::removeAlert(QWidget* toast)
{
    if (!toast || !toasts.removeOne(toast))
        return;
    toast->hide();
    toast->deleteLater();
    layoutAlerts();
}

void SystemAssistant::layoutAlerts()
{
    toasts.removeAll(QPointer<QWidget>());
    int height = -ToastSpacing;
    for (const QPointer<QWidget>& toast : qAsConst(toasts))
        height += toast->height() + ToastSpacing;
    const QPoint topRight = stackTopRight(height);
    int y = topRight.y();
    for (const QPointer<QWidget>& toast : qAsConst(toasts)) {
        toast->move(topRight.x() - toast->width() + 1, y);
        y += toast->height() + ToastSpacing;
    }
}

QList<QWidget*> SystemAssistant::alertWindows() const
{
    QList<QWidget*> windows;
    for (const QPointer<QWidget>& toast : toasts) {
        if (toast)
            windows.append(toast);
    }
    return windows;
}

void SystemAssistant::closeAll()
{
    const QList<QPointer<QWidget>> all = toasts;
    toasts.clear();
    for (const QPointer<QWidget>& toast : all)
        delete toast.data();
}

} // namespace pral_worker
