#pragma once

#include "fielddef.h"

#include <QString>
#include <memory>
#include <vector>

namespace kelvora {

// The static type of a filter value. Integers and floats are one numeric
// kind: every 32-bit result is exact in double precision.
enum class ValueType { Null, Boolean, Number, String, Memo, DateTime };

enum class NodeKind { Field, Constant, Operator, Function };

enum class FilterOp {
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Like,
    In,
    IsNull,
    IsNotNull,
    And,
    Or,
    Not,
    Add,
    Subtract,
    Multiply,
    Divide,
};

enum class FilterFunction {
    Upper,
    Lower,
    Substring,
    Trim,
    TrimLeft,
    TrimRight,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    GetDate,
    Date,
    Time,
};

enum class Scope { Constant, Varying, Aggregate };

// One node of a compiled, typed filter expression.
struct FilterNode
{
    NodeKind kind = NodeKind::Constant;
    FilterOp op = FilterOp::Equal;
    FilterFunction function = FilterFunction::Upper;
    std::unique_ptr<FilterNode> left;
    std::unique_ptr<FilterNode> right;
    std::vector<std::unique_ptr<FilterNode>> arguments; // IN list, call arguments

    // Field reference: its index and definition.
    int field = -1;
    FieldType fieldType = FieldType::Integer;
    int fieldSize = 0;

    // Constant: its value (a Boolean as 0 or 1); `text` is the literal as written.
    bool null = false;
    double number = 0;
    QString string;
    QString text;
    bool numericLiteral = false;

    QString name; // field or function name, for messages
    ValueType type = ValueType::Null;
    Scope scope = Scope::Constant;

    // The string-comparison form of "=" and "<>" against a text constant.
    bool stringCompare = false;
    int prefixLength = 0;
    bool caseInsensitive = false;
};

} // namespace kelvora
