#include "pointtable.h"

#include "failure.h"
#include "filter.h"
#include "locateindex.h"

#include <algorithm>
#include <cmath>

namespace kelvora {

namespace {

const QString closedMessage = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString emptyMessage = QStringLiteral("Cannot perform this operation on an empty dataset");
const QString notEditingMessage = QStringLiteral("Dataset not in edit or insert mode");

// Blanks and control characters, as filter texts are trimmed of them.
QString trimControl(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

std::int32_t parseInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw DatabaseError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

bool parseBoolean(const QString& text)
{
    const QString word = text.trimmed();
    if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    throw DatabaseError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
}

double parseFloat(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        throw DatabaseError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

// Holds a table's notifications for the lifetime of the object.
class Hold
{
public:
    explicit Hold(PointTable& table) : table_(table) { table_.holdNotifications(); }
    ~Hold() { table_.releaseNotifications(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    PointTable& table_;
};

} // namespace

// Field ------------------------------------------------------------------

const QString& Field::name() const
{
    return definition().name;
}

QString Field::displayName() const
{
    return definition().displayName();
}

const FieldDef& Field::definition() const
{
    return table_->fields()[std::size_t(index_)];
}

bool Field::isNull() const
{
    return table_->fieldIsNull(index_);
}

std::int32_t Field::asInteger() const
{
    return table_->fieldInteger(index_);
}

QString Field::asString() const
{
    return table_->fieldString(index_);
}

bool Field::asBoolean() const
{
    return table_->fieldBoolean(index_);
}

double Field::asFloat() const
{
    return table_->fieldFloat(index_);
}

void Field::setAsInteger(std::int32_t value)
{
    const std::int64_t wide = value;
    table_->writeField(index_, nullptr, &wide, nullptr, nullptr);
}

void Field::setAsString(const QString& value)
{
    table_->writeField(index_, &value, nullptr, nullptr, nullptr);
}

void Field::setAsBoolean(bool value)
{
    table_->writeField(index_, nullptr, nullptr, &value, nullptr);
}

void Field::setAsFloat(double value)
{
    table_->writeField(index_, nullptr, nullptr, nullptr, &value);
}

void Field::clear()
{
    table_->writeField(index_, nullptr, nullptr, nullptr, nullptr);
}

// PointTable: lifecycle -------------------------------------------------

PointTable::PointTable(const QString& name, QObject* parent)
    : QObject(parent), name_(name), locateIndex_(std::make_unique<LocateIndex>())
{
    setObjectName(name);
    store_.setFields(pointFields());
}

PointTable::~PointTable() = default;

Field PointTable::fieldByName(QStringView name)
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw DatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return Field(this, index);
}

void PointTable::setFields(std::vector<FieldDef> fields)
{
    Q_ASSERT(state_ == State::Closed);
    locateIndex_->clear();
    positions_.invalidate();
    store_.setFields(std::move(fields));
}

void PointTable::open()
{
    if (isOpen())
        return;
    Hold hold(*this);
    resetRecords();
    state_ = State::Browse;
    compileFilter();
}

void PointTable::close()
{
    if (!isOpen())
        return;
    Hold hold(*this);
    buffer_.clear();
    state_ = State::Closed;
    resetRecords();
    compiledFilter_.reset();
}

void PointTable::resetRecords()
{
    store_.clear();
    rowOrder_.release();
    sortOrder_.release();
    sortPlacement_.reset();
    visible_.release();
    locateIndex_->clear();
    positions_.invalidate();
    cursor_ = -1;
    atEnd_ = true;
    atStart_ = true;
    bookmarks_ = 0;
}

void PointTable::requireOpen() const
{
    if (!isOpen())
        throw DatabaseError(closedMessage);
}

void PointTable::setState(State state)
{
    state_ = state;
    if (notifying())
        emit stateChanged();
}

void PointTable::notifyCurrent()
{
    if (notifying())
        emit currentChanged();
}

void PointTable::holdNotifications()
{
    if (holds_++ == 0)
        emit aboutToReset();
}

void PointTable::releaseNotifications()
{
    Q_ASSERT(holds_ > 0);
    if (--holds_ > 0)
        return;
    emit reset();
    emit stateChanged();
    emit currentChanged();
}

// Records ----------------------------------------------------------------

void PointTable::settle()
{
    requireOpen();
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    if (bufferWritten_)
        post();
    else
        cancel();
}

void PointTable::append()
{
    settle();
    buffer_.assign(std::size_t(fieldCount()), Value{});
    state_ = State::Insert;
    insertFromEmpty_ = false;
    for (int field = 0; field < fieldCount(); ++field) {
        const FieldDef& def = store_.field(field);
        if (!def.defaultExpression.isEmpty())
            buffer_[std::size_t(field)] = convert(def, &def.defaultExpression, nullptr, nullptr, nullptr);
    }
    bufferWritten_ = false;
    setState(State::Insert);
    notifyCurrent();
}

void PointTable::edit()
{
    requireOpen();
    if (state_ == State::Edit || state_ == State::Insert)
        return;
    if (visible_.empty()) {
        append();
        insertFromEmpty_ = true;
        return;
    }
    if (cursor_ < 0)
        cursor_ = 0;
    editSlot_ = slotAtRow(int(cursor_));
    loadBuffer(editSlot_);
    bufferWritten_ = false;
    setState(State::Edit);
}

void PointTable::post()
{
    if (state_ != State::Edit && state_ != State::Insert)
        throw DatabaseError(notEditingMessage);
    for (int field = 0; field < fieldCount(); ++field)
        if (store_.field(field).required && buffer_[std::size_t(field)].null)
            throw DatabaseError(QStringLiteral("Field '%1' must have a value")
                                    .arg(store_.field(field).displayName()));

    if (state_ == State::Edit) {
        const Slot slot = editSlot_;
        const int row = int(cursor_);
        const std::size_t position = visible_[std::size_t(row)];
        bool moves = false;
        if (sortPlacement_) {
            for (int field = 0; field < fieldCount() && !moves; ++field)
                if (sortPlacement_->dependsOn(field)) {
                    const Value& value = buffer_[std::size_t(field)];
                    const bool wasNull = store_.isNull(field, slot);
                    if (value.null != wasNull)
                        moves = true;
                    else if (!value.null)
                        switch (store_.field(field).type) {
                        case FieldType::Integer:
                            moves = value.integer != store_.integer(field, slot);
                            break;
                        case FieldType::Boolean:
                            moves = value.boolean != store_.boolean(field, slot);
                            break;
                        case FieldType::Float:
                            moves = value.real != store_.real(field, slot);
                            break;
                        case FieldType::String:
                        case FieldType::Memo:
                            moves = QStringView(value.text) != store_.text(field, slot);
                            break;
                        }
                }
        }
        locateIndex_->removing(store_, slot);
        storeBuffer(slot);
        buffer_.clear();
        state_ = State::Browse;
        cursor_ = -1;
        if (moves) {
            if (notifying())
                emit rowAboutToBeRemoved(row);
            visible_.erase(std::size_t(row));
            sortOrder_.erase(position);
            positions_.removed(position);
            shiftVisible(position + 1, -1);
            if (notifying())
                emit rowRemoved(row);
            insertIntoSortOrder(slot);
        } else if (isVisible(slot)) {
            if (notifying())
                emit rowChanged(row);
        } else {
            if (notifying())
                emit rowAboutToBeRemoved(row);
            visible_.erase(std::size_t(row));
            if (notifying())
                emit rowRemoved(row);
        }
        indexStored(slot);
        setState(State::Browse);
        chooseByPosition(std::int64_t(position));
        return;
    }

    if (bookmarks_ + 1 > bookmarkLimit_)
        throw DatabaseError(
            QStringLiteral("Bookmark counter is out of range. Please close and reopen table."));
    const std::int64_t recordsBefore = std::int64_t(currentOrder().size());
    const Slot slot = store_.reuseSlot();
    storeBuffer(slot);
    ++bookmarks_;
    buffer_.clear();
    state_ = State::Browse;
    cursor_ = -1;
    rowOrder_.push_back(slot);
    if (!sortPlacement_)
        positions_.inserted(rowOrder_.size() - 1, rowOrder_.size(), slot);
    if (sortPlacement_) {
        insertIntoSortOrder(slot);
    } else if (isVisible(slot)) {
        const std::size_t position = rowOrder_.size() - 1;
        if (notifying())
            emit rowAboutToBeInserted(visibleCount());
        visible_.push_back(std::uint32_t(position));
        if (notifying())
            emit rowInserted(visibleCount() - 1);
    }
    indexStored(slot);
    setState(State::Browse);
    chooseByPosition(insertFromEmpty_ ? -1 : recordsBefore);
}

void PointTable::indexStored(Slot slot)
{
    const auto positionOf = [this](Slot other) {
        return positions_.positionOf(other, currentOrder());
    };
    locateIndex_->added(store_, slot, positionOf);
}

void PointTable::insertIntoSortOrder(Slot slot)
{
    const std::size_t place = sortPlacement_->placeFor(store_, sortOrder_.view(), slot);
    shiftVisible(place, +1);
    sortOrder_.insert(place, slot);
    positions_.inserted(place, sortOrder_.size(), slot);
    if (!isVisible(slot))
        return;
    const auto at = std::lower_bound(visible_.begin(), visible_.end(), std::uint32_t(place));
    const int row = int(at - visible_.begin());
    if (notifying())
        emit rowAboutToBeInserted(row);
    visible_.insert(std::size_t(row), std::uint32_t(place));
    if (notifying())
        emit rowInserted(row);
}

void PointTable::cancel()
{
    if (state_ == State::Insert) {
        buffer_.clear();
        setState(State::Browse);
        chooseByPosition(std::int64_t(currentOrder().size()));
    } else if (state_ == State::Edit) {
        buffer_.clear();
        setState(State::Browse);
        if (notifying() && cursor_ >= 0)
            emit rowChanged(int(cursor_));
        notifyCurrent();
    }
}

void PointTable::deleteRecord()
{
    requireOpen();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (visible_.empty())
        throw DatabaseError(emptyMessage);
    if (state_ == State::Edit)
        buffer_.clear();
    state_ = State::Browse;
    const int row = cursor_ < 0 ? 0 : int(cursor_);
    const std::size_t position = visible_[std::size_t(row)];
    const Slot slot = currentOrder()[position];
    cursor_ = -1;
    if (notifying())
        emit rowAboutToBeRemoved(row);
    visible_.erase(std::size_t(row));
    if (sortPlacement_) {
        sortOrder_.erase(position);
        rowOrder_.erase(rowOrderIndexOf(slot));
    } else {
        rowOrder_.erase(position);
    }
    shiftVisible(position + 1, -1);
    positions_.removed(position);
    locateIndex_->removing(store_, slot);
    store_.freeSlot(slot);
    if (notifying())
        emit rowRemoved(row);
    setState(State::Browse);
    chooseByPosition(std::int64_t(position));
}

void PointTable::empty()
{
    if (!isOpen())
        return;
    settle();
    Hold hold(*this);
    const bool sorted = sortPlacement_ != nullptr;
    std::unique_ptr<SortPlacement> placement = std::move(sortPlacement_);
    resetRecords();
    if (sorted)
        sortPlacement_ = std::move(placement);
}

// Cursor -------------------------------------------------------------------

void PointTable::goFirst()
{
    cursor_ = visible_.empty() ? -1 : 0;
    atEnd_ = visible_.empty();
    atStart_ = true;
}

void PointTable::first()
{
    settle();
    goFirst();
    notifyCurrent();
}

void PointTable::next()
{
    settle();
    atStart_ = false;
    if (cursor_ >= 0 && std::size_t(cursor_ + 1) < visible_.size()) {
        ++cursor_;
        atEnd_ = false;
        notifyCurrent();
    } else {
        atEnd_ = true;
    }
}

void PointTable::prior()
{
    settle();
    atEnd_ = false;
    if (cursor_ > 0) {
        --cursor_;
        atStart_ = false;
        notifyCurrent();
    } else {
        atStart_ = true;
    }
}

void PointTable::last()
{
    settle();
    cursor_ = std::int64_t(visible_.size()) - 1;
    atEnd_ = visible_.empty();
    atStart_ = visible_.empty();
    notifyCurrent();
}

void PointTable::setCurrentRow(int row)
{
    settle();
    if (visible_.empty())
        return;
    cursor_ = std::clamp<std::int64_t>(row, 0, std::int64_t(visible_.size()) - 1);
    atEnd_ = false;
    atStart_ = false;
    notifyCurrent();
}

int PointTable::recordCount()
{
    requireOpen();
    return visibleCount();
}

std::int64_t PointTable::currentSlot() const
{
    if (state_ == State::Insert || state_ == State::Closed || cursor_ < 0)
        return -1;
    return slotAtRow(int(cursor_));
}

void PointTable::chooseByPosition(std::int64_t position)
{
    if (visible_.empty()) {
        cursor_ = -1;
        atEnd_ = true;
    } else {
        const std::uint32_t from = position < 0 ? 0 : std::uint32_t(position);
        const auto at = std::lower_bound(visible_.begin(), visible_.end(), from);
        cursor_ = at == visible_.end() ? std::int64_t(visible_.size()) - 1 : at - visible_.begin();
        atEnd_ = false;
    }
    atStart_ = false;
    notifyCurrent();
}

void PointTable::shiftVisible(std::size_t fromPosition, int delta)
{
    auto at = std::lower_bound(visible_.begin(), visible_.end(), std::uint32_t(fromPosition));
    for (; at != visible_.end(); ++at)
        *at = std::uint32_t(std::int64_t(*at) + delta);
}

std::size_t PointTable::rowOrderIndexOf(Slot slot) const
{
    const auto found = std::find(rowOrder_.begin(), rowOrder_.end(), slot);
    Q_ASSERT(found != rowOrder_.end());
    return std::size_t(found - rowOrder_.begin());
}

// Visibility ---------------------------------------------------------------

bool PointTable::isVisible(Slot slot) const
{
    if (store_.status(slot) == 3)
        return false;
    return !filterInForce() || compiledFilter_->accepts(store_, slot);
}

void PointTable::rebuildVisible()
{
    const std::span<const Slot> order = currentOrder();
    visible_.clear();
    visible_.reserve(order.size());
    if (!filterInForce()) {
        for (std::size_t position = 0; position < order.size(); ++position)
            if (store_.status(order[position]) != 3)
                visible_.push_back(std::uint32_t(position));
        return;
    }
    // Blocks small enough to stay in the first-level cache; the loops carry
    // no branches on the data, as most records of a proximity search fail.
    constexpr std::size_t block = 1024;
    Slot batch[block];
    std::uint32_t positions[block];
    std::uint8_t pass[block];
    visible_.resize(order.size());
    std::uint32_t* out = visible_.data();
    std::size_t found = 0;
    try {
        for (std::size_t start = 0; start < order.size(); start += block) {
            const std::size_t end = std::min(order.size(), start + block);
            bool deleted = false;
            for (std::size_t position = start; position < end; ++position)
                deleted |= store_.status(order[position]) == 3;
            if (!deleted) {
                // The usual case: the order itself is the batch.
                compiledFilter_->test(store_, order.data() + start, end - start, pass);
                for (std::size_t i = 0; i < end - start; ++i) {
                    out[found] = std::uint32_t(start + i);
                    found += pass[i];
                }
                continue;
            }
            std::size_t count = 0;
            for (std::size_t position = start; position < end; ++position) {
                const Slot slot = order[position];
                batch[count] = slot;
                positions[count] = std::uint32_t(position);
                count += store_.status(slot) != 3;
            }
            compiledFilter_->test(store_, batch, count, pass);
            for (std::size_t i = 0; i < count; ++i) {
                out[found] = positions[i];
                found += pass[i];
            }
        }
    } catch (...) {
        // A filter that fails on a record shows nothing rather than a part.
        visible_.clear();
        cursor_ = -1;
        atEnd_ = true;
        throw;
    }
    visible_.resize(found);
}

void PointTable::compileFilter()
{
    compiledFilter_.reset();
    const QString text = trimControl(filter_);
    if (!text.isEmpty())
        compiledFilter_ = kelvora::compileFilter(*this, text, filterOptions_);
}

void PointTable::setFilter(const QString& text)
{
    filter_ = text;
    const bool wasInForce = filterInForce();
    compiledFilter_.reset();
    if (!isOpen())
        return;
    try {
        compileFilter();
        if (filtered_)
            settle();
    } catch (...) {
        // No filter is left in force: every record shows again, and the
        // current record (or the one being edited) stays current.
        compiledFilter_.reset();
        if (wasInForce) {
            Hold hold(*this);
            const std::int64_t slot = currentSlot();
            rebuildVisible();
            cursor_ = -1;
            for (std::size_t row = 0; slot >= 0 && row < visible_.size(); ++row)
                if (slotAtRow(int(row)) == Slot(slot)) {
                    cursor_ = std::int64_t(row);
                    break;
                }
            atEnd_ = visible_.empty();
        }
        throw;
    }
    if (filtered_) {
        Hold hold(*this);
        rebuildVisible();
        goFirst();
    }
}

void PointTable::setFiltered(bool on)
{
    if (on == filtered_)
        return;
    filtered_ = on;
    if (!isOpen())
        return;
    if (on && !compiledFilter_ && !trimControl(filter_).isEmpty()) {
        setFilter(filter_);
        return;
    }
    if (state_ == State::Edit || state_ == State::Insert) {
        try {
            settle();
        } catch (...) {
            // The edit stays pending over the records it was started on.
            filtered_ = !on;
            throw;
        }
    }
    Hold hold(*this);
    rebuildVisible();
    goFirst();
}

// Sort order ------------------------------------------------------------------

void PointTable::installSortOrder(HugeArray<Slot> order, std::unique_ptr<SortPlacement> placement)
{
    requireOpen();
    Hold hold(*this);
    const std::int64_t current = currentSlot();
    positions_.invalidate();
    locateIndex_->orderReplaced();
    sortOrder_ = std::move(order);
    sortPlacement_ = std::move(placement);
    rebuildVisible();
    goFirst();
    for (std::size_t row = 0; current >= 0 && row < visible_.size(); ++row)
        if (slotAtRow(int(row)) == Slot(current)) {
            cursor_ = std::int64_t(row);
            atStart_ = row == 0;
            break;
        }
}

void PointTable::dropSortOrder()
{
    if (!sortPlacement_)
        return;
    Hold hold(*this);
    const std::int64_t current = currentSlot();
    positions_.invalidate();
    locateIndex_->orderReplaced();
    sortPlacement_.reset();
    sortOrder_.release();
    if (!isOpen())
        return;
    rebuildVisible();
    goFirst();
    for (std::size_t row = 0; current >= 0 && row < visible_.size(); ++row)
        if (slotAtRow(int(row)) == Slot(current)) {
            cursor_ = std::int64_t(row);
            break;
        }
}

// Bulk loading -------------------------------------------------------------

void PointTable::beginBulkLoad(std::size_t expectedRecords)
{
    requireOpen();
    holdNotifications();
    // Loaded values are written straight into storage: the index is made
    // again on the next locate.
    locateIndex_->clear();
    positions_.invalidate();
    store_.reserve(store_.slotCount() + expectedRecords);
    rowOrder_.reserve(rowOrder_.size() + expectedRecords);
}

Slot PointTable::bulkAddRecord(std::uint8_t status)
{
    const Slot slot = store_.addSlot();
    store_.setStatus(slot, status);
    rowOrder_.push_back(slot);
    ++bookmarks_;
    return slot;
}

void PointTable::endBulkLoad()
{
    locateIndex_->clear();
    positions_.invalidate();
    try {
        rebuildVisible();
        goFirst();
    } catch (...) {
        releaseNotifications();
        throw;
    }
    releaseNotifications();
}

// Copy records ---------------------------------------------------------------

int PointTable::copyRecords(PointTable* source, PointTable* destination, int count)
{
    if (!source || !destination || source == destination)
        return 0;
    std::vector<int> sourceField(std::size_t(destination->fieldCount()), -1);
    for (int field = 0; field < destination->fieldCount(); ++field)
        sourceField[std::size_t(field)] = source->fieldIndex(destination->fields()[std::size_t(field)].name);

    int copied = 0;
    while (!source->eof()) {
        destination->append();
        for (int field = 0; field < destination->fieldCount(); ++field) {
            const int from = sourceField[std::size_t(field)];
            if (from < 0)
                continue;
            Field to(destination, field);
            const Field value(source, from);
            if (value.isNull()) {
                to.clear();
                continue;
            }
            const FieldType fromType = value.definition().type;
            const FieldType toType = to.definition().type;
            if (fromType != toType) {
                to.setAsString(value.asString());
                continue;
            }
            switch (toType) {
            case FieldType::Integer:
                to.setAsInteger(value.asInteger());
                break;
            case FieldType::Boolean:
                to.setAsBoolean(value.asBoolean());
                break;
            case FieldType::Float:
                to.setAsFloat(value.asFloat());
                break;
            case FieldType::String:
            case FieldType::Memo:
                to.setAsString(value.asString());
                break;
            }
        }
        destination->post();
        source->next();
        ++copied;
        if (count > 0 && copied >= count)
            break;
    }
    return copied;
}

// Field access ---------------------------------------------------------------

void PointTable::loadBuffer(Slot slot)
{
    buffer_.assign(std::size_t(fieldCount()), Value{});
    for (int field = 0; field < fieldCount(); ++field) {
        Value& value = buffer_[std::size_t(field)];
        value.null = store_.isNull(field, slot);
        if (value.null)
            continue;
        switch (store_.field(field).type) {
        case FieldType::Integer:
            value.integer = store_.integer(field, slot);
            break;
        case FieldType::Boolean:
            value.boolean = store_.boolean(field, slot);
            break;
        case FieldType::Float:
            value.real = store_.real(field, slot);
            break;
        case FieldType::String:
        case FieldType::Memo:
            value.text = store_.text(field, slot).toString();
            break;
        }
    }
}

void PointTable::storeBuffer(Slot slot)
{
    for (int field = 0; field < fieldCount(); ++field) {
        const Value& value = buffer_[std::size_t(field)];
        if (value.null) {
            if (!store_.isNull(field, slot))
                store_.setNull(field, slot);
            continue;
        }
        switch (store_.field(field).type) {
        case FieldType::Integer:
            store_.setInteger(field, slot, value.integer);
            break;
        case FieldType::Boolean:
            store_.setBoolean(field, slot, value.boolean);
            break;
        case FieldType::Float:
            store_.setReal(field, slot, value.real);
            break;
        case FieldType::String:
        case FieldType::Memo:
            if (store_.isNull(field, slot) || store_.text(field, slot) != QStringView(value.text))
                store_.setText(field, slot, value.text);
            break;
        }
    }
}

bool PointTable::fieldIsNull(int field) const
{
    if (state_ == State::Edit || state_ == State::Insert)
        return buffer_[std::size_t(field)].null;
    const std::int64_t slot = currentSlot();
    return slot < 0 || store_.isNull(field, Slot(slot));
}

std::int32_t PointTable::fieldInteger(int field) const
{
    if (fieldIsNull(field))
        return 0;
    switch (store_.field(field).type) {
    case FieldType::Integer:
        if (state_ == State::Edit || state_ == State::Insert)
            return buffer_[std::size_t(field)].integer;
        return store_.integer(field, Slot(currentSlot()));
    case FieldType::Boolean:
        return fieldBoolean(field) ? 1 : 0;
    case FieldType::Float:
        return std::int32_t(std::llround(fieldFloat(field)));
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    return fieldString(field).trimmed().toInt();
}

QString PointTable::fieldString(int field) const
{
    if (fieldIsNull(field))
        return {};
    const bool buffered = state_ == State::Edit || state_ == State::Insert;
    switch (store_.field(field).type) {
    case FieldType::Integer:
        return QString::number(fieldInteger(field));
    case FieldType::Boolean:
        return fieldBoolean(field) ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Float:
        return QString::number(fieldFloat(field), 'g', 15);
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    if (buffered)
        return buffer_[std::size_t(field)].text;
    return store_.text(field, Slot(currentSlot())).toString();
}

bool PointTable::fieldBoolean(int field) const
{
    if (fieldIsNull(field))
        return false;
    const bool buffered = state_ == State::Edit || state_ == State::Insert;
    switch (store_.field(field).type) {
    case FieldType::Boolean:
        return buffered ? buffer_[std::size_t(field)].boolean
                        : store_.boolean(field, Slot(currentSlot()));
    case FieldType::Integer:
        return fieldInteger(field) != 0;
    case FieldType::Float:
        return fieldFloat(field) != 0;
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    return fieldString(field).compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
}

double PointTable::fieldFloat(int field) const
{
    if (fieldIsNull(field))
        return 0;
    const bool buffered = state_ == State::Edit || state_ == State::Insert;
    switch (store_.field(field).type) {
    case FieldType::Float:
        return buffered ? buffer_[std::size_t(field)].real : store_.real(field, Slot(currentSlot()));
    case FieldType::Integer:
    case FieldType::Boolean:
        return fieldInteger(field);
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    return fieldString(field).trimmed().toDouble();
}

PointTable::Value PointTable::convert(const FieldDef& def, const QString* text,
                                     const std::int64_t* integer, const bool* boolean,
                                     const double* real)
{
    Value value;
    value.null = false;
    const bool clearing = !text && !integer && !boolean && !real;
    if (clearing) {
        value.null = true;
    } else {
        switch (def.type) {
        case FieldType::Integer:
            value.integer = integer ? std::int32_t(*integer)
                            : text  ? parseInteger(*text)
                            : boolean ? std::int32_t(*boolean)
                                      : std::int32_t(std::llround(*real));
            break;
        case FieldType::Boolean:
            value.boolean = boolean ? *boolean
                            : text  ? parseBoolean(*text)
                            : integer ? *integer != 0
                                      : *real != 0;
            break;
        case FieldType::Float:
            value.real = real      ? *real
                         : text    ? parseFloat(*text)
                         : integer ? double(*integer)
                                   : double(*boolean);
            break;
        case FieldType::String:
        case FieldType::Memo:
            value.text = text      ? *text
                         : integer ? QString::number(*integer)
                         : boolean ? (*boolean ? QStringLiteral("True") : QStringLiteral("False"))
                                   : QString::number(*real, 'g', 15);
            if (def.type == FieldType::String && def.size > 0 && value.text.size() > def.size)
                value.text.truncate(def.size);
            // Empty text makes a memo null; a string keeps it as a value.
            if (def.type == FieldType::Memo && value.text.isEmpty())
                value.null = true;
            break;
        }
    }
    return value;
}

void PointTable::writeField(int field, const QString* text, const std::int64_t* integer,
                            const bool* boolean, const double* real)
{
    if (!isOpen())
        return;
    if (state_ != State::Edit && state_ != State::Insert)
        throw DatabaseError(QStringLiteral("Dataset is not in edit mode."));
    const FieldDef& def = store_.field(field);
    if (def.readOnly)
        throw DatabaseError(QStringLiteral("Field %1 is read only").arg(def.displayName()));

    buffer_[std::size_t(field)] = convert(def, text, integer, boolean, real);
    bufferWritten_ = true;
    if (notifying())
        emit currentFieldChanged(field);
}

} // namespace kelvora
