#include "blockfilter.h"

#include "failure.h"
#include "likemask.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace kelvora {

namespace {

constexpr std::size_t blockSize = 256;
constexpr std::size_t maxListValues = 51;

// Date-times are held as days since 30 December 1899, the time of day as
// the fraction: adding a number adds days.
const qint64 dayZero = QDate(1899, 12, 30).toJulianDay();

double toDays(const QDateTime& time)
{
    return double(time.date().toJulianDay() - dayZero) +
           double(time.time().msecsSinceStartOfDay()) / 86400000.0;
}

QDateTime fromDays(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3e6)
        return {};
    const double whole = std::floor(days);
    const qint64 ms = qint64(std::llround((days - whole) * 86400000.0));
    return QDateTime(QDate::fromJulianDay(qint64(whole) + dayZero),
                     QTime(0, 0).addMSecs(int(std::min<qint64>(ms, 86399999))));
}

struct Context
{
    const RecordStore& store;
    const Slot* records;
};

// Loops over raw, non-aliasing pointers, so that the compiler vectorises
// them: a byte store could otherwise alias any buffer.
template <typename T>
void gather(const T* __restrict values, const std::uint8_t* __restrict nulls,
            const Slot* __restrict records, std::size_t n, double* __restrict out,
            std::uint8_t* __restrict outNull)
{
    if (n == 0)
        return;
    const Slot first = records[0];
    Slot differs = 0;
    for (std::size_t i = 0; i < n; ++i)
        differs |= records[i] ^ (first + Slot(i));
    if (differs == 0) {
        values += first;
        nulls += first;
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = double(values[i]);
            outNull[i] = nulls[i];
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = double(values[records[i]]);
        outNull[i] = nulls[records[i]];
    }
}

void eitherNull(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
                std::uint8_t* __restrict r, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        r[i] = a[i] | b[i];
}

template <typename Op>
void arithmetic(const double* __restrict a, const double* __restrict b, double* __restrict r,
                std::size_t n, Op op)
{
    for (std::size_t i = 0; i < n; ++i)
        r[i] = op(a[i], b[i]);
}

template <typename Op>
void compare(const double* __restrict a, const double* __restrict b,
             const std::uint8_t* __restrict na, const std::uint8_t* __restrict nb,
             double* __restrict r, std::size_t n, Op op)
{
    for (std::size_t i = 0; i < n; ++i)
        r[i] = double(((na[i] | nb[i]) == 0) & op(a[i], b[i]));
}

} // namespace

// One node of the evaluation tree; `eval` fills its buffers for n records.
class EvalNode
{
public:
    explicit EvalNode(ValueType type)
        : type(type), number(blockSize), null(blockSize), view(blockSize)
    {}
    virtual ~EvalNode() = default;
    virtual void eval(const Context& context, std::size_t n) = 0;

    // The value of record i as text, for LIKE and the string functions.
    QStringView textAt(std::size_t i, QString& scratch) const
    {
        switch (type) {
        case ValueType::String:
        case ValueType::Memo:
        case ValueType::Null:
            return view[i];
        case ValueType::Boolean:
            scratch = number[i] != 0 ? QStringLiteral("True") : QStringLiteral("False");
            return scratch;
        case ValueType::Number:
            scratch = QString::number(number[i], 'g', 15);
            return scratch;
        case ValueType::DateTime:
            scratch = QLocale().toString(fromDays(number[i]), QLocale::ShortFormat);
            return scratch;
        }
        return {};
    }
    void ownText(std::size_t i, QString text)
    {
        if (owned.size() < blockSize)
            owned.resize(blockSize);
        owned[i] = std::move(text);
        view[i] = owned[i];
    }

    ValueType type;
    std::vector<double> number; // numbers, Booleans as 0 and 1, date-times
    std::vector<std::uint8_t> null;
    std::vector<QStringView> view; // texts
    std::vector<QString> owned;    // computed texts the views point into
};

