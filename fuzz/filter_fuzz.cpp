// Compiles random filter texts over a small table and evaluates them on
// every record: nothing may crash or hang, and every failure must be a
// DatabaseError.
#include "failure.h"
#include "filter.h"
#include "pointtable.h"

#include <QLocale>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

kelvora::PointTable& table()
{
    static kelvora::PointTable* points = [] {
        auto* t = new kelvora::PointTable(QStringLiteral("PointTable"));
        t->open();
        struct Row
        {
            int x;
            int y;
            const char16_t* name;
            const char16_t* desc;
            int obr; // 0 false, 1 true, 2 null
        };
        const Row rows[] = {
            {106, 208, u"Moscow", u"Big river", 1},
            {2147483647, -2147483647, u"Пункт", nullptr, 0},
            {0, 0, u"", u"a*b[c]?", 2},
            {-5, 65536, nullptr, u"The River", 1},
        };
        for (const Row& row : rows) {
            t->append();
            t->fieldByName(u"X").setAsInteger(row.x);
            t->fieldByName(u"Y").setAsInteger(row.y);
            if (row.name)
                t->fieldByName(u"NAME_EN").setAsString(QString::fromUtf16(row.name));
            if (row.desc)
                t->fieldByName(u"DESC").setAsString(QString::fromUtf16(row.desc));
            if (row.obr < 2)
                t->fieldByName(u"OBR").setAsBoolean(row.obr == 1);
            t->post();
        }
        // One record with every field null.
        t->append();
        t->fieldByName(u"X").clear();
        t->post();
        return t;
    }();
    return *points;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the locale and the options.
    const std::uint8_t control = data[0];
    QLocale::setDefault((control & 1) ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());
    kelvora::FilterOptions options;
    if (control & 2)
        options |= kelvora::FilterOption::CaseInsensitive;
    if (control & 4)
        options |= kelvora::FilterOption::NoPartialCompare;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)).trimmed();
    if (text.isEmpty())
        return 0;

    kelvora::PointTable& points = table();
    try {
        const auto filter = kelvora::compileFilter(points, text, options);
        const auto order = points.rowOrder();
        std::vector<kelvora::Slot> records(order.begin(), order.end());
        std::vector<std::uint8_t> pass(records.size());
        filter->test(points.store(), records.data(), records.size(), pass.data());
        // Backwards too, which takes the gathering paths.
        std::vector<kelvora::Slot> reversed(records.rbegin(), records.rend());
        filter->test(points.store(), reversed.data(), reversed.size(), pass.data());
    } catch (const kelvora::DatabaseError&) {
    }
    return 0;
}
