#include "keyfield.h"

#include "failure.h"

#include <QList>

namespace kelvora {

std::vector<KeyField> parseKeyFields(const std::vector<FieldDef>& fields, const QString& tableName,
                                     QStringView list, CompareOptions added)
{
    std::vector<KeyField> keys;
    for (QStringView item : list.split(u';')) {
        QStringView name = item;
        QStringView letters;
        const qsizetype colon = item.indexOf(u':');
        if (colon >= 0) {
            name = item.left(colon);
            letters = item.mid(colon + 1);
        }
        name = name.trimmed();
        if (name.isEmpty())
            continue;
        const int index = indexOfField(fields, name);
        if (index < 0)
            throw DatabaseError(tableName + QStringLiteral(": ") +
                                QStringLiteral("Field '%1' not found").arg(name));
        const FieldDef& def = fields[std::size_t(index)];
        if (def.type == FieldType::Memo)
            throw DatabaseError(QStringLiteral("Can't index on field %1").arg(def.displayName()));
        KeyField key;
        key.field = index;
        key.type = def.type;
        key.options = added;
        for (QChar letter : letters) {
            switch (letter.toUpper().unicode()) {
            case u'C':
                key.options |= CompareOption::CaseInsensitive;
                break;
            case u'D':
                key.options |= CompareOption::Descending;
                break;
            case u'P':
                key.options |= CompareOption::Partial;
                break;
            case u'N':
                key.options |= CompareOption::SkipNull;
                break;
            case u'L':
                key.options |= CompareOption::Ordinal;
                break;
            default:
                break;
            }
        }
        keys.push_back(key);
    }
    return keys;
}

} // namespace kelvora
