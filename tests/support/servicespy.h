#pragma once

#include <QList>
#include <QMetaMethod>
#include <QVariant>

#include <functional>

/**
 * @brief Records a signal of the decoder service, which emits its results from its own thread.
 *
 * A QSignalSpy on such a signal is called on the service thread while the test reads it, and in the
 * end destroys it, on the GUI thread. A result that a dialog takes over a blocking-queued connection
 * lets the GUI thread go on as soon as the dialog's slot returns, while the service thread has yet to
 * call the receivers connected after the dialog, the spy among them: the test then counts too few, or
 * its function returns and the service thread writes into a spy that is gone.
 *
 * This spy records on the service thread and is read and deleted there. Every read first lets the
 * service thread finish what it was doing and what was asked of it before (runOnServiceThread), so an
 * emit is always seen whole; the recorder is deleted after the emit that may be calling it. Emits from
 * other threads are queued to the service thread and recorded in their turn.
 *
 *     ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
 *     ... // the dialog shows the decoder connected
 *     QCOMPARE(results.count(), 1);
 */
class ServiceSpy
{
public:
    template <typename Func>
    explicit ServiceSpy(Func signal)
        : ServiceSpy(QMetaMethod::fromSignal(signal))
    {
    }
    /** A signal by signature, as SIGNAL() writes it. */
    explicit ServiceSpy(const char* signal);
    explicit ServiceSpy(const QMetaMethod& signal);
    ~ServiceSpy();

    ServiceSpy(const ServiceSpy&) = delete;
    ServiceSpy& operator=(const ServiceSpy&) = delete;

    /** False when the signal is not one of the service's or has an argument without a meta type. */
    bool isValid() const { return recorder != nullptr; }

    /** Every emit so far, one list of arguments each; empty, with a warning, when the service thread
     * did not answer in time. */
    QList<QList<QVariant>> all() const;
    /** The number of emits so far; -1 for a spy that is not valid or a service thread that did not answer
     * in time. */
    int count() const;
    int size() const { return count(); }
    bool isEmpty() const { return count() == 0; }
    /** Arguments of emit i; empty when there is none. */
    QList<QVariant> at(int i) const { return all().value(i); }
    QList<QVariant> first() const { return at(0); }
    QList<QVariant> last() const;
    /** Removes the oldest emit and returns its arguments; empty when there is none. */
    QList<QVariant> takeFirst();
    /** Forgets every emit so far. */
    void clear();
    /** Waits until one more emit is recorded than when called; false on timeout. */
    bool wait(int timeoutMs = 5000);

private:
    class Recorder;
    /** Runs fn with the records on the service thread, once it has done what it was asked before. */
    bool onRecords(std::function<void(QList<QList<QVariant>>&)> fn) const;

    Recorder* recorder = nullptr;
};
