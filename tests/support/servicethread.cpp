#include "servicethread.h"

#include "matrixsdkworker.h"

#include <QAtomicInt>
#include <QEventLoop>
#include <QTimer>

#include <climits>
#include <memory>

bool runOnServiceThread(std::function<void()> fn, int timeoutMs)
{
    auto& worker = PSingleton<pral_matrix::MatrixSdkWorker>::_instance();
    // Shared: if the wait times out, fn may still finish later and set it.
    auto finished = std::make_shared<QAtomicInt>(0);
    worker.invokeOnServiceThread([fn, finished] {
        fn();
        finished->storeRelease(1);
    });

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop, finished] {
        if (finished->loadAcquire())
            loop.quit();
    });
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start();
    timeout.start(timeoutMs);
    loop.exec();
    return finished->loadAcquire() != 0;
}

int serviceResult(void (pral_matrix::MatrixSdkWorker::*signal)(int), const std::function<void()>& request,
                  int timeoutMs)
{
    int result = INT_MIN;
    QEventLoop loop;
    // Received on this thread, where the loop waits.
    QObject::connect(&PSingleton<pral_matrix::MatrixSdkWorker>::_instance(), signal, &loop, [&](int r) {
        if (result == INT_MIN)
            result = r;
        loop.quit();
    });
    request();
    if (result == INT_MIN) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return result;
}
