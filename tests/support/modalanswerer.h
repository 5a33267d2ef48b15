#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

/**
 * @brief Answers the next modal dialog that opens, so that a nested exec()
 * flow can run to its end inside a test.
 *
 * It polls QApplication::activeModalWidget() from the event loop that the
 * dialog's exec() runs, and when a widget that is not the one it started
 * under appears (and matches the class, when one is given) it calls the
 * action once with it. Give the action the job a person would do: fill
 * fields, click a button.
 *
 *     ModalAnswerer answer("PMessageBox", [](QWidget* box) { clickButton(box, "okBtn"); });
 *     form.deleteSomething();            // runs exec() inside
 *     QVERIFY(answer.answered());
 */
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    using Action = std::function<void(QWidget*)>;

    /// className empty: the next modal widget of any class.
    ModalAnswerer(const QString& className, Action action, int timeoutMs = 10000);
    ~ModalAnswerer() override;

    bool answered() const { return done; }
    /// Name of the class that was answered, for messages on failure.
    QString answeredClass() const { return seenClass; }

    /// Clicks the child QAbstractButton with this object name (or, when none
    /// has it, the first whose text equals the name). Returns false when none.
    static bool clickButton(QWidget* parent, const QString& nameOrText);

private:
    void poll();

    QString wantedClass;
    Action act;
    QPointer<QWidget> startModal;
    QTimer timer;
    int remainingMs;
    bool done = false;
    QString seenClass;
};

/**
 * @brief Answers a chain of modal dialogs one after another (search -> add ->
 * login -> sync): each step waits for its own dialog.
 */
class ModalScript : public QObject
{
    Q_OBJECT

public:
    struct Step
    {
        QString className;
        ModalAnswerer::Action action;
    };

    explicit ModalScript(QList<Step> steps, int timeoutMs = 20000);
    ~ModalScript() override;

    int answeredCount() const { return answered; }
    bool finished() const { return answered == stepList.size(); }

private:
    void poll();

    QList<Step> stepList;
    int answered = 0;
    QPointer<QWidget> lastAnswered;
    QTimer timer;
    int remainingMs;
};
