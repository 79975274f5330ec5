#include "fielddef.h"

namespace kelvora {

int FieldDef::effectiveDisplayWidth() const
{
    if (displayWidth != 0)
        return displayWidth;
    switch (type) {
    case FieldType::String:
        return size;
    case FieldType::Boolean:
        return 5;
    case FieldType::Integer:
    case FieldType::Float:
    case FieldType::Memo:
        break;
    }
    return 10;
}

FieldDef FieldDef::integer(const QString& name)
{
    FieldDef def;
    def.name = name;
    def.type = FieldType::Integer;
    def.typeName = QStringLiteral("Integer");
    return def;
}

FieldDef FieldDef::string(const QString& name, int size)
{
    FieldDef def;
    def.name = name;
    def.type = FieldType::String;
    def.typeName = QStringLiteral("String");
    def.size = size;
    return def;
}

FieldDef FieldDef::memo(const QString& name)
{
    FieldDef def;
    def.name = name;
    def.type = FieldType::Memo;
    def.typeName = QStringLiteral("Memo");
    return def;
}

FieldDef FieldDef::boolean(const QString& name)
{
    FieldDef def;
    def.name = name;
    def.type = FieldType::Boolean;
    def.typeName = QStringLiteral("Boolean");
    return def;
}

std::vector<FieldDef> pointFields()
{
    return {
        FieldDef::integer(QStringLiteral("X")),
        FieldDef::integer(QStringLiteral("Y")),
        FieldDef::string(QStringLiteral("NAME_EN"), 255),
        FieldDef::string(QStringLiteral("NAME_RUS"), 255),
        FieldDef::memo(QStringLiteral("DESC")),
        FieldDef::boolean(QStringLiteral("OBR")),
    };
}

int indexOfField(const std::vector<FieldDef>& fields, QStringView name)
{
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (QStringView(fields[i].name).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

} // namespace kelvora