namespace {

using EvalPtr = std::unique_ptr<EvalNode>;
EvalPtr build(const FilterNode& node);

class FieldEval : public EvalNode
{
public:
    FieldEval(const FilterNode& node)
        : EvalNode(node.type), field_(node.field), fieldType_(node.fieldType)
    {}
    void eval(const Context& c, std::size_t n) override
    {
        switch (fieldType_) {
        case FieldType::Integer: {
            gather(c.store.integerColumn(field_), c.store.nullColumn(field_), c.records, n,
                   number.data(), null.data());
            return;
        }
        case FieldType::Float: {
            gather(c.store.realColumn(field_), c.store.nullColumn(field_), c.records, n,
                   number.data(), null.data());
            return;
        }
        case FieldType::Boolean: {
            const std::uint8_t* flags = c.store.nullColumn(field_);
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t flag = flags[c.records[i]];
                number[i] = flag == 1 ? 1 : 0;
                null[i] = flag > 1;
            }
            return;
        }
        case FieldType::String:
        case FieldType::Memo:
            for (std::size_t i = 0; i < n; ++i) {
                null[i] = c.store.isNull(field_, c.records[i]);
                view[i] = c.store.text(field_, c.records[i]);
            }
            return;
        }
    }

private:
    int field_;
    FieldType fieldType_;
};

class ConstantEval : public EvalNode
{
public:
    ConstantEval(const FilterNode& node) : EvalNode(node.type), text_(node.string)
    {
        std::fill(number.begin(), number.end(), node.number);
        std::fill(null.begin(), null.end(), node.null ? 1 : 0);
        std::fill(view.begin(), view.end(), QStringView(text_));
    }
    void eval(const Context&, std::size_t) override {}

private:
    QString text_;
};

class ArithmeticEval : public EvalNode
{
public:
    ArithmeticEval(const FilterNode& node)
        : EvalNode(node.type), op_(node.op), left_(build(*node.left)), right_(build(*node.right))
    {}
    void eval(const Context& c, std::size_t n) override
    {
        left_->eval(c, n);
        right_->eval(c, n);
        eitherNull(left_->null.data(), right_->null.data(), null.data(), n);
        if (type == ValueType::String) {
            for (std::size_t i = 0; i < n; ++i)
                if (!null[i])
                    ownText(i, left_->view[i].toString() + right_->view[i].toString());
            return;
        }
        const double* a = left_->number.data();
        const double* b = right_->number.data();
        double* r = number.data();
        // Sums, differences and products of 32-bit integers are exact in
        // double precision, and a 32-bit result that overflows is redone in
        // double precision: one double operation gives both.
        switch (op_) {
        case FilterOp::Add:
            arithmetic(a, b, r, n, std::plus<>());
            break;
        case FilterOp::Subtract:
            arithmetic(a, b, r, n, std::minus<>());
            break;
        case FilterOp::Multiply:
            arithmetic(a, b, r, n, std::multiplies<>());
            break;
        default:
            arithmetic(a, b, r, n, std::divides<>());
            break;
        }
    }

private:
    FilterOp op_;
    EvalPtr left_;
    EvalPtr right_;
};

bool ordered(FilterOp op, int order)
{
    switch (op) {
    case FilterOp::Equal:
        return order == 0;
    case FilterOp::NotEqual:
        return order != 0;
    case FilterOp::Less:
        return order < 0;
    case FilterOp::LessEqual:
        return order <= 0;
    case FilterOp::Greater:
        return order > 0;
    default:
        return order >= 0;
    }
}

bool textual(ValueType type)
{
    return type == ValueType::String || type == ValueType::Memo;
}

class ComparisonEval : public EvalNode
{
public:
    ComparisonEval(const FilterNode& node)
        : EvalNode(ValueType::Boolean), op_(node.op), left_(build(*node.left)),
          right_(build(*node.right)), text_(textual(node.left->type) || textual(node.right->type))
    {}
    void eval(const Context& c, std::size_t n) override
    {
        left_->eval(c, n);
        right_->eval(c, n);
        const std::uint8_t* na = left_->null.data();
        const std::uint8_t* nb = right_->null.data();
        std::fill_n(null.begin(), n, 0);
        double* r = number.data();
        if (text_) {
            for (std::size_t i = 0; i < n; ++i)
                r[i] = !(na[i] | nb[i]) && ordered(op_, left_->view[i].compare(right_->view[i]));
            return;
        }
        const double* a = left_->number.data();
        const double* b = right_->number.data();
        switch (op_) {
        case FilterOp::Equal:
            compare(a, b, na, nb, r, n, std::equal_to<>());
            break;
        case FilterOp::NotEqual:
            compare(a, b, na, nb, r, n, std::not_equal_to<>());
            break;
        case FilterOp::Less:
            compare(a, b, na, nb, r, n, std::less<>());
            break;
        case FilterOp::LessEqual:
            compare(a, b, na, nb, r, n, std::less_equal<>());
            break;
        case FilterOp::Greater:
            compare(a, b, na, nb, r, n, std::greater<>());
            break;
        default:
            compare(a, b, na, nb, r, n, std::greater_equal<>());
            break;
        }
    }

private:
    FilterOp op_;
    EvalPtr left_;
    EvalPtr right_;
    bool text_;
};

