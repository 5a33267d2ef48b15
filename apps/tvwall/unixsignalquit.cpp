#include "unixsignalquit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One pair per process: signal handlers cannot reach an object.
int signalSocket[2] = {-1, -1};

} // namespace

UnixSignalQuit::UnixSignalQuit(QObject* parent)
    : QObject(parent)
{
    if (signalSocket[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0)
        return;
    notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &UnixSignalQuit::onSignal);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = &UnixSignalQuit::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

UnixSignalQuit::~UnixSignalQuit()
{
    if (!notifier)
        return;
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    ::close(signalSocket[0]);
    ::close(signalSocket[1]);
    signalSocket[0] = signalSocket[1] = -1;
}

void UnixSignalQuit::handle(int signalNumber)
{
    const char byte = char(signalNumber);
    // Async-signal-safe: nothing but the write. A full socket means a quit is on its way already.
    (void)!::write(signalSocket[0], &byte, 1);
}

void UnixSignalQuit::onSignal()
{
    char byte = 0;
    if (::read(signalSocket[1], &byte, 1) != 1)
        return;
    std::fprintf(stderr, "tvwall: %s received, quitting\n", byte == SIGINT ? "SIGINT" : "SIGTERM");
    // Also ends the event loops of open modal dialogs, so the quit is not held up by a question.
    QCoreApplication::quit();
}
