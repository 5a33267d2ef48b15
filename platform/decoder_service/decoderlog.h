#pragma once

#include "decoder_service_global.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

namespace pral_matrix {

/**
 * @brief The log of one simulated decoder: what happened to it, by type and
 * time, after a seeded history of what happened before it joined the fleet.
 *
 * The history is made on demand from the seed, so a long or dense one costs
 * no memory; the events are kept (the newest MaxEvents). A line reads
 * "yyyy-MM-dd hh:mm:ss [type] text" in local time.
 */
class DECODER_SERVICE_EXPORT DecoderLog
{
public:
    /** The service's log-type codes. */
    enum Type
    {
        System = 0,
        Warning = 1,
        Operation = 2,
        Abnormal = 3,
    };
    static constexpr int TypeCount = 4;
    /** A query answers at most this many lines, the newest of its span. */
    static constexpr int MaxQueryLines = 100000;
    static constexpr int MaxEvents = 20000;
    static constexpr int MaxHistoryDays = 3660;
    /** One line a second of each type. */
    static constexpr int MaxHistoryPerDay = 86400;

    struct Entry
    {
        qint64 ms = 0;
        int type = System;
        QString text;
    };

    /** "system", "warning", "operation" or "abnormal". */
    static QString typeName(int type);

    /**
     * The history: perDay lines of each type a day over the days before
     * untilMs, the same for the same seed.
     */
    void seedHistory(const QString& seed, qint64 untilMs, int days, int perDay);
    void record(qint64 ms, Type type, const QString& text);
    /** Events only, oldest first. */
    const QList<Entry>& events() const { return recorded; }

    /** The lines of type whose time lies in [beginMs, endMs], oldest first. */
    QStringList query(qint64 beginMs, qint64 endMs, int type) const;

private:
    QList<Entry> historyNewestFirst(qint64 beginMs, qint64 endMs, int type, int limit) const;

    QString historySeed;
    qint64 historyEndMs = 0;
    int historyDays = 0;
    int historyPerDay = 0;
    QList<Entry> recorded;
};

} // namespace pral_matrix
