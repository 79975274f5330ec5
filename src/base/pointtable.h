#pragma once

#include "compareoptions.h"
#include "fielddef.h"
#include "hugearray.h"
#include "orderpositions.h"
#include "recordfilter.h"
#include "recordstore.h"
#include "sortplacement.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <vector>

namespace kelvora {

class LocateIndex;
class PointTable;

// A handle on one field of a table; reads and writes go to the table's
// current record (in edit and insert state, the record being changed).
class Field
{
public:
    Field(PointTable* table, int index) : table_(table), index_(index) {}

    int index() const { return index_; }
    const QString& name() const;
    QString displayName() const;
    const FieldDef& definition() const;

    bool isNull() const;
    std::int32_t asInteger() const;
    QString asString() const;
    bool asBoolean() const;
    double asFloat() const;

    void setAsInteger(std::int32_t value);
    void setAsString(const QString& value);
    void setAsBoolean(bool value);
    void setAsFloat(double value);
    void clear();

private:
    PointTable* table_;
    int index_;
};

// The in-memory table of one base: its records, a cursor on the current
// record, the edit state, the filter and the sort order. Failures are thrown
// as DatabaseError with the texts the user sees.
class PointTable : public QObject
{
    Q_OBJECT

public:
    enum class State { Closed, Browse, Edit, Insert };

    static constexpr std::int64_t defaultBookmarkLimit = 2147483599;
    static constexpr int localeIdDefault = 1024;

    explicit PointTable(const QString& name, QObject* parent = nullptr);
    ~PointTable() override;

    const QString& tableName() const { return name_; }
    int localeId() const { return localeId_; }

    // Fields. The field set survives close and open; a load replaces it.
    const std::vector<FieldDef>& fields() const { return store_.fields(); }
    int fieldCount() const { return store_.fieldCount(); }
    Field fieldByName(QStringView name);
    // -1 when the table has no field of that name (letter case ignored).
    int fieldIndex(QStringView name) const { return indexOfField(fields(), name); }
    // Replaces the fields; the table must be closed.
    void setFields(std::vector<FieldDef> fields);

    // Lifecycle and state.
    void open();
    void close();
    bool isOpen() const { return state_ != State::Closed; }
    State state() const { return state_; }

    // Records.
    void append();
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    void empty();

    // The cursor over the visible records of the current order.
    void first();
    void next();
    void prior();
    void last();
    bool eof() const { return atEnd_; }
    bool bof() const { return atStart_; }
    int recordCount();

    // The visible records as rows, for views: row i is the i-th visible
    // record of the current order.
    int visibleCount() const { return int(visible_.size()); }
    Slot slotAtRow(int row) const { return currentOrder()[visible_[std::size_t(row)]]; }
    // The current record's row, or -1 when there is none or it is not yet
    // stored (insert state).
    int currentRow() const { return state_ == State::Insert ? -1 : int(cursor_); }
    // Settles a pending edit, then makes the record of `row` current.
    void setCurrentRow(int row);
    // The slot the fields read from, or -1: the current stored record.
    std::int64_t currentSlot() const;

    // Copies records of `source` from its current record on into
    // `destination`; called on the source. Returns the number copied.
    int copyRecords(PointTable* source, PointTable* destination, int count);

    // Filtering.
    const QString& filter() const { return filter_; }
    void setFilter(const QString& text);
    bool filtered() const { return filtered_; }
    void setFiltered(bool on);
    FilterOptions filterOptions() const { return filterOptions_; }
    void setFilterOptions(FilterOptions options) { filterOptions_ = options; }
    // Whether records are being hidden now: filtering on and a compiled filter.
    bool filterInForce() const { return filtered_ && compiledFilter_ != nullptr; }

    // Sort order.
    const QString& sortFields() const { return sortFields_; }
    void setSortFields(const QString& fields) { sortFields_ = fields; }
    bool hasSortOrder() const { return sortPlacement_ != nullptr; }
    // The current order: the sort order while one is in force, else the row
    // order. Free slots never stand in it.
    std::span<const Slot> currentOrder() const
    {
        return sortPlacement_ ? sortOrder_.view() : rowOrder_.view();
    }
    std::span<const Slot> rowOrder() const { return rowOrder_.view(); }

    // Makes `order` (every record of the row order, rearranged) the current
    // order, kept up to date by `placement`; the cursor stays on the current
    // record when it is visible, else goes to the first visible record.
    void installSortOrder(HugeArray<Slot> order, std::unique_ptr<SortPlacement> placement);
    // Drops the sort order; the row order is the current order again.
    void dropSortOrder();
    // Puts the table into the order of `sortFields()` (key field list
    // letters plus `options`); records equal on every field by slot number,
    // reversed when the first field is descending. A blank list leaves the
    // row order. Then settles a pending edit; the current record stays when
    // visible, else the first visible one is current. A failure leaves the
    // row order. Nothing happens on a closed table.
    void sort(SortOptions options = {});

