#include "decoderlog.h"

namespace pral_matrix {

namespace {

quint32 fnv1a(const QByteArray& bytes)
{
    quint32 hash = 2166136261u;
    for (char c : bytes) {
        hash ^= quint8(c);
        hash *= 16777619u;
    }
    return hash;
}

QStringList logMessages(int logType)
{
    switch (logType) {
    case 0:
        return {
            QStringLiteral("System started"),      QStringLiteral("Time synchronised with the NTP server"),
            QStringLiteral("Configuration saved"), QStringLiteral("Output card self-test passed"),
            QStringLiteral("Fan speed adjusted"),  QStringLiteral("Network link up")};
    case 1:
        return {QStringLiteral("Board temperature high"), QStringLiteral("Stream packet loss above 1%"),
                QStringLiteral("Output signal lost"), QStringLiteral("Disk space low"),
                QStringLiteral("Network link down")};
    case 2:
        return {QStringLiteral("User admin logged in"),   QStringLiteral("User admin logged out"),
                QStringLiteral("TV wall layout changed"), QStringLiteral("Scene saved"),
                QStringLiteral("Screen colour changed"),  QStringLiteral("Window opened")};
    default:
        return {QStringLiteral("Decoder restarted unexpectedly"), QStringLiteral("Stream decoding error"),
                QStringLiteral("Watchdog reset")};
    }
}

} // namespace

QString DecoderLog::typeName(int logType)
{
    switch (logType) {
    case 0:
        return QStringLiteral("system");
    case 1:
        return QStringLiteral("warning");
    case 2:
        return QStringLiteral("operation");
    default:
        return QStringLiteral("abnormal");
    }
}

QStringList DecoderLog::history(const QString& deviceId, const QString& ip, const QDateTime& begin,
                                const QDateTime& end, int logType)
{
    QStringList lines;
    if (!begin.isValid() || !end.isValid() || end < begin || logType < 0 || logType > 3)
        return lines;
    const qint64 stepSecs = qint64(StepMinutes) * 60;
    const qint64 first = (begin.toSecsSinceEpoch() + stepSecs - 1) / stepSecs;
    const qint64 last = end.toSecsSinceEpoch() / stepSecs;
    const QStringList messages = logMessages(logType);
    const QString kind = typeName(logType);
    for (qint64 k = qMax(first, last - MaxLines + 1); k <= last; ++k) {
        const QByteArray key =
            deviceId.toUtf8() + '/' + QByteArray::number(logType) + '/' + QByteArray::number(k);
        const quint32 hash = fnv1a(key);
        // Not every slot holds an event, so the log looks like a log.
        if (hash % 3 == 0)
            continue;
        const QDateTime at = QDateTime::fromSecsSinceEpoch(k * stepSecs, begin.timeSpec());
        lines.append(QStringLiteral("%1 [%2] %3 %4")
                         .arg(at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), kind, ip,
                              messages.at(int(hash % quint32(messages.size())))));
    }
    return lines;
}

} // namespace pral_matrix
