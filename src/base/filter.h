#pragma once

#include "recordfilter.h"

#include <QString>

#include <memory>

namespace kelvora {

class PointTable;

// Compiles a filter text (already trimmed, not empty) over the fields of
// `table`. Throws DatabaseError with the compiler's message.
std::unique_ptr<RecordFilter> compileFilter(const PointTable& table, const QString& text,
                                            FilterOptions options);

} // namespace kelvora
