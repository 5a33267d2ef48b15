#include "servicespy.h"

#include "matrixsdkworker.h"
#include "servicethread.h"

#include <QTest>

#include <memory>

namespace {

pral_matrix::MatrixSdkWorker& worker()
{
    return PSingleton<pral_matrix::MatrixSdkWorker>::_instance();
}

} // namespace

/** Lives on the service thread; only that thread touches what it recorded. */
class ServiceSpy::Recorder : public QObject
{
public:
    explicit Recorder(const QMetaMethod& signal)
    {
        for (int i = 0; i < signal.parameterCount(); ++i)
            types.append(signal.parameterType(i));
    }

    // Slot 0 past QObject's own methods takes the signal, as QSignalSpy does.
    int qt_metacall(QMetaObject::Call call, int id, void** args) override
    {
        id = QObject::qt_metacall(call, id, args);
        if (id < 0 || call != QMetaObject::InvokeMetaMethod)
            return id;
        if (id == 0) {
            QList<QVariant> values;
            for (int i = 0; i < types.size(); ++i)
                values.append(types.at(i) == QMetaType::QVariant ? *static_cast<QVariant*>(args[i + 1])
                                                                 : QVariant(types.at(i), args[i + 1]));
            recorded.append(values);
        }
        return id - 1;
    }

    QList<int> types;
    QList<QList<QVariant>> recorded;
};

ServiceSpy::ServiceSpy(const char* signal)
    : ServiceSpy([signal] {
        // SIGNAL() puts a code in front of the signature.
        if (!signal || signal[0] != '0' + QSIGNAL_CODE)
            return QMetaMethod();
        const QMetaObject& meta = pral_matrix::MatrixSdkWorker::staticMetaObject;
        const int index = meta.indexOfSignal(QMetaObject::normalizedSignature(signal + 1).constData());
        return index < 0 ? QMetaMethod() : meta.method(index);
    }())
{
}

ServiceSpy::ServiceSpy(const QMetaMethod& signal)
{
    const QMetaObject& meta = pral_matrix::MatrixSdkWorker::staticMetaObject;
    if (signal.methodType() != QMetaMethod::Signal || signal.enclosingMetaObject() != &meta) {
        qWarning("ServiceSpy: %s is not a signal of the decoder service",
                 signal.methodSignature().constData());
        return;
    }
    for (int i = 0; i < signal.parameterCount(); ++i) {
        if (signal.parameterType(i) == QMetaType::UnknownType) {
            qWarning("ServiceSpy: argument %d of %s has no meta type", i,
                     signal.methodSignature().constData());
            return;
        }
    }
    auto made = std::make_unique<Recorder>(signal);
    made->moveToThread(worker().serviceThread());
    // Automatic: called at once by an emit on the service thread, queued there from any other.
    if (!QMetaObject::connect(&worker(), signal.methodIndex(), made.get(),
                              QObject::staticMetaObject.methodCount(), Qt::AutoConnection)) {
        qWarning("ServiceSpy: cannot connect to %s", signal.methodSignature().constData());
        return;
    }
    recorder = made.release();
}

ServiceSpy::~ServiceSpy()
{
    if (!recorder)
        return;
    // Deleted on the service thread, after whatever runs there now: an emit that is about to call the
    // recorder finishes first.
    recorder->deleteLater();
}

bool ServiceSpy::onRecords(std::function<void(QList<QList<QVariant>>&)> fn) const
{
    if (!recorder)
        return false;
    Recorder* const at = recorder;
    // fn keeps what it writes to alive itself: should the wait time out, it may still run later.
    if (runOnServiceThread([at, fn] { fn(at->recorded); }))
        return true;
    qWarning("ServiceSpy: the service thread did not answer");
    return false;
}

QList<QList<QVariant>> ServiceSpy::all() const
{
    auto copy = std::make_shared<QList<QList<QVariant>>>();
    return onRecords([copy](QList<QList<QVariant>>& records) { *copy = records; }) ? *copy
                                                                                   : QList<QList<QVariant>>();
}

int ServiceSpy::count() const
{
    auto n = std::make_shared<int>(-1);
    return onRecords([n](QList<QList<QVariant>>& records) { *n = records.size(); }) ? *n : -1;
}

QList<QVariant> ServiceSpy::last() const
{
    const QList<QList<QVariant>> records = all();
    return records.isEmpty() ? QList<QVariant>() : records.last();
}

QList<QVariant> ServiceSpy::takeFirst()
{
    auto taken = std::make_shared<QList<QVariant>>();
    onRecords([taken](QList<QList<QVariant>>& records) {
        if (!records.isEmpty())
            *taken = records.takeFirst();
    });
    return *taken;
}

void ServiceSpy::clear()
{
    onRecords([](QList<QList<QVariant>>& records) { records.clear(); });
}

bool ServiceSpy::wait(int timeoutMs)
{
    const int before = count();
    return before >= 0 && QTest::qWaitFor([this, before] { return count() > before; }, timeoutMs);
}