// "=" and "<>" against a text constant, optionally on prefixes and without
// regard to case.
class StringCompareEval : public EvalNode
{
public:
    StringCompareEval(const FilterNode& node)
        : EvalNode(ValueType::Boolean), equal_(node.op != FilterOp::NotEqual),
          prefix_(node.prefixLength), insensitive_(node.caseInsensitive), left_(build(*node.left)),
          right_(build(*node.right))
    {}
    void eval(const Context& c, std::size_t n) override
    {
        left_->eval(c, n);
        right_->eval(c, n);
        const QLocale locale;
        QString a;
        QString b;
        for (std::size_t i = 0; i < n; ++i) {
            null[i] = 0;
            if (left_->null[i] || right_->null[i]) {
                number[i] = 0;
                continue;
            }
            QStringView x = left_->textAt(i, a);
            QStringView y = right_->textAt(i, b);
            if (insensitive_) {
                a = locale.toUpper(x.toString());
                b = locale.toUpper(y.toString());
                x = a;
                y = b;
            }
            if (prefix_ > 0) {
                x = x.left(prefix_);
                y = y.left(prefix_);
            }
            number[i] = (x == y) == equal_;
        }
    }

private:
    bool equal_;
    qsizetype prefix_;
    bool insensitive_;
    EvalPtr left_;
    EvalPtr right_;
};

class LikeEval : public EvalNode
{
public:
    LikeEval(const FilterNode& node)
        : EvalNode(ValueType::Boolean), insensitive_(node.caseInsensitive),
          left_(build(*node.left)), right_(build(*node.right))
    {
        const FilterNode& mask = *node.right;
        if (mask.kind == NodeKind::Constant && !mask.null)
            mask_.emplace(insensitive_ ? QLocale().toUpper(mask.string) : mask.string);
    }
    void eval(const Context& c, std::size_t n) override
    {
        left_->eval(c, n);
        right_->eval(c, n);
        const QLocale locale;
        QString a;
        QString b;
        for (std::size_t i = 0; i < n; ++i) {
            null[i] = 0;
            if (left_->null[i] || right_->null[i]) {
                number[i] = 0;
                continue;
            }
            QStringView value = left_->textAt(i, a);
            if (insensitive_) {
                a = locale.toUpper(value.toString());
                value = a;
            }
            if (mask_) {
                number[i] = mask_->matches(value);
                continue;
            }
            QString pattern = right_->textAt(i, b).toString();
            if (insensitive_)
                pattern = locale.toUpper(pattern);
            number[i] = LikeMask(pattern).matches(value);
        }
    }

private:
    bool insensitive_;
    EvalPtr left_;
    EvalPtr right_;
    std::optional<LikeMask> mask_;
};

class InEval : public EvalNode
{
public:
    InEval(const FilterNode& node) : EvalNode(ValueType::Boolean), left_(build(*node.left))
    {
        for (const auto& item : node.arguments)
            items_.push_back(build(*item));
    }
    void eval(const Context& c, std::size_t n) override
    {
        if (items_.size() > maxListValues)
            throw DatabaseError(
                QStringLiteral("IN predicate list may not hold more than 51 values"));
        left_->eval(c, n);
        std::fill_n(null.begin(), n, 0);
        std::fill_n(number.begin(), n, 0);
        for (const EvalPtr& item : items_) {
            item->eval(c, n);
            const bool text = textual(left_->type) || textual(item->type);
            for (std::size_t i = 0; i < n; ++i) {
                if (left_->null[i] || item->null[i])
                    continue;
                if (text ? left_->view[i] == item->view[i] : left_->number[i] == item->number[i])
                    number[i] = 1;
            }
        }
    }

private:
    EvalPtr left_;
    std::vector<EvalPtr> items_;
};

