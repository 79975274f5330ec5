// PointTable::locate: finding a record by key field values.
#include "failure.h"
#include "keycomparison.h"
#include "keyfield.h"
#include "locateindex.h"
#include "pointtable.h"

#include <QMetaType>
#include <QVariantList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvora {

namespace {

bool isList(const QVariant& value)
{
    const int type = value.typeId();
    return type == QMetaType::QVariantList || type == QMetaType::QStringList;
}

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void notValid(const QVariant& value, const char* what)
{
    throw DatabaseError(
        QStringLiteral("'%1' is not a valid %2 value").arg(value.toString(), QLatin1String(what)));
}

// Converts one key value to the type of `def`; text is kept in `text`,
// which the result refers to.
FieldValue convertValue(const FieldDef& def, const QVariant& value, QString& text)
{
    FieldValue result;
    if (value.isNull())
        return result;
    result.null = false;
    switch (def.type) {
    case FieldType::Integer: {
        bool ok = false;
        double real = 0;
        if (value.typeId() == QMetaType::Bool) {
            result.integer = value.toBool() ? 1 : 0;
            return result;
        }
        if (isNumber(value)) {
            real = std::round(value.toDouble(&ok));
        } else {
            const QString written = value.toString().trimmed();
            const qlonglong whole = written.toLongLong(&ok);
            real = double(whole);
        }
        if (!ok || !(real >= std::numeric_limits<std::int32_t>::min()) ||
            !(real <= std::numeric_limits<std::int32_t>::max()))
            notValid(value, "integer");
        result.integer = std::int64_t(real);
        return result;
    }
    case FieldType::Boolean:
        if (value.typeId() == QMetaType::Bool) {
            result.boolean = value.toBool();
        } else if (isNumber(value)) {
            result.boolean = value.toDouble() != 0;
        } else {
            const QString word = value.toString().trimmed();
            if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
                result.boolean = true;
            else if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
                result.boolean = false;
            else
                notValid(value, "boolean");
        }
        return result;
    case FieldType::Float: {
        bool ok = false;
        result.real = isNumber(value) || value.typeId() == QMetaType::Bool
                          ? value.toDouble(&ok)
                          : value.toString().trimmed().toDouble(&ok);
        if (value.typeId() == QMetaType::Bool) {
            result.real = value.toBool() ? 1 : 0;
            ok = true;
        }
        if (!ok)
            notValid(value, "floating point");
        return result;
    }
    case FieldType::String:
    case FieldType::Memo:
        if (value.typeId() == QMetaType::Bool)
            text = value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        else
            text = value.toString();
        if (def.type == FieldType::String && def.size > 0 && text.size() > def.size)
            text.truncate(def.size);
        result.text = text;
        return result;
    }
    return result;
}

bool indexable(const std::vector<KeyField>& keys)
{
    const CompareOptions matching = CompareOption::CaseInsensitive | CompareOption::Partial |
                                    CompareOption::SkipNull | CompareOption::Ordinal;
    return std::none_of(keys.begin(), keys.end(),
                        [&](const KeyField& key) { return key.options & matching; });
}

} // namespace

bool PointTable::locate(const QString& keyFields, const QVariant& values, LocateOptions options)
{
    const int row = findRow(keyFields, values, options, true);
    if (row < 0)
        return false;
    setCurrentRow(row);
    return true;
}

bool PointTable::locateByScan(const QString& keyFields, const QVariant& values,
                              LocateOptions options)
{
    const int row = findRow(keyFields, values, options, false);
    if (row < 0)
        return false;
    setCurrentRow(row);
    return true;
}

int PointTable::findRow(const QString& keyFields, const QVariant& values, LocateOptions options,
                        bool indexed)
{
    const bool list = isList(values);
    const QVariantList items = list ? values.toList() : QVariantList();
    if (std::any_of(items.begin(), items.end(), isList))
        throw DatabaseError(QStringLiteral("Values variant array has invalid dimension count"));
    settle();

    CompareOptions added;
    if (options.testFlag(LocateOption::CaseInsensitive))
        added |= CompareOption::CaseInsensitive;
    if (options.testFlag(LocateOption::PartialKey))
        added |= CompareOption::Partial;
    std::vector<KeyField> keys = parseKeyFields(fields(), name_, keyFields, added);
    if (keys.empty())
        throw DatabaseError(QStringLiteral("There must be at least one field"));
    if ((!list && keys.size() > 1) || (list && std::size_t(items.size()) < keys.size()))
        throw DatabaseError(QStringLiteral("More fields than values"));

    std::vector<QString> texts(keys.size());
    std::vector<FieldValue> key(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        key[i] = convertValue(store_.field(keys[i].field), list ? items[qsizetype(i)] : values,
                              texts[i]);
    const bool useIndex = indexed && indexable(keys);
    const KeyComparison comparison(std::move(keys), localeId_);

    if (!useIndex) {
        for (int row = 0; row < visibleCount(); ++row)
            if (comparison.compareKey(key, store_, slotAtRow(row)) == 0)
                return row;
        return -1;
    }

    const std::span<const Slot> order = currentOrder();
    std::int64_t found = -1;
    locateIndex_->find(
        comparison.keys(), key, store_, rowOrder_.view(), localeId_,
        [&](Slot slot) { return positions_.positionOf(slot, order); },
        [&](Slot slot) {
            if (comparison.compareKey(key, store_, slot) != 0)
                return false;
            const auto position = std::uint32_t(positions_.positionOf(slot, order));
            const auto at = std::lower_bound(visible_.begin(), visible_.end(), position);
            if (at == visible_.end() || *at != position)
                return false;
            found = at - visible_.begin();
            return true;
        });
    return int(found);
}

} // namespace kelvora
