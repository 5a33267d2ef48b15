#include "walldifference.h"

#include <QHash>
#include <QMap>
#include <QPair>
#include <QSet>

#include <algorithm>

namespace pral_matrixConfig {

using pral_matrix::MatrixInfo;
using pral_matrix::TvWallManagement;

namespace {

using Place = QPair<int, int>; // row, column

/** One output, whatever its decoder's kind is said to be: an address alone is output 1. */
QString outputKey(const MatrixInfo& screen)
{
    return screen.ip + QLatin1Char('\n') + QString::number(screen.channel);
}

/** The bound screens of a wall by place, the first record of a place winning; unbound screens are left out.
 */
QMap<Place, const MatrixInfo*> boundScreens(const TvWallManagement& wall)
{
    QMap<Place, const MatrixInfo*> screens;
    for (const MatrixInfo& screen : wall.matrixInfoList) {
        if (screen.ip.isEmpty())
            continue;
        const Place place(screen.row, screen.column);
        if (!screens.contains(place))
            screens.insert(place, &screen);
    }
    return screens;
}

QHash<QString, QList<Place>> placesOfOutputs(const QMap<Place, const MatrixInfo*>& screens)
{
    QHash<QString, QList<Place>> places;
    for (auto it = screens.constBegin(); it != screens.constEnd(); ++it)
        places[outputKey(**it)].append(it.key());
    return places;
}

} // namespace

QString WallDifference::outputIdOf(const MatrixInfo& screen)
{
    if (screen.matrixType == pral_matrix::MATRIX_TYPE_SINGLE_OUTPUT)
        return screen.ip;
    return screen.ip + QLatin1Char('-') + QString::number(screen.channel);
}

bool WallDifference::isNoWall(const TvWallManagement& wall)
{
    return wall.tvWallName.isEmpty() && wall.row == 0 && wall.col == 0 && wall.matrixInfoList.isEmpty();
}

bool WallDifference::sameWall(const TvWallManagement& a, const TvWallManagement& b)
{
    if (a.tvWallName != b.tvWallName || a.row != b.row || a.col != b.col)
        return false;
    const QMap<Place, const MatrixInfo*> x = boundScreens(a);
    const QMap<Place, const MatrixInfo*> y = boundScreens(b);
    if (x.size() != y.size())
        return false;
    for (auto i = x.constBegin(), j = y.constBegin(); i != x.constEnd(); ++i, ++j) {
        if (i.key() != j.key() || outputKey(**i) != outputKey(**j))
            return false;
    }
    return true;
}

int WallDifference::changedScreens() const
{
    QSet<Place> places;
    for (const Screen& s : screens) {
        if (s.kind != Unchanged)
            places.insert(Place(s.row, s.column));
    }
    return places.size();
}

int WallDifference::unchangedScreens() const
{
    return int(
        std::count_if(screens.begin(), screens.end(), [](const Screen& s) { return s.kind == Unchanged; }));
}

WallDifference WallDifference::between(const TvWallManagement& before, const TvWallManagement& after)
{
    WallDifference d;
    d.nameBefore = before.tvWallName;
    d.nameAfter = after.tvWallName;
    d.rowsBefore = before.row;
    d.colsBefore = before.col;
    d.rowsAfter = after.row;
    d.colsAfter = after.col;

    const QMap<Place, const MatrixInfo*> was = boundScreens(before);
    const QMap<Place, const MatrixInfo*> now = boundScreens(after);
    const QHash<QString, QList<Place>> wasAt = placesOfOutputs(was);
    const QHash<QString, QList<Place>> nowAt = placesOfOutputs(now);

    for (auto it = now.constBegin(); it != now.constEnd(); ++it) {
        Screen s;
        s.row = it.key().first;
        s.column = it.key().second;
        s.output = outputIdOf(**it);
        const QString key = outputKey(**it);
        const QList<Place> formerPlaces = wasAt.value(key);
        if (formerPlaces.contains(it.key())) {
            s.kind = Unchanged;
        } else {
            // Moved from a screen the output has left; a second screen showing it is bound anew.
            const QList<Place> stillThere = nowAt.value(key);
            const auto left = std::find_if(formerPlaces.begin(), formerPlaces.end(),
                                           [&stillThere](const Place& p) { return !stillThere.contains(p); });
            if (left != formerPlaces.end()) {
                s.kind = Moved;
                s.fromRow = left->first;
                s.fromColumn = left->second;
            } else {
                s.kind = Bound;
            }
        }
        d.screens.append(s);
    }
    for (auto it = was.constBegin(); it != was.constEnd(); ++it) {
        if (nowAt.contains(outputKey(**it)))
            continue;
        Screen s;
        s.kind = Unbound;
        s.row = it.key().first;
        s.column = it.key().second;
        s.output = outputIdOf(**it);
        d.screens.append(s);
    }
    std::stable_sort(d.screens.begin(), d.screens.end(), [](const Screen& a, const Screen& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    return d;
}

} // namespace pral_matrixConfig