class IsNullEval : public EvalNode
{
public:
    IsNullEval(const FilterNode& node)
        : EvalNode(ValueType::Boolean), negated_(node.op == FilterOp::IsNotNull),
          left_(build(*node.left))
    {}
    void eval(const Context& c, std::size_t n) override
    {
        left_->eval(c, n);
        for (std::size_t i = 0; i < n; ++i) {
            null[i] = 0;
            number[i] = (left_->null[i] != 0) != negated_;
        }
    }

private:
    bool negated_;
    EvalPtr left_;
};

class LogicalEval : public EvalNode
{
public:
    LogicalEval(const FilterNode& node)
        : EvalNode(ValueType::Boolean), op_(node.op), left_(build(*node.left)),
          right_(node.right ? build(*node.right) : nullptr)
    {}
    void eval(const Context& c, std::size_t n) override
    {
        left_->eval(c, n);
        const double* a = left_->number.data();
        const std::uint8_t* na = left_->null.data();
        if (op_ == FilterOp::Not) {
            for (std::size_t i = 0; i < n; ++i) {
                null[i] = na[i];
                number[i] = !na[i] && a[i] == 0;
            }
            return;
        }
        right_->eval(c, n);
        const double* b = right_->number.data();
        const std::uint8_t* nb = right_->null.data();
        const bool conjunction = op_ == FilterOp::And;
        for (std::size_t i = 0; i < n; ++i) {
            null[i] = 0;
            const bool x = a[i] != 0;
            const bool y = b[i] != 0;
            number[i] = !(na[i] | nb[i]) && (conjunction ? (x && y) : (x || y));
        }
    }

private:
    FilterOp op_;
    EvalPtr left_;
    EvalPtr right_;
};

class FunctionEval : public EvalNode
{
public:
    FunctionEval(const FilterNode& node)
        : EvalNode(node.type), function_(node.function), name_(node.name)
    {
        for (const auto& argument : node.arguments)
            arguments_.push_back(build(*argument));
    }
    void eval(const Context& c, std::size_t n) override
    {
        if (n == 0)
            return;
        check();
        for (const EvalPtr& argument : arguments_)
            argument->eval(c, n);
        if (function_ == FilterFunction::GetDate) {
            const double now = toDays(QDateTime::currentDateTime());
            std::fill_n(null.begin(), n, 0);
            std::fill_n(number.begin(), n, now);
            return;
        }
        QString scratch;
        const QLocale locale;
        for (std::size_t i = 0; i < n; ++i) {
            null[i] = 0;
            for (const EvalPtr& argument : arguments_)
                if (argument->null[i])
                    null[i] = 1;
            if (null[i])
                continue;
            for (std::size_t k = 0; k < arguments_.size(); ++k)
                if (!accepts(k, arguments_[k]->type))
                    fail();
            const EvalNode& first = *arguments_[0];
            switch (function_) {
            case FilterFunction::Upper:
            case FilterFunction::Lower: {
                QString text = first.view[i].toString();
                for (QChar& ch : text) {
                    const char16_t u = ch.unicode();
                    if (function_ == FilterFunction::Upper && u >= 'a' && u <= 'z')
                        ch = QChar(char16_t(u - 32));
                    else if (function_ == FilterFunction::Lower && u >= 'A' && u <= 'Z')
                        ch = QChar(char16_t(u + 32));
                }
                ownText(i, std::move(text));
                break;
            }
            case FilterFunction::Substring: {
                const QStringView text = first.view[i];
                const double start = arguments_[1]->number[i];
                const double length = arguments_.size() > 2 ? arguments_[2]->number[i] : 0;
                if (!std::isfinite(start) || !std::isfinite(length))
                    fail();
                const qsizetype from =
                    start < 1 ? 0 : qsizetype(std::min<double>(start - 1, double(text.size())));
                qsizetype count = text.size() - from;
                if (length < 0)
                    count = 0;
                else if (length >= 1)
                    count = qsizetype(std::min<double>(length, double(count)));
                ownText(i, text.mid(from, count).toString());
                break;
            }
            case FilterFunction::Trim:
            case FilterFunction::TrimLeft:
            case FilterFunction::TrimRight: {
                const QStringView text = first.view[i];
                qsizetype begin = 0;
                qsizetype end = text.size();
                if (function_ != FilterFunction::TrimRight)
                    while (begin < end && text[begin].unicode() <= 32)
                        ++begin;
                if (function_ != FilterFunction::TrimLeft)
                    while (end > begin && text[end - 1].unicode() <= 32)
                        --end;
                ownText(i, text.mid(begin, end - begin).toString());
                break;
            }
            case FilterFunction::Year:
            case FilterFunction::Month:
            case FilterFunction::Day:
            case FilterFunction::Hour:
            case FilterFunction::Minute:
            case FilterFunction::Second: {
                if (!std::isfinite(first.number[i]) || std::fabs(first.number[i]) > 3e6)
                    fail();
                const QDateTime time = fromDays(first.number[i]);
                const int parts[] = {time.date().year(),   time.date().month(),
                                     time.date().day(),    time.time().hour(),
                                     time.time().minute(), time.time().second()};
                number[i] = parts[int(function_) - int(FilterFunction::Year)];
                break;
            }
            case FilterFunction::Date:
            case FilterFunction::Time: {
                const bool date = function_ == FilterFunction::Date;
                if (textual(first.type)) {
                    const QString text = first.view[i].toString();
                    if (date) {
                        QDate value = locale.toDate(text, QLocale::ShortFormat);
                        if (!value.isValid())
                            value = locale.toDate(text, QLocale::LongFormat);
                        if (!value.isValid())
                            fail();
                        number[i] = double(value.toJulianDay() - dayZero);
                    } else {
                        QTime value = locale.toTime(text, QLocale::ShortFormat);
                        if (!value.isValid())
                            value = locale.toTime(text, QLocale::LongFormat);
                        if (!value.isValid())
                            fail();
                        number[i] = double(value.msecsSinceStartOfDay()) / 86400000.0;
                    }
                } else {
                    const double value = first.number[i];
                    if (!std::isfinite(value))
                        fail();
                    number[i] = date ? std::floor(value) : value - std::floor(value);
                }
                break;
            }
            case FilterFunction::GetDate:
                break;
            }
        }
    }

private:
    [[noreturn]] void fail() const
    {
        throw DatabaseError(
            QStringLiteral("Invalid or missing parameter for function %1").arg(name_));
    }
    void check() const
    {
        std::size_t least = 1;
        std::size_t most = 1;
        if (function_ == FilterFunction::Substring) {
            least = 2;
            most = 3;
        } else if (function_ == FilterFunction::GetDate) {
            least = 0;
            most = 0;
        }
        if (arguments_.size() < least || arguments_.size() > most ||
            arguments_.size() > maxListValues)
            fail();
    }
    bool accepts(std::size_t index, ValueType type) const
    {
        if (type == ValueType::Null)
            return true;
        switch (function_) {
        case FilterFunction::Upper:
        case FilterFunction::Lower:
        case FilterFunction::Trim:
        case FilterFunction::TrimLeft:
        case FilterFunction::TrimRight:
            return textual(type);
        case FilterFunction::Substring:
            return index == 0 ? textual(type) : type == ValueType::Number;
        case FilterFunction::Date:
        case FilterFunction::Time:
            return textual(type) || type == ValueType::DateTime || type == ValueType::Number;
        default:
            return type == ValueType::DateTime;
        }
    }

