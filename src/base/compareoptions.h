#pragma once

#include <QFlags>

namespace kelvora {

// Options of one key field in a comparison.
enum class CompareOption {
    Descending = 1,
    CaseInsensitive = 2,
    Partial = 4,  // the other value is cut to the length of the key
    SkipNull = 8, // a null key counts as equal
    Ordinal = 16, // text by code unit instead of by the locale
};
Q_DECLARE_FLAGS(CompareOptions, CompareOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(CompareOptions)

using SortOption = CompareOption;
using SortOptions = CompareOptions;

// Options of a locate, added to every key field.
enum class LocateOption { CaseInsensitive = 1, PartialKey = 2 };
Q_DECLARE_FLAGS(LocateOptions, LocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(LocateOptions)

} // namespace kelvora
