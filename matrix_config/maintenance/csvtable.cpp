#include "csvtable.h"

namespace pral_matrixConfig {

QString CsvTable::field(const QString& text)
{
    QString value = text;
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!value.isEmpty() && formulaStarts.contains(value.at(0)))
        value.prepend(QLatin1Char('\''));
    const bool quoted = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
                        value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'));
    if (!quoted)
        return value;
    value.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QByteArray CsvTable::encode(const QList<QStringList>& rows)
{
    QByteArray out("\xEF\xBB\xBF");
    for (const QStringList& row : rows) {
        QStringList fields;
        fields.reserve(row.size());
        for (const QString& text : row)
            fields.append(field(text));
        out += fields.join(QLatin1Char(',')).toUtf8();
        out += "\r\n";
    }
    return out;
}

} // namespace pral_matrixConfig
