#include "fieldcomparison.h"

#include "collator.h"

#include <cmath>

namespace kelvora {

namespace {

template <typename T> int sign(T a, T b)
{
    return a < b ? -1 : b < a ? 1 : 0;
}

// Numbers in a total order: NaN after every other value and equal to NaN.
int compareReal(double a, double b)
{
    const bool aNan = std::isnan(a);
    const bool bNan = std::isnan(b);
    if (aNan || bNan)
        return sign(int(aNan), int(bNan));
    return sign(a, b);
}

char16_t foldAscii(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

} // namespace

FieldValue FieldValue::stored(const RecordStore& store, int field, Slot slot)
{
    FieldValue value;
    value.null = store.isNull(field, slot);
    if (value.null)
        return value;
    switch (store.field(field).type) {
    case FieldType::Integer:
        value.integer = store.integer(field, slot);
        break;
    case FieldType::Boolean:
        value.boolean = store.boolean(field, slot);
        break;
    case FieldType::Float:
        value.real = store.real(field, slot);
        break;
    case FieldType::String:
    case FieldType::Memo:
        value.text = store.text(field, slot);
        break;
    }
    return value;
}

int compareOrdinal(QStringView a, QStringView b, bool caseInsensitive)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (caseInsensitive) {
            x = foldAscii(x);
            y = foldAscii(y);
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    return sign(a.size(), b.size());
}

int compareField(const KeyField& key, const FieldValue& a, const FieldValue& b,
                 const Collator* collator)
{
    if (a.null || b.null) {
        if (a.null && key.options.testFlag(CompareOption::SkipNull))
            return 0;
        return sign(int(!a.null), int(!b.null));
    }
    int result = 0;
    switch (key.type) {
    case FieldType::Integer:
        result = sign(a.integer, b.integer);
        break;
    case FieldType::Boolean:
        result = sign(int(a.boolean), int(b.boolean));
        break;
    case FieldType::Float:
        result = compareReal(a.real, b.real);
        break;
    case FieldType::String:
    case FieldType::Memo: {
        QStringView other = b.text;
        if (key.options.testFlag(CompareOption::Partial) && other.size() > a.text.size())
            other = other.left(a.text.size());
        const bool caseInsensitive = key.options.testFlag(CompareOption::CaseInsensitive);
        if (key.options.testFlag(CompareOption::Ordinal))
            result = compareOrdinal(a.text, other, caseInsensitive);
        else
            result = collator->compare(a.text, other);
        break;
    }
    }
    return key.options.testFlag(CompareOption::Descending) ? -result : result;
}

} // namespace kelvora
