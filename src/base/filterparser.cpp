#include "filterparser.h"

#include "failure.h"

#include <QLocale>
#include <limits>

namespace kelvora {

namespace {

constexpr qsizetype maxConstant = 255;
constexpr int maxNodes = 4096;
constexpr int maxDepth = 200;

[[noreturn]] void tooComplex()
{
    throw DatabaseError(QStringLiteral("Filter expression too complex"));
}

[[noreturn]] void mismatch()
{
    throw DatabaseError(QStringLiteral("Type mismatch in expression"));
}

Scope combine(Scope a, Scope b)
{
    if ((a == Scope::Aggregate && b == Scope::Varying) ||
        (a == Scope::Varying && b == Scope::Aggregate))
        throw DatabaseError(
            QStringLiteral("Operation cannot mix aggregate value with record-varying value"));
    return std::max(a, b);
}

bool isNumeric(ValueType type)
{
    return type == ValueType::Number || type == ValueType::DateTime;
}

bool isBooleanOperand(ValueType type)
{
    return type == ValueType::Boolean || type == ValueType::Null;
}

bool comparable(ValueType a, ValueType b)
{
    if (a == ValueType::Null || b == ValueType::Null)
        return true;
    if (isNumeric(a) && isNumeric(b))
        return true;
    return a == b && (a == ValueType::String || a == ValueType::Boolean);
}

FilterOp mirrored(FilterOp op)
{
    switch (op) {
    case FilterOp::Less:
        return FilterOp::Greater;
    case FilterOp::LessEqual:
        return FilterOp::GreaterEqual;
    case FilterOp::Greater:
        return FilterOp::Less;
    case FilterOp::GreaterEqual:
        return FilterOp::LessEqual;
    default:
        return op;
    }
}

bool isOrdering(FilterOp op)
{
    return op == FilterOp::Equal || op == FilterOp::NotEqual || op == FilterOp::Less ||
           op == FilterOp::LessEqual || op == FilterOp::Greater || op == FilterOp::GreaterEqual;
}

struct FunctionName
{
    const char* name;
    FilterFunction function;
    bool aggregate;
};

constexpr FunctionName functionNames[] = {
    {"UPPER", FilterFunction::Upper, false},
    {"LOWER", FilterFunction::Lower, false},
    {"SUBSTRING", FilterFunction::Substring, false},
    {"TRIM", FilterFunction::Trim, false},
    {"TRIMLEFT", FilterFunction::TrimLeft, false},
    {"TRIMRIGHT", FilterFunction::TrimRight, false},
    {"YEAR", FilterFunction::Year, false},
    {"MONTH", FilterFunction::Month, false},
    {"DAY", FilterFunction::Day, false},
    {"HOUR", FilterFunction::Hour, false},
    {"MINUTE", FilterFunction::Minute, false},
    {"SECOND", FilterFunction::Second, false},
    {"GETDATE", FilterFunction::GetDate, false},
    {"DATE", FilterFunction::Date, false},
    {"TIME", FilterFunction::Time, false},
    {"SUM", FilterFunction::Upper, true},
    {"MIN", FilterFunction::Upper, true},
    {"MAX", FilterFunction::Upper, true},
    {"AVG", FilterFunction::Upper, true},
    {"COUNT", FilterFunction::Upper, true},
};

const FunctionName* findFunction(const QString& name)
{
    for (const FunctionName& entry : functionNames)
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

ValueType functionType(FilterFunction function)
{
    switch (function) {
    case FilterFunction::Upper:
    case FilterFunction::Lower:
    case FilterFunction::Substring:
    case FilterFunction::Trim:
    case FilterFunction::TrimLeft:
    case FilterFunction::TrimRight:
        return ValueType::String;
    case FilterFunction::Year:
    case FilterFunction::Month:
    case FilterFunction::Day:
    case FilterFunction::Hour:
    case FilterFunction::Minute:
    case FilterFunction::Second:
        return ValueType::Number;
    case FilterFunction::GetDate:
    case FilterFunction::Date:
    case FilterFunction::Time:
        break;
    }
    return ValueType::DateTime;
}

bool containsAggregate(const FilterNode& node)
{
    if (node.scope == Scope::Aggregate)
        return true;
    if ((node.left && containsAggregate(*node.left)) ||
        (node.right && containsAggregate(*node.right)))
        return true;
    for (const auto& argument : node.arguments)
        if (containsAggregate(*argument))
            return true;
    return false;
}

} // namespace

FilterParser::FilterParser(const std::vector<FieldDef>& fields, const QString& tableName,
                           FilterOptions options)
    : fields_(fields), tableName_(tableName), options_(options)
{
    const QString point = QLocale().decimalPoint();
    decimal_ = point.size() == 1 ? point[0] : QChar(u'.');
}

std::unique_ptr<FilterNode> FilterParser::parse(const QString& text)
{
    lexer_ = std::make_unique<FilterLexer>(text);
    nodes_ = 0;
    depth_ = 0;
    advance();
    NodePtr root = expression();
    if (token().kind != TokenKind::End)
        throw DatabaseError(QStringLiteral("Filter expression incorrectly terminated"));
    if (containsAggregate(*root))
        throw DatabaseError(QStringLiteral("Aggregate expressions not allowed in filters"));
    rewrite(root, true);
    if (root->type != ValueType::Boolean)
        throw DatabaseError(QStringLiteral("Incorrectly formed filter expression"));
    return root;
}

void FilterParser::expected(const QString& what) const
{
    const QString found = token().kind == TokenKind::End
                              ? QStringLiteral("nothing")
                              : QLatin1Char('\'') + token().text + QLatin1Char('\'');
    throw DatabaseError(QStringLiteral("%1 expected but %2 found").arg(what, found));
}

bool FilterParser::isWord(const char* word) const
{
    return token().kind == TokenKind::Symbol &&
           token().text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

FilterParser::NodePtr FilterParser::newNode()
{
    if (++nodes_ > maxNodes)
        tooComplex();
    return std::make_unique<FilterNode>();
}

FilterParser::NodePtr FilterParser::expression()
{
    // Nesting is bounded so that no text can exhaust the stack.
    if (++depth_ > maxDepth)
        tooComplex();
    struct Leave
    {
        int& depth;
        ~Leave() { --depth; }
    } leave{depth_};
    NodePtr node = term();
    while (isWord("OR")) {
        advance();
        node = makeLogical(FilterOp::Or, std::move(node), term());
    }
    return node;
}

FilterParser::NodePtr FilterParser::term()
{
    NodePtr node = factor();
    while (isWord("AND")) {
        advance();
        node = makeLogical(FilterOp::And, std::move(node), factor());
    }
    return node;
}

FilterParser::NodePtr FilterParser::factor()
{
    if (!isWord("NOT"))
        return comparison();
    advance();
    return makeLogical(FilterOp::Not, comparison(), nullptr);
}

FilterParser::NodePtr FilterParser::comparison()
{
    NodePtr left = sum();
    FilterOp op;
    switch (token().kind) {
    case TokenKind::Equal:
        op = FilterOp::Equal;
        break;
    case TokenKind::NotEqual:
        op = FilterOp::NotEqual;
        break;
    case TokenKind::Less:
        op = FilterOp::Less;
        break;
    case TokenKind::LessEqual:
        op = FilterOp::LessEqual;
        break;
    case TokenKind::Greater:
        op = FilterOp::Greater;
        break;
    case TokenKind::GreaterEqual:
        op = FilterOp::GreaterEqual;
        break;
    case TokenKind::Like:
        op = FilterOp::Like;
        break;
    case TokenKind::IsNull:
    case TokenKind::IsNotNull: {
        auto node = newNode();
        node->kind = NodeKind::Operator;
        node->op = token().kind == TokenKind::IsNull ? FilterOp::IsNull : FilterOp::IsNotNull;
        node->type = ValueType::Boolean;
        node->scope = left->scope;
        node->left = std::move(left);
        advance();
        return node;
    }
    case TokenKind::In: {
        advance();
        if (token().kind != TokenKind::LeftParen)
            expected(QStringLiteral("'('"));
        advance();
        if (token().kind == TokenKind::RightParen)
            throw DatabaseError(QStringLiteral("IN predicate list may not be empty"));
        auto node = newNode();
        node->kind = NodeKind::Operator;
        node->op = FilterOp::In;
        node->type = ValueType::Boolean;
        argumentList(node->arguments);
        if (left->type == ValueType::Memo)
            mismatch();
        node->scope = left->scope;
        for (NodePtr& item : node->arguments) {
            node->scope = combine(node->scope, item->scope);
            if (left->kind == NodeKind::Field && item->kind == NodeKind::Constant)
                retype(*item, *left);
            if (item->type == ValueType::Memo || !comparable(left->type, item->type))
                mismatch();
        }
        node->left = std::move(left);
        return node;
    }
    default:
        return left;
    }
    advance();
    return makeComparison(op, std::move(left), sum());
}

void FilterParser::argumentList(std::vector<NodePtr>& into)
{
    for (;;) {
        into.push_back(expression());
        if (token().kind == TokenKind::Comma) {
            advance();
            continue;
        }
        if (token().kind == TokenKind::RightParen) {
            advance();
            return;
        }
        if (token().kind == TokenKind::End)
            expected(QStringLiteral("')'"));
        expected(QStringLiteral("')' or ','"));
    }
}

FilterParser::NodePtr FilterParser::sum()
{
    NodePtr node = product();
    while (token().kind == TokenKind::Plus || token().kind == TokenKind::Minus) {
        const FilterOp op = token().kind == TokenKind::Plus ? FilterOp::Add : FilterOp::Subtract;
        advance();
        node = makeArithmetic(op, std::move(node), product());
    }
    return node;
}

FilterParser::NodePtr FilterParser::product()
{
    NodePtr node = primary();
    while (token().kind == TokenKind::Star || token().kind == TokenKind::Slash) {
        const FilterOp op = token().kind == TokenKind::Star ? FilterOp::Multiply : FilterOp::Divide;
        advance();
        node = makeArithmetic(op, std::move(node), primary());
    }
    return node;
}

FilterParser::NodePtr FilterParser::primary()
{
    auto node = newNode();
    const FilterToken& current = token();
    switch (current.kind) {
    case TokenKind::Symbol:
        if (findFunction(current.text) && lexer_->parenFollows())
            return call(current.text);
        if (isWord("NULL")) {
            node->null = true;
            node->type = ValueType::Null;
            advance();
            return node;
        }
        if (isWord("TRUE") || isWord("FALSE")) {
            node->number = isWord("TRUE") ? 1 : 0;
            node->type = ValueType::Boolean;
            node->text = isWord("TRUE") ? QStringLiteral("True") : QStringLiteral("False");
            advance();
            return node;
        }
        [[fallthrough]];
    case TokenKind::FieldName: {
        const int index = indexOfField(fields_, current.text);
        if (index < 0)
            throw DatabaseError(tableName_ +
                                QStringLiteral(": Field '%1' not found").arg(current.text));
        const FieldDef& def = fields_[std::size_t(index)];
        node->kind = NodeKind::Field;
        node->field = index;
        node->fieldType = def.type;
        node->fieldSize = def.size;
        node->name = def.name;
        node->scope = Scope::Varying;
        switch (def.type) {
        case FieldType::Integer:
        case FieldType::Float:
            node->type = ValueType::Number;
            break;
        case FieldType::Boolean:
            node->type = ValueType::Boolean;
            break;
        case FieldType::String:
            node->type = ValueType::String;
            break;
        case FieldType::Memo:
            node->type = ValueType::Memo;
            break;
        }
        advance();
        return node;
    }
    case TokenKind::Literal:
        node->type = ValueType::String;
        node->string = current.text;
        node->text = current.text;
        advance();
        return node;
    case TokenKind::Number: {
        QString text = current.text;
        if (decimal_ != u'.')
            text.replace(decimal_, u'.');
        bool ok = false;
        const double value = QLocale::c().toDouble(text, &ok);
        if (!ok)
            throw DatabaseError(
                QStringLiteral("'%1' is not a valid floating point value").arg(current.text));
        node->type = ValueType::Number;
        node->number = value;
        node->text = current.text;
        node->numericLiteral = true;
        advance();
        return node;
    }
    case TokenKind::LeftParen: {
        advance();
        NodePtr inner = expression();
        if (token().kind != TokenKind::RightParen)
            expected(QStringLiteral("')'"));
        advance();
        return inner;
    }
    default:
        expected(QStringLiteral("Expression"));
    }
}

FilterParser::NodePtr FilterParser::call(const QString& name)
{
    const FunctionName* entry = findFunction(name);
    auto node = newNode();
    node->kind = NodeKind::Function;
    node->function = entry->function;
    node->name = QString::fromLatin1(entry->name);
    advance(); // the name
    advance(); // "("
    bool star = false;
    if (entry->aggregate && node->name == QLatin1String("COUNT") &&
        token().kind == TokenKind::Star) {
        star = true;
        advance();
        if (token().kind != TokenKind::RightParen)
            expected(QStringLiteral("')'"));
        advance();
    } else if (token().kind == TokenKind::RightParen) {
        advance();
    } else {
        argumentList(node->arguments);
    }
    if (node->arguments.empty() && !star && entry->function != FilterFunction::GetDate)
        mismatch();
    if (entry->aggregate) {
        node->scope = Scope::Aggregate;
        node->type = ValueType::Number;
        return node;
    }
    node->type = functionType(entry->function);
    node->scope = Scope::Constant;
    for (const NodePtr& argument : node->arguments)
        node->scope = combine(node->scope, argument->scope);
    // The current time varies from one evaluation to the next.
    if (entry->function == FilterFunction::GetDate)
        node->scope = std::max(node->scope, Scope::Varying);
    return node;
}

FilterParser::NodePtr FilterParser::makeLogical(FilterOp op, NodePtr left, NodePtr right)
{
    auto node = newNode();
    node->kind = NodeKind::Operator;
    node->op = op;
    node->type = ValueType::Boolean;
    node->scope = right ? combine(left->scope, right->scope) : left->scope;
    if (!isBooleanOperand(left->type) || (right && !isBooleanOperand(right->type)))
        mismatch();
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
}

FilterParser::NodePtr FilterParser::makeComparison(FilterOp op, NodePtr left, NodePtr right)
{
    auto node = newNode();
    node->kind = NodeKind::Operator;
    node->op = op;
    node->type = ValueType::Boolean;
    node->scope = combine(left->scope, right->scope);
    if (left->kind == NodeKind::Field && right->kind == NodeKind::Constant)
        retype(*right, *left);
    else if (left->kind == NodeKind::Constant && right->kind == NodeKind::Field)
        retype(*left, *right);
    if (op == FilterOp::Like) {
        if (right->type == ValueType::Memo)
            mismatch();
    } else if (left->type == ValueType::Memo || right->type == ValueType::Memo ||
               !comparable(left->type, right->type)) {
        mismatch();
    }
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
}

FilterParser::NodePtr FilterParser::makeArithmetic(FilterOp op, NodePtr left, NodePtr right)
{
    auto node = newNode();
    node->kind = NodeKind::Operator;
    node->op = op;
    node->scope = combine(left->scope, right->scope);
    ValueType a = left->type;
    ValueType b = right->type;
    if (a == ValueType::Null)
        a = b == ValueType::Null ? ValueType::Number : b;
    if (b == ValueType::Null)
        b = a;
    if (a == ValueType::Number && b == ValueType::Number)
        node->type = ValueType::Number;
    else if (a == ValueType::String && b == ValueType::String && op == FilterOp::Add)
        node->type = ValueType::String;
    else if (op == FilterOp::Add && ((a == ValueType::DateTime && b == ValueType::Number) ||
                                     (a == ValueType::Number && b == ValueType::DateTime)))
        node->type = ValueType::DateTime;
    else if (op == FilterOp::Subtract && a == ValueType::DateTime && b == ValueType::Number)
        node->type = ValueType::DateTime;
    else if (op == FilterOp::Subtract && a == ValueType::DateTime && b == ValueType::DateTime)
        node->type = ValueType::Number;
    else
        mismatch();
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
}

void FilterParser::retype(FilterNode& constant, const FilterNode& field) const
{
    if (constant.null)
        return;
    const QString text = constant.text;
    switch (field.fieldType) {
    case FieldType::Integer: {
        if (constant.type == ValueType::Boolean) {
            constant.type = ValueType::Number;
            return;
        }
        bool ok = false;
        const qlonglong value = text.toLongLong(&ok, 10);
        const FieldDef& def = fields_[std::size_t(field.field)];
        const bool small =
            def.typeName.compare(QLatin1String("SmallInt"), Qt::CaseInsensitive) == 0;
        const bool word = def.typeName.compare(QLatin1String("Word"), Qt::CaseInsensitive) == 0;
        if (ok && ((small && (value < -32768 || value > 32767)) ||
                   (word && (value < 0 || value > 65535))))
            throw DatabaseError(QStringLiteral("Constant out of range"));
        if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max())
            throw DatabaseError(QStringLiteral("'%1' is not a valid integer value").arg(text));
        constant.number = double(value);
        constant.type = ValueType::Number;
        return;
    }
    case FieldType::Float: {
        if (constant.type == ValueType::Boolean || constant.numericLiteral) {
            constant.type = ValueType::Number;
            return;
        }
        QString plain = text;
        if (decimal_ != u'.')
            plain.replace(decimal_, u'.');
        bool ok = false;
        constant.number = QLocale::c().toDouble(plain, &ok);
        if (!ok)
            throw DatabaseError(
                QStringLiteral("'%1' is not a valid floating point value").arg(text));
        constant.type = ValueType::Number;
        return;
    }
    case FieldType::Boolean:
        if (constant.type == ValueType::Boolean)
            return;
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            constant.number = 1;
        else if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            constant.number = 0;
        else
            throw DatabaseError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
        constant.type = ValueType::Boolean;
        return;
    case FieldType::String:
    case FieldType::Memo:
        constant.string = text;
        constant.type = ValueType::String;
        return;
    }
}

void FilterParser::rewrite(NodePtr& node, bool booleanContext)
{
    FilterNode& n = *node;
    // A Boolean field alone is the test "field <> False".
    if (booleanContext && n.kind == NodeKind::Field && n.type == ValueType::Boolean) {
        auto falseConstant = newNode();
        falseConstant->type = ValueType::Boolean;
        falseConstant->text = QStringLiteral("False");
        auto comparison = newNode();
        comparison->kind = NodeKind::Operator;
        comparison->op = FilterOp::NotEqual;
        comparison->type = ValueType::Boolean;
        comparison->scope = Scope::Varying;
        comparison->left = std::move(node);
        comparison->right = std::move(falseConstant);
        node = std::move(comparison);
        return;
    }
    if (n.kind == NodeKind::Operator) {
        const bool logical = n.op == FilterOp::And || n.op == FilterOp::Or || n.op == FilterOp::Not;
        if (n.left)
            rewrite(n.left, logical);
        if (n.right)
            rewrite(n.right, logical);
        for (NodePtr& argument : n.arguments)
            rewrite(argument, false);

        if (isOrdering(n.op) && n.left->kind == NodeKind::Constant &&
            n.right->kind == NodeKind::Field) {
            std::swap(n.left, n.right);
            n.op = mirrored(n.op);
        }
        if (n.left && n.right && n.left->kind == NodeKind::Field &&
            n.right->kind == NodeKind::Constant && n.right->null) {
            if (n.op == FilterOp::Like)
                throw DatabaseError(QStringLiteral("NULL only allowed with '=' and '<>'"));
            if (n.op == FilterOp::Equal || n.op == FilterOp::NotEqual) {
                n.op = n.op == FilterOp::Equal ? FilterOp::IsNull : FilterOp::IsNotNull;
                n.right.reset();
                return;
            }
        }
        if ((n.op == FilterOp::Equal || n.op == FilterOp::NotEqual || n.op == FilterOp::Like) &&
            n.left->kind == NodeKind::Field && n.right->kind == NodeKind::Constant &&
            n.right->type == ValueType::String && !n.right->string.isEmpty()) {
            const bool insensitive = options_.testFlag(FilterOption::CaseInsensitive);
            QString& value = n.right->string;
            const bool partial = !options_.testFlag(FilterOption::NoPartialCompare) &&
                                 value.size() > 1 && value.endsWith(u'*');
            if (n.op == FilterOp::Like) {
                // A LIKE keeps its mask: "Mos*" already means "begins with Mos".
                n.caseInsensitive = insensitive;
            } else if (insensitive || partial) {
                n.stringCompare = true;
                n.caseInsensitive = insensitive;
                if (partial) {
                    value.chop(1);
                    n.prefixLength = int(value.size());
                }
            }
        }
        return;
    }
    if (n.kind == NodeKind::Function) {
        for (NodePtr& argument : n.arguments)
            rewrite(argument, false);
        return;
    }
    if (n.kind == NodeKind::Constant && n.type == ValueType::String &&
        n.string.size() > maxConstant)
        n.string.truncate(maxConstant);
}

} // namespace kelvora
