#include "benchutil.h"

#include <QEvent>

#include <QSet>
#include <QTextStream>
#include <QVector>
#include <QWidget>
#include <ctime>

namespace bench {

Size& size()
{
    static Size s;
    return s;
}

namespace {
const QCommandLineOption WallsOption(QStringLiteral("walls"), QStringLiteral("TV walls on the page (20)."),
                                     QStringLiteral("n"), QStringLiteral("20"));
const QCommandLineOption OutputsOption(QStringLiteral("outputs"),
                                       QStringLiteral("Bound outputs per wall, at most 100 (100)."),
                                       QStringLiteral("n"), QStringLiteral("100"));
const QCommandLineOption DecodersOption(QStringLiteral("decoders"), QStringLiteral("Stored decoders (500)."),
                                        QStringLiteral("n"), QStringLiteral("500"));
const QCommandLineOption ScaleOption(QStringLiteral("scale"),
                                     QStringLiteral("Multiples of the size for the scale tables, "
                                                    "comma-separated (1,2,4,8); 1 prints no table."),
                                     QStringLiteral("list"), QStringLiteral("1,2,4,8"));
} // namespace

QString loopbackOf(int i)
{
    quint32 a = (127u << 24) + 2;
    for (int k = 0; k < i; ++k) {
        ++a;
        while ((a & 0xFF) == 0 || (a & 0xFF) == 255)
            ++a;
    }
    return QStringLiteral("%1.%2.%3.%4").arg(a >> 24).arg((a >> 16) & 255).arg((a >> 8) & 255).arg(a & 255);
}

QList<pral_matrix::MatrixInfo> storeLoopbackDecoders(int count, const QString& idPrefix,
                                                     const QString& password)
{
    QList<pral_matrix::MatrixInfo> stored;
    for (int i = 0; i < count; ++i) {
        pral_matrix::MatrixInfo info;
        info.ip = loopbackOf(i);
        info.deviceId = QStringLiteral("%1-%2").arg(idPrefix).arg(i);
        info.matrixType = pral_matrix::MATRIX_TYPE_SINGLE_OUTPUT;
        info.userName = QStringLiteral("admin");
        info.password = password;
        info.activated = true;
        stored << info;
    }
    pral_matrix::MatrixSdkWorker::addDecoderToJson(stored);
    pral_matrix::MatrixSdkWorker::flushStore();
    return stored;
}

void addSizeOptions(QCommandLineParser& parser)
{
    parser.addOptions({WallsOption, OutputsOption, DecodersOption, ScaleOption});
}

void readSizeOptions(const QCommandLineParser& parser)
{
    Size& s = size();
    s.walls = std::max(1, parser.value(WallsOption).toInt());
    // A wall is at most 10 x 10 screens.
    s.outputs = std::clamp(parser.value(OutputsOption).toInt(), 1, 100);
    s.decoders = std::max(1, parser.value(DecodersOption).toInt());
    s.scale.clear();
    for (const QString& factor : parser.value(ScaleOption).split(QLatin1Char(','))) {
        if (factor.toInt() > 0 && !s.scale.contains(factor.toInt()))
            s.scale.append(factor.toInt());
    }
    if (s.scale.isEmpty())
        s.scale.append(1);
}

namespace {
struct ClockState
{
    QElapsedTimer clock;
    bool counting = false;
    bool armed = false;
    QSet<QObject*> triggers;
    QSet<QObject*> helpers;
    int depth = 0;
    qint64 busyNs = 0;
    qint64 busyAtLastEventNs = 0;
    qint64 cpuNs = 0;
    qint64 cpuAtLastEventNs = 0;
    qint64 lastEventEndNs = 0;
    int windows = 0;
};

// Time the GUI thread ran, whatever else the machine did meanwhile.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

ClockState& clockState()
{
    static ClockState s;
    return s;
}

// A notice fades out by itself on timers of its own; that is not work the result left behind.
bool isNoticeWork(QObject* receiver)
{
    const char* className = receiver->metaObject()->className();
    if (qstrcmp(className, "QUnifiedTimer") == 0 || qstrcmp(className, "QDefaultAnimationDriver") == 0)
        return true;
    for (QObject* o = receiver; o; o = o->parent()) {
        if (o->objectName() == QLatin1String("alertToast"))
            return true;
    }
    return false;
}

void begin(ClockState& s)
{
    s.counting = true;
    s.busyNs = 0;
    s.busyAtLastEventNs = 0;
    s.cpuNs = 0;
    s.cpuAtLastEventNs = 0;
    s.windows = 0;
    s.clock.start();
    s.lastEventEndNs = 0;
}
} // namespace

void BusyClock::startNow()
{
    ClockState& s = clockState();
    s.armed = false;
    begin(s);
}

void BusyClock::startAtCallTo(std::initializer_list<QObject*> objects)
{
    ClockState& s = clockState();
    s.counting = false;
    s.triggers = QSet<QObject*>(objects.begin(), objects.end());
    s.armed = true;
}

void BusyClock::stop()
{
    ClockState& s = clockState();
    s.counting = false;
    s.armed = false;
}

bool BusyClock::started()
{
    return clockState().counting;
}

double BusyClock::busyMs()
{
    return double(clockState().busyAtLastEventNs) / 1e6;
}

double BusyClock::cpuMs()
{
    return double(clockState().cpuAtLastEventNs) / 1e6;
}

double BusyClock::msSinceLastEvent()
{
    const ClockState& s = clockState();
    return double(s.clock.nsecsElapsed() - s.lastEventEndNs) / 1e6;
}

int BusyClock::windowsShown()
{
    return clockState().windows;
}

void BusyClock::ignore(QObject* helper)
{
    clockState().helpers.insert(helper);
}

void BusyClock::forget(QObject* helper)
{
    clockState().helpers.remove(helper);
}

bool BusyClock::deliver(QObject* receiver, QEvent* event, const std::function<bool()>& notify)
{
    ClockState& s = clockState();
    if (s.counting && event->type() == QEvent::Show && receiver->isWidgetType() &&
        static_cast<QWidget*>(receiver)->isWindow())
        ++s.windows;
    if (s.depth > 0 || s.helpers.contains(receiver)) {
        ++s.depth;
        const bool result = notify();
        --s.depth;
        return result;
    }
    if (s.armed && event->type() == QEvent::MetaCall && s.triggers.contains(receiver)) {
        s.armed = false;
        begin(s);
    }
    if (!s.counting)
        return notify();
    const bool notice = isNoticeWork(receiver);
    const qint64 start = s.clock.nsecsElapsed();
    const qint64 cpuStart = threadCpuNs();
    ++s.depth;
    const bool result = notify();
    --s.depth;
    s.cpuNs += threadCpuNs() - cpuStart;
    const qint64 end = s.clock.nsecsElapsed();
    s.busyNs += end - start;
    if (!notice) {
        s.busyAtLastEventNs = s.busyNs;
        s.cpuAtLastEventNs = s.cpuNs;
        s.lastEventEndNs = end;
    }
    return result;
}

void ScaleTable::print() const
{
    QVector<int> widths;
    for (const QStringList& row : rows) {
        for (int i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], int(row.at(i).size()));
        }
    }
    QTextStream out(stdout);
    out << '\n' << title << '\n';
    for (const QStringList& row : rows) {
        out << ' ';
        for (int i = 0; i < row.size(); ++i)
            out << ' ' << row.at(i).rightJustified(widths.at(i));
        out << '\n';
    }
    out << '\n';
    out.flush();
}

} // namespace bench