    // Locate. `values` is one value for a single key field or a list with
    // one value per field (extra ones ignored); a null value matches a null
    // field. Settles a pending edit, then makes the first visible record of
    // the current order whose key fields equal the values current and
    // returns true; returns false and changes nothing when there is none.
    // Without options the records are found through a hash index; with
    // options, by a walk.
    bool locate(const QString& keyFields, const QVariant& values, LocateOptions options = {});
    // The same as locate, always by walking the visible records in order.
    bool locateByScan(const QString& keyFields, const QVariant& values, LocateOptions options = {});

    // The stored records, for readers, writers and scans.
    const RecordStore& store() const { return store_; }

    // Holding notifications back: views are told once, with one reset, when
    // the outermost hold ends.
    void holdNotifications();
    void releaseNotifications();

    // Bulk loading, used by the base file reader: records go straight into
    // storage at the end of the row order. endBulkLoad rebuilds the visible
    // records and makes the first one current.
    void beginBulkLoad(std::size_t expectedRecords);
    Slot bulkAddRecord(std::uint8_t status);
    RecordStore& bulkStore() { return store_; }
    void endBulkLoad();

    // Limit of records appended or loaded since the table was last emptied
    // or closed; tables keep the default.
    void setBookmarkLimit(std::int64_t limit) { bookmarkLimit_ = limit; }

    // Raw access for Field.
    bool fieldIsNull(int field) const;
    std::int32_t fieldInteger(int field) const;
    QString fieldString(int field) const;
    bool fieldBoolean(int field) const;
    double fieldFloat(int field) const;
    void writeField(int field, const QString* text, const std::int64_t* integer,
                    const bool* boolean, const double* real);

signals:
    // Emitted for bound views; none while notifications are held.
    void stateChanged();
    void currentChanged();
    void currentFieldChanged(int field);
    void aboutToReset();
    void reset();
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowChanged(int row);

private:
    struct Value
    {
        bool null = true;
        std::int32_t integer = 0;
        bool boolean = false;
        double real = 0;
        QString text;
    };

    static Value convert(const FieldDef& def, const QString* text, const std::int64_t* integer,
                         const bool* boolean, const double* real);
    void requireOpen() const;
    void settle();
    void loadBuffer(Slot slot);
    void storeBuffer(Slot slot);
    bool isVisible(Slot slot) const;
    void rebuildVisible();
    void compileFilter();
    void goFirst();
    void chooseByPosition(std::int64_t position);
    std::int64_t rowOfPosition(std::size_t position) const;
    void shiftVisible(std::size_t fromPosition, int delta);
    std::size_t rowOrderIndexOf(Slot slot) const;
    void insertIntoSortOrder(Slot slot);
    void setState(State state);
    void notifyCurrent();
    void notifyRefresh();
    bool notifying() const { return holds_ == 0; }
    void resetRecords();
    void indexStored(Slot slot);
    int findRow(const QString& keyFields, const QVariant& values, LocateOptions options,
                bool indexed);

    QString name_;
    int localeId_ = localeIdDefault;
    RecordStore store_;
    State state_ = State::Closed;

    HugeArray<Slot> rowOrder_;
    HugeArray<Slot> sortOrder_;
    std::unique_ptr<SortPlacement> sortPlacement_;
    QString sortFields_;

    // Positions in the current order of the visible records, ascending.
    HugeArray<std::uint32_t> visible_;
    std::int64_t cursor_ = -1; // index into visible_, -1 for none
    bool atEnd_ = true;
    bool atStart_ = true;

    // The record being changed in edit or insert state, held apart.
    std::vector<Value> buffer_;
    bool bufferWritten_ = false;
    bool insertFromEmpty_ = false;
    Slot editSlot_ = 0;

    QString filter_;
    bool filtered_ = false;
    FilterOptions filterOptions_;
    std::unique_ptr<RecordFilter> compiledFilter_;

    // Finds records for locate without a walk; kept up to date by every
    // change of the records and of the current order.
    std::unique_ptr<LocateIndex> locateIndex_;
    OrderPositions positions_;

    std::int64_t bookmarks_ = 0;
    std::int64_t bookmarkLimit_ = defaultBookmarkLimit;
    int holds_ = 0;
};

} // namespace kelvora
