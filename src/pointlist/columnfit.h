#pragma once

#include <span>
#include <vector>

namespace kelvora {

// A column's share of the width and its limit (0: none).
struct ColumnLimit
{
    int nominal = 0;
    int maximum = 0;
};

// Fits columns into `space` pixels: each free column gets its nominal share,
// a column above its maximum is held there and the rest shared again; the
// rounding remainder goes to the last free column, never below 0.
std::vector<int> fitColumnWidths(std::span<const ColumnLimit> columns, int space);

} // namespace kelvora