    FilterFunction function_;
    QString name_;
    std::vector<EvalPtr> arguments_;
};

EvalPtr build(const FilterNode& node)
{
    switch (node.kind) {
    case NodeKind::Field:
        return std::make_unique<FieldEval>(node);
    case NodeKind::Constant:
        return std::make_unique<ConstantEval>(node);
    case NodeKind::Function:
        return std::make_unique<FunctionEval>(node);
    case NodeKind::Operator:
        break;
    }
    switch (node.op) {
    case FilterOp::Add:
    case FilterOp::Subtract:
    case FilterOp::Multiply:
    case FilterOp::Divide:
        return std::make_unique<ArithmeticEval>(node);
    case FilterOp::And:
    case FilterOp::Or:
    case FilterOp::Not:
        return std::make_unique<LogicalEval>(node);
    case FilterOp::IsNull:
    case FilterOp::IsNotNull:
        return std::make_unique<IsNullEval>(node);
    case FilterOp::In:
        return std::make_unique<InEval>(node);
    case FilterOp::Like:
        return std::make_unique<LikeEval>(node);
    default:
        break;
    }
    if (node.stringCompare)
        return std::make_unique<StringCompareEval>(node);
    return std::make_unique<ComparisonEval>(node);
}

// (field - constant), giving the field and the constant.
bool difference(const FilterNode& node, int& field, double& constant)
{
    if (node.kind != NodeKind::Operator || node.op != FilterOp::Subtract)
        return false;
    const FilterNode& a = *node.left;
    const FilterNode& b = *node.right;
    if (a.kind != NodeKind::Field || a.fieldType != FieldType::Integer ||
        b.kind != NodeKind::Constant || b.null || b.type != ValueType::Number)
        return false;
    field = a.field;
    constant = b.number;
    return true;
}

