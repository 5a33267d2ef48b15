#include "decoderlog.h"

#include <algorithm>

namespace pral_matrix {

namespace {

constexpr qint64 DayMs = 24 * 3600 * 1000;
// Every time zone offset in use is a multiple of a quarter hour, so within
// one quarter hour local time runs in step with UTC.
constexpr qint64 QuarterMs = 15 * 60 * 1000;

quint32 fnv1a(const QByteArray& bytes)
{
    quint32 hash = 2166136261u;
    for (char c : bytes) {
        hash ^= quint8(c);
        hash *= 16777619u;
    }
    return hash;
}

QStringList historyMessages(int type)
{
    switch (type) {
    case DecoderLog::System:
        return {
            QStringLiteral("System started"),      QStringLiteral("Time synchronised with the NTP server"),
            QStringLiteral("Configuration saved"), QStringLiteral("Output card self-test passed"),
            QStringLiteral("Fan speed adjusted"),  QStringLiteral("Network link up")};
    case DecoderLog::Warning:
        return {QStringLiteral("Board temperature high"), QStringLiteral("Stream packet loss above 1%"),
                QStringLiteral("Output signal lost"), QStringLiteral("Disk space low"),
                QStringLiteral("Network link down")};
    case DecoderLog::Operation:
        return {QStringLiteral("User admin logged in"),   QStringLiteral("User admin logged out"),
                QStringLiteral("TV wall layout changed"), QStringLiteral("Scene saved"),
                QStringLiteral("Screen colour changed"),  QStringLiteral("Window opened")};
    default:
        return {QStringLiteral("Decoder restarted unexpectedly"), QStringLiteral("Stream decoding error"),
                QStringLiteral("Watchdog reset")};
    }
}

/** Formats times of one query, converting to local time once per quarter hour. */
class TimeText
{
public:
    QString operator()(qint64 ms)
    {
        const qint64 quarter = ms - ((ms % QuarterMs) + QuarterMs) % QuarterMs;
        if (quarter != cachedQuarter) {
            cachedQuarter = quarter;
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(quarter);
            prefix = local.toString(QStringLiteral("yyyy-MM-dd hh:"));
            quarterMinute = local.time().minute();
            // An offset of odd minutes (old local mean times) does not step by quarters.
            exact = quarterMinute % 15 == 0 && local.time().second() == 0;
        }
        if (!exact)
            return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        const int inQuarter = int((ms - quarter) / 1000);
        const int minute = quarterMinute + inQuarter / 60;
        const int second = inQuarter % 60;
        QString text = prefix;
        text += QLatin1Char(char('0' + minute / 10));
        text += QLatin1Char(char('0' + minute % 10));
        text += QLatin1Char(':');
        text += QLatin1Char(char('0' + second / 10));
        text += QLatin1Char(char('0' + second % 10));
        return text;
    }

private:
    qint64 cachedQuarter = -1;
    QString prefix;
    int quarterMinute = 0;
    bool exact = true;
};

} // namespace

QString DecoderLog::typeName(int type)
{
    switch (type) {
    case System:
        return QStringLiteral("system");
    case Warning:
        return QStringLiteral("warning");
    case Operation:
        return QStringLiteral("operation");
    default:
        return QStringLiteral("abnormal");
    }
}

void DecoderLog::seedHistory(const QString& seed, qint64 untilMs, int days, int perDay)
{
    historySeed = seed;
    historyEndMs = untilMs;
    historyDays = qBound(0, days, MaxHistoryDays);
    historyPerDay = qBound(0, perDay, MaxHistoryPerDay);
}

void DecoderLog::record(qint64 ms, Type type, const QString& text)
{
    // A clock set back (tests do) must not break the time order queries rely on.
    const auto at = std::upper_bound(recorded.begin(), recorded.end(), ms,
                                     [](qint64 value, const Entry& e) { return value < e.ms; });
    recorded.insert(at, Entry{ms, type, text});
    if (recorded.size() > MaxEvents)
        recorded.removeFirst();
}

QList<DecoderLog::Entry> DecoderLog::historyNewestFirst(qint64 beginMs, qint64 endMs, int type,
                                                        int limit) const
{
    QList<Entry> found;
    if (historyDays == 0 || historyPerDay == 0)
        return found;
    const qint64 startMs = historyEndMs - historyDays * DayMs;
    const qint64 from = qMax(beginMs, startMs);
    const qint64 to = qMin(endMs, historyEndMs - 1);
    if (from > to)
        return found;
    // Slot k spans [k * step, (k + 1) * step); its one line lies somewhere inside.
    const qint64 step = qMax<qint64>(1, DayMs / historyPerDay);
    const auto slot = [step](qint64 ms) {
        return ms >= 0 ? ms / step : -((-ms + step - 1) / step);
    };
    const QStringList messages = historyMessages(type);
    const QByteArray prefix = historySeed.toUtf8() + '/' + QByteArray::number(type) + '/';
    for (qint64 k = slot(to); k >= slot(from) && found.size() < limit; --k) {
        const quint32 hash = fnv1a(prefix + QByteArray::number(k));
        const qint64 ms = k * step + qint64(hash % quint32(step));
        if (ms < from || ms > to)
            continue;
        found.append(Entry{ms, type, messages.at(int((hash >> 16) % quint32(messages.size())))});
    }
    return found;
}

QStringList DecoderLog::query(qint64 beginMs, qint64 endMs, int type) const
{
    QStringList lines;
    if (endMs < beginMs || type < 0 || type >= TypeCount)
        return lines;
    const QList<Entry> history = historyNewestFirst(beginMs, endMs, type, MaxQueryLines);
    // Events of the span, newest first, then merged with the history by time.
    QList<const Entry*> events;
    auto it = std::upper_bound(recorded.cbegin(), recorded.cend(), endMs,
                               [](qint64 value, const Entry& e) { return value < e.ms; });
    while (it != recorded.cbegin() && events.size() < MaxQueryLines) {
        --it;
        if (it->ms < beginMs)
            break;
        if (it->type == type)
            events.append(&*it);
    }
    QList<const Entry*> newestFirst;
    int h = 0;
    int e = 0;
    while (newestFirst.size() < MaxQueryLines && (h < history.size() || e < events.size())) {
        if (e >= events.size() || (h < history.size() && history.at(h).ms > events.at(e)->ms))
            newestFirst.append(&history.at(h++));
        else
            newestFirst.append(events.at(e++));
    }
    const QString kind = QStringLiteral(" [") + typeName(type) + QStringLiteral("] ");
    TimeText timeText;
    lines.reserve(newestFirst.size());
    for (int i = newestFirst.size() - 1; i >= 0; --i)
        lines.append(timeText(newestFirst.at(i)->ms) + kind + newestFirst.at(i)->text);
    return lines;
}

} // namespace pral_matrix
