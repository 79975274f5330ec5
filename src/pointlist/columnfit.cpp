#include "columnfit.h"

#include <algorithm>
#include <cstdint>

namespace kelvora {

std::vector<int> fitColumnWidths(std::span<const ColumnLimit> columns, int space)
{
    const std::size_t count = columns.size();
    std::vector<int> widths(count, 0);
    std::vector<bool> fixed(count, false);
    // A grid narrower than its lines has no room for any column.
    space = std::max(0, space);
    for (std::size_t pass = 0; pass < count; ++pass) {
        std::int64_t nominalSum = 0;
        for (std::size_t i = 0; i < count; ++i)
            if (!fixed[i])
                nominalSum += columns[i].nominal;
        if (nominalSum <= 0)
            break;
        int heldWidth = 0;
        bool held = false;
        for (std::size_t i = 0; i < count; ++i) {
            if (fixed[i])
                continue;
            widths[i] = int(std::int64_t(columns[i].nominal) * space / nominalSum);
            if (columns[i].maximum > 0 && widths[i] > columns[i].maximum) {
                widths[i] = columns[i].maximum;
                fixed[i] = true;
                held = true;
                heldWidth += widths[i];
            }
        }
        if (!held)
            break;
        space -= heldWidth;
    }
    int used = 0;
    int last = -1;
    for (std::size_t i = 0; i < count; ++i)
        if (!fixed[i]) {
            used += widths[i];
            last = int(i);
        }
    if (last >= 0)
        widths[std::size_t(last)] = std::max(0, widths[std::size_t(last)] + space - used);
    return widths;
}

} // namespace kelvora
