#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

namespace {
constexpr int PollIntervalMs = 20;

bool classMatches(QWidget* w, const QString& className)
{
    return className.isEmpty() || w->inherits(className.toLatin1().constData());
}
} // namespace

ModalAnswerer::ModalAnswerer(const QString& className, Action action, int timeoutMs)
    : wantedClass(className)
    , act(std::move(action))
    , startModal(QApplication::activeModalWidget())
    , remainingMs(timeoutMs)
{
    timer.setInterval(PollIntervalMs);
    connect(&timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer.start();
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::poll()
{
    remainingMs -= PollIntervalMs;
    if (remainingMs <= 0) {
        timer.stop();
        qWarning("ModalAnswerer: no modal %s appeared in time", qPrintable(wantedClass));
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == startModal || !modal->isVisible() || !classMatches(modal, wantedClass))
        return;
    timer.stop();
    done = true;
    seenClass = QString::fromLatin1(modal->metaObject()->className());
    // Act from a fresh event-loop turn so the dialog has finished showing. The timer belongs to the
    // dialog, which may outlive the answerer: an answerer that is gone (its test function ended, with
    // whatever its action writes to) answers nothing.
    QPointer<QWidget> target(modal);
    QPointer<ModalAnswerer> self(this);
    QTimer::singleShot(0, modal, [self, target] {
        if (self && target)
            self->act(target);
    });
}

bool ModalAnswerer::clickButton(QWidget* parent, const QString& nameOrText)
{
    if (!parent)
        return false;
    auto* button = parent->findChild<QAbstractButton*>(nameOrText);
    if (!button) {
        const auto buttons = parent->findChildren<QAbstractButton*>();
        for (QAbstractButton* b : buttons) {
            if (b->text() == nameOrText) {
                button = b;
                break;
            }
        }
    }
    if (!button)
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

ModalScript::ModalScript(QList<Step> steps, int timeoutMs)
    : stepList(std::move(steps))
    , remainingMs(timeoutMs)
{
    lastAnswered = QApplication::activeModalWidget();
    timer.setInterval(PollIntervalMs);
    connect(&timer, &QTimer::timeout, this, &ModalScript::poll);
    timer.start();
}

ModalScript::~ModalScript() = default;

void ModalScript::poll()
{
    remainingMs -= PollIntervalMs;
    if (answered >= stepList.size() || remainingMs <= 0) {
        if (remainingMs <= 0 && answered < stepList.size())
            qWarning("ModalScript: step %d (%s) never appeared", answered,
                     qPrintable(stepList.at(answered).className));
        timer.stop();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    const Step& step = stepList.at(answered);
    if (!modal || modal == lastAnswered || !modal->isVisible() || !classMatches(modal, step.className))
        return;
    lastAnswered = modal;
    ++answered;
    // Gone with its test function, the script answers nothing (see ModalAnswerer::poll).
    QPointer<QWidget> target(modal);
    QPointer<ModalScript> self(this);
    ModalAnswerer::Action action = step.action;
    QTimer::singleShot(0, modal, [self, action, target] {
        if (self && target)
            action(target);
    });
}
