#pragma once

#include <QObject>

class QSocketNotifier;

/**
 * @brief Turns SIGTERM and SIGINT into an orderly quit: the event loop ends as
 * if the operator had quit, so the page's quit handling runs (every decoder is
 * disconnected) and the store is written before the process ends.
 *
 * The handler only writes a byte to a socket; the rest happens in the event
 * loop, where Qt may be called.
 */
class UnixSignalQuit : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignalQuit(QObject* parent = nullptr);
    ~UnixSignalQuit() override;

    /** false when the handlers could not be installed (the signals then end the process as usual). */
    bool isActive() const { return notifier != nullptr; }

private:
    static void handle(int signalNumber);
    void onSignal();

    QSocketNotifier* notifier = nullptr;
};
