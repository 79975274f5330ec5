#include "pointlistmodel.h"

#include "datasource.h"
#include "guard.h"
#include "pointtable.h"
#include "searchmatch.h"

namespace kelvora {

namespace {

const char16_t* const fieldNames[PointListModel::ColumnCount] = {u"X", u"Y", u"NAME_EN",
                                                                 u"NAME_RUS", u"OBR"};
const char* const titles[PointListModel::ColumnCount] = {"X", "Y", "NAME", "NAME_RUS", "PRN"};

} // namespace

PointListModel::PointListModel(DataSource& source, QObject* parent)
    : QAbstractTableModel(parent), source_(source)
{
    connect(&source_, &DataSource::tableChanged, this, &PointListModel::bind);
    bind();
}

PointTable* PointListModel::table() const
{
    return bound_;
}

void PointListModel::bind()
{
    beginResetModel();
    for (const auto& connection : connections_)
        disconnect(connection);
    connections_.clear();
    bound_ = source_.table();
    lookUpFields();
    extraRow_ = wantsExtraRow();
    modified_ = false;
    markedRow_ = currentDisplayRow();
    if (bound_) {
        PointTable* t = bound_;
        connections_.push_back(
            connect(t, &PointTable::aboutToReset, this, &PointListModel::onAboutToReset));
        connections_.push_back(connect(t, &PointTable::reset, this, &PointListModel::onReset));
        connections_.push_back(connect(t, &PointTable::rowAboutToBeInserted, this, [this](int row) {
            syncExtraRow();
            beginInsertRows({}, row, row);
        }));
        connections_.push_back(
            connect(t, &PointTable::rowInserted, this, [this] { endInsertRows(); }));
        connections_.push_back(connect(t, &PointTable::rowAboutToBeRemoved, this, [this](int row) {
            syncExtraRow();
            if (markedRow_ == row)
                markedRow_ = -1;
            beginRemoveRows({}, row, row);
        }));
        connections_.push_back(
            connect(t, &PointTable::rowRemoved, this, [this] { endRemoveRows(); }));
        connections_.push_back(connect(t, &PointTable::rowChanged, this, [this](int row) {
            if (row >= 0 && row < rowCount())
                emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        }));
        connections_.push_back(
            connect(t, &PointTable::stateChanged, this, &PointListModel::onStateChanged));
        connections_.push_back(
            connect(t, &PointTable::currentChanged, this, &PointListModel::onCurrentChanged));
        connections_.push_back(connect(t, &PointTable::currentFieldChanged, this,
                                       &PointListModel::onCurrentFieldChanged));
    }
    endResetModel();
    emit currentRowChanged(currentDisplayRow());
}

void PointListModel::lookUpFields()
{
    for (int column = 0; column < ColumnCount; ++column)
        fields_[column] = bound_ ? bound_->fieldIndex(fieldNames[column]) : -1;
}

bool PointListModel::wantsExtraRow() const
{
    return bound_ && bound_->state() == PointTable::State::Insert;
}

// The table tells of its insert state only through stateChanged, and a
// posted insert announces its stored row before that; the extra row is put
// in line first.
void PointListModel::syncExtraRow()
{
    if (resetting_ || !bound_)
        return;
    const bool wanted = wantsExtraRow();
    if (wanted == extraRow_)
        return;
    const int row = bound_->visibleCount();
    if (wanted) {
        beginInsertRows({}, row, row);
        extraRow_ = true;
        endInsertRows();
    } else {
        beginRemoveRows({}, row, row);
        extraRow_ = false;
        endRemoveRows();
        if (markedRow_ == row)
            markedRow_ = -1;
    }
}

void PointListModel::onAboutToReset()
{
    resetting_ = true;
    beginResetModel();
}

void PointListModel::onReset()
{
    lookUpFields();
    extraRow_ = wantsExtraRow();
    markedRow_ = -1;
    resetting_ = false;
    endResetModel();
}

void PointListModel::onStateChanged()
{
    if (resetting_)
        return;
    modified_ = false;
    syncExtraRow();
    onCurrentChanged();
    markRow(currentDisplayRow());
}

void PointListModel::onCurrentChanged()
{
    if (resetting_)
        return;
    const int row = currentDisplayRow();
    if (row != markedRow_) {
        const int old = markedRow_;
        markedRow_ = row;
        markRow(old);
        markRow(row);
    }
    emit currentRowChanged(row);
}

void PointListModel::markRow(int row)
{
    if (row >= 0 && row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, row);
}

void PointListModel::onCurrentFieldChanged(int field)
{
    modified_ = true;
    const int row = currentDisplayRow();
    if (row < 0 || row >= rowCount())
        return;
    for (int column = 0; column < ColumnCount; ++column)
        if (fields_[column] == field)
            emit dataChanged(index(row, column), index(row, column));
}

int PointListModel::currentDisplayRow() const
{
    if (!bound_ || !bound_->isOpen())
        return -1;
    if (bound_->state() == PointTable::State::Insert)
        return extraRow_ ? bound_->visibleCount() : -1;
    return bound_->currentRow();
}

int PointListModel::fieldOfColumn(int column) const
{
    return column >= 0 && column < ColumnCount ? fields_[column] : -1;
}

bool PointListModel::readsBuffer(int row) const
{
    const auto state = bound_->state();
    return (state == PointTable::State::Insert && row == bound_->visibleCount()) ||
           (state == PointTable::State::Edit && row == bound_->currentRow());
}

int PointListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !bound_ || !bound_->isOpen())
        return 0;
    return bound_->visibleCount() + (extraRow_ ? 1 : 0);
}

int PointListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString PointListModel::searchText(int row, int column) const
{
    const int field = fieldOfColumn(column);
    if (field < 0 || row < 0 || row >= rowCount())
        return {};
    if (readsBuffer(row)) {
        if (bound_->fieldIsNull(field))
            return {};
        return bound_->fieldString(field);
    }
    // The extra row of an insert that has just been settled: its record is
    // no longer held apart.
    if (row >= bound_->visibleCount())
        return {};
    const RecordStore& store = bound_->store();
    const Slot slot = bound_->slotAtRow(row);
    if (store.isNull(field, slot))
        return {};
    switch (store.field(field).type) {
    case FieldType::Integer:
        return QString::number(store.integer(field, slot));
    case FieldType::Boolean:
        return store.boolean(field, slot) ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Float:
        return QString::number(store.real(field, slot));
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    return store.text(field, slot).toString();
}

bool PointListModel::searchTextStartsWith(int row, int column, QStringView upperPrefix,
                                          const QLocale& locale) const
{
    const int field = fieldOfColumn(column);
    if (field >= 0 && row >= 0 && row < bound_->visibleCount() && !readsBuffer(row)) {
        const RecordStore& store = bound_->store();
        const FieldType type = store.field(field).type;
        if (type == FieldType::String || type == FieldType::Memo) {
            const Slot slot = bound_->slotAtRow(row);
            return upperStartsWith(store.isNull(field, slot) ? QStringView()
                                                             : store.text(field, slot),
                                   upperPrefix, locale);
        }
    }
    return upperStartsWith(searchText(row, column), upperPrefix, locale);
}

void PointListModel::prefetchSearchText(int row, int column) const
{
    constexpr int soon = 16, sooner = 8;
    const int field = fieldOfColumn(column);
    if (field < 0 || row < 0 || row + soon >= bound_->visibleCount())
        return;
    const RecordStore& store = bound_->store();
    const FieldType type = store.field(field).type;
    if (type == FieldType::String || type == FieldType::Memo)
        store.prefetchText(field, bound_->slotAtRow(row + soon), bound_->slotAtRow(row + sooner));
}

QVariant PointListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int column = index.column();
    const int field = fieldOfColumn(column);
    if (field < 0)
        return {};
    const bool flag = bound_->store().field(field).type == FieldType::Boolean;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return flag ? QVariant() : QVariant(searchText(index.row(), column));
    case SearchTextRole:
        return searchText(index.row(), column);
    case Qt::CheckStateRole: {
        if (!flag)
            return {};
        const QString text = searchText(index.row(), column);
        if (text.isEmpty())
            return Qt::PartiallyChecked;
        return text == QStringLiteral("True") ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::TextAlignmentRole: {
        const FieldType type = bound_->store().field(field).type;
        if (type == FieldType::Integer || type == FieldType::Float)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        if (flag)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        return {};
    }
    default:
        return {};
    }
}

QVariant PointListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                     : QVariant();
    if (section != currentDisplayRow())
        return QString();
    // The indicator column: browsing, editing and inserting marks.
    switch (bound_->state()) {
    case PointTable::State::Edit:
        return QStringLiteral("I");
    case PointTable::State::Insert:
        return QStringLiteral("*");
    default:
        return QStringLiteral("\u25B6");
    }
}

Qt::ItemFlags PointListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() != ColumnPrn)
        result |= Qt::ItemIsEditable;
    return result;
}

bool PointListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.row() >= rowCount())
        return false;
    const int field = fieldOfColumn(index.column());
    if (field < 0)
        return false;
    bool done = false;
    guarded([&] {
        if (!readsBuffer(index.row())) {
            if (index.row() != bound_->currentRow())
                bound_->setCurrentRow(index.row());
            bound_->edit();
        }
        const QString text = value.toString();
        Field target(bound_, field);
        if (text.isEmpty())
            target.clear();
        else
            target.setAsString(text);
        done = true;
    });
    return done;
}

} // namespace kelvora
