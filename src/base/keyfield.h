#pragma once

#include "compareoptions.h"
#include "fielddef.h"

#include <QString>
#include <QStringView>
#include <vector>

namespace kelvora {

// One field of a key field list with its compare options.
struct KeyField
{
    int field = 0;
    FieldType type = FieldType::Integer;
    CompareOptions options;
};

// Parses a key field list: names separated by ";", blanks around them
// ignored, each optionally followed by ":" and the letters C, D, P, N, L in
// any order and case. `added` goes to every field. Names are looked up
// without regard to case. Throws DatabaseError for an unknown field
// ("<table>: Field 'x' not found") and for a memo field ("Can't index on
// field x"). An empty list gives an empty result.
std::vector<KeyField> parseKeyFields(const std::vector<FieldDef>& fields, const QString& tableName,
                                     QStringView list, CompareOptions added = {});

} // namespace kelvora
