#pragma once

#include <QString>

#include <vector>

namespace kelvora {

// How a field's values are held in memory. Base files name more types than
// these; each of them is held as the kind its values are written as.
enum class FieldType { Integer, Boolean, Float, String, Memo };

struct FieldDef
{
    QString name;
    FieldType type = FieldType::Integer;
    // The type's name in base files ("Integer", "SmallInt", "Currency", ...).
    QString typeName;
    int size = 0;
    QString displayLabel;
    int displayWidth = 0; // 0: the type's default width
    QString editMask;
    bool required = false;
    bool readOnly = false;
    QString kind = QStringLiteral("Data");
    QString defaultExpression;

    // The caption and the name used in messages: the label, else the name.
    QString displayName() const { return displayLabel.isEmpty() ? name : displayLabel; }
    // The width in characters, with the type's default when none is set.
    int effectiveDisplayWidth() const;
    bool isText() const { return type == FieldType::String || type == FieldType::Memo; }

    static FieldDef integer(const QString& name);
    static FieldDef string(const QString& name, int size);
    static FieldDef memo(const QString& name);
    static FieldDef boolean(const QString& name);
};

// The six fields every point table is created with, in order.
std::vector<FieldDef> pointFields();

// Index of the first field named `name` without regard to letter case, or -1.
int indexOfField(const std::vector<FieldDef>& fields, QStringView name);

} // namespace kelvora