// (field - constant) * (field - constant), the same field and constant twice.
bool square(const FilterNode& node, int& field, double& constant)
{
    if (node.kind != NodeKind::Operator || node.op != FilterOp::Multiply)
        return false;
    int f1 = -1;
    int f2 = -1;
    double c1 = 0;
    double c2 = 0;
    if (!difference(*node.left, f1, c1) || !difference(*node.right, f2, c2) || f1 != f2 ||
        std::memcmp(&c1, &c2, sizeof c1) != 0)
        return false;
    field = f1;
    constant = c1;
    return true;
}

struct ProximityColumns
{
    const std::int32_t* xs;
    const std::int32_t* ys;
    const std::uint8_t* xn;
    const std::uint8_t* yn;
};

template <bool strict> bool inside(double distance, double limit)
{
    return strict ? distance < limit : distance <= limit;
}

template <bool strict>
void proximity(const ProximityColumns& c, double cx, double cy, double limit, const Slot* records,
               std::size_t count, std::uint8_t* pass)
{
    if (count == 0)
        return;
    // Records in slot order, as after a load, are read straight through,
    // which the compiler can vectorise.
    const Slot first = records[0];
    Slot differs = 0;
    for (std::size_t i = 0; i < count; ++i)
        differs |= records[i] ^ (first + Slot(i));
    if (differs == 0) {
        const std::int32_t* xs = c.xs + first;
        const std::int32_t* ys = c.ys + first;
        const std::uint8_t* xn = c.xn + first;
        const std::uint8_t* yn = c.yn + first;
        for (std::size_t i = 0; i < count; ++i) {
            const double dx = double(xs[i]) - cx;
            const double dy = double(ys[i]) - cy;
            pass[i] =
                std::uint8_t(((xn[i] | yn[i]) == 0) & inside<strict>(dx * dx + dy * dy, limit));
        }
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Slot s = records[i];
        const double dx = double(c.xs[s]) - cx;
        const double dy = double(c.ys[s]) - cy;
        pass[i] =
            std::uint8_t(((c.xn[s] | c.yn[s]) == 0) & inside<strict>(dx * dx + dy * dy, limit));
    }
}

} // namespace

BlockFilter::BlockFilter(const FilterNode& root)
{
    if (!recogniseProximity(root))
        root_ = build(root);
}

BlockFilter::~BlockFilter() = default;

bool BlockFilter::recogniseProximity(const FilterNode& root)
{
    if (root.kind != NodeKind::Operator ||
        (root.op != FilterOp::LessEqual && root.op != FilterOp::Less))
        return false;
    const FilterNode& sum = *root.left;
    const FilterNode& limit = *root.right;
    if (limit.kind != NodeKind::Constant || limit.null || limit.type != ValueType::Number ||
        sum.kind != NodeKind::Operator || sum.op != FilterOp::Add)
        return false;
    if (!square(*sum.left, xField_, cx_) || !square(*sum.right, yField_, cy_))
        return false;
    limit_ = limit.number;
    strict_ = root.op == FilterOp::Less;
    proximity_ = true;
    return true;
}

void BlockFilter::test(const RecordStore& store, const Slot* records, std::size_t count,
                       std::uint8_t* pass) const
{
    if (proximity_) {
        const ProximityColumns columns{store.integerColumn(xField_), store.integerColumn(yField_),
                                       store.nullColumn(xField_), store.nullColumn(yField_)};
        if (strict_)
            proximity<true>(columns, cx_, cy_, limit_, records, count, pass);
        else
            proximity<false>(columns, cx_, cy_, limit_, records, count, pass);
        return;
    }
    for (std::size_t start = 0; start < count; start += blockSize) {
        const std::size_t n = std::min(blockSize, count - start);
        const Context context{store, records + start};
        root_->eval(context, n);
        const std::uint8_t* nulls = root_->null.data();
        const double* values = root_->number.data();
        std::uint8_t* out = pass + start;
        for (std::size_t i = 0; i < n; ++i)
            out[i] = std::uint8_t((nulls[i] == 0) & (values[i] != 0));
    }
}

} // namespace kelvora
