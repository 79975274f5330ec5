#pragma once

#include "datasource.h"
#include "pointtable.h"

#include <QVariant>
#include <optional>

namespace kelvora::testing {

struct Point
{
    std::optional<int> x;
    std::optional<int> y;
    QString name;
    QString rus;
    std::optional<bool> obr;
};

// Appends and posts one point; null parts stay empty.
inline void addPoint(PointTable& table, const Point& point)
{
    table.append();
    if (point.x)
        table.fieldByName(u"X").setAsInteger(*point.x);
    if (point.y)
        table.fieldByName(u"Y").setAsInteger(*point.y);
    if (!point.name.isEmpty())
        table.fieldByName(u"NAME_EN").setAsString(point.name);
    if (!point.rus.isEmpty())
        table.fieldByName(u"NAME_RUS").setAsString(point.rus);
    if (point.obr)
        table.fieldByName(u"OBR").setAsBoolean(*point.obr);
    table.post();
}

inline QString nameAt(PointTable& table)
{
    return table.fieldByName(u"NAME_EN").asString();
}

} // namespace kelvora::testing
