#pragma once

#include "host_framework_global.h"
#include "psingleton.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

namespace pral_worker {

/**
 * @brief Shows transient notices ("toasts") stacked, oldest on top, where they
 * cover least of the active window: around a dialog where the screen has room,
 * else in a corner of the window away from its headings and buttons; each fades
 * out by itself after a few seconds.
 */
class HOST_FRAMEWORK_EXPORT SystemAssistant : public QObject, public PSingleton<SystemAssistant>
{
    Q_OBJECT
    friend class PSingleton<SystemAssistant>;

public:
    static constexpr int DefaultDisplayMs = 3000;
    static constexpr int FadeMs = 400;

    /**
     * Shows text as a notice of the given kind (one of pral_contact::DictDef's alert kinds;
     * an unknown kind looks like a notice), logs it in the category "tvwall.alert" and emits signalAlert.
     * Without a QApplication only the log line and the signal are produced.
     * A notice of the same kind and text as one still on screen does not stack
     * another card: that card starts its display time again (and stops fading).
     */
    static void messageAlert(const QString& kind, const QString& text);

    /** How long a notice stays before it starts to fade. */
    void setDisplayTime(int ms) { displayMs = ms; }
    int displayTime() const { return displayMs; }

    /** The notice windows on screen, oldest (top) first. */
    QList<QWidget*> alertWindows() const;
    /** Closes every notice at once. */
    void closeAll();

signals:
    void signalAlert(const QString& kind, const QString& text);

private:
    explicit SystemAssistant(QObject* parent = nullptr);
    ~SystemAssistant() override;

    void showAlert(const QString& kind, const QString& text);
    void removeAlert(QWidget* toast);
    void layoutAlerts();

    QList<QPointer<QWidget>> toasts;
    int displayMs = DefaultDisplayMs;
};

} // namespace pral_worker
