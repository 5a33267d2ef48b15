#include "benchutil.h"

#include <QTextStream>
#include <QVector>

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
