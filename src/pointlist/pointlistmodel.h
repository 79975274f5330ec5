#pragma once

#include <QAbstractTableModel>
#include <QLocale>
#include <QMetaObject>
#include <QStringView>
#include <vector>

namespace kelvora {

class DataSource;
class PointTable;

// The visible records of the data source's table in the current order, one
// row each; while the table is inserting a record, that record is shown as
// one more row at the end. Rows map to records through the table's visible
// index, so no call does work in proportion to the table's size.
class PointListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { ColumnX, ColumnY, ColumnName, ColumnNameRus, ColumnPrn, ColumnCount };
    // The text an incremental search compares: numbers as shown, "True" or
    // "False" for the flag, empty for null.
    static constexpr int SearchTextRole = Qt::UserRole + 1;

    explicit PointListModel(DataSource& source, QObject* parent = nullptr);

    PointTable* table() const;
    // The row of the current record (the extra row while inserting), or -1.
    int currentDisplayRow() const;
    // Whether any field of the record in edit or insert was written.
    bool recordModified() const { return modified_; }
    // The table's field shown in `column`, or -1.
    int fieldOfColumn(int column) const;
    // The search text of `row` in `column`.
    QString searchText(int row, int column) const;
    // Whether that text, upper-cased by the locale, begins with `upperPrefix`;
    // texts are looked at where they are stored, without a copy.
    bool searchTextStartsWith(int row, int column, QStringView upperPrefix,
                              const QLocale& locale) const;
    // For a search going down the rows: asks memory for the texts of the
    // rows a little ahead of `row`, which in a sorted list lie anywhere.
    void prefetchSearchText(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Editing a cell makes its record current, puts it into edit and writes
    // the field; failures are shown in the error box and return false.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // The current record moved (or the table's state changed it).
    void currentRowChanged(int row);

private:
    void bind();
    void lookUpFields();
    bool wantsExtraRow() const;
    void syncExtraRow();
    void markRow(int row);
    void onAboutToReset();
    void onReset();
    void onStateChanged();
    void onCurrentChanged();
    void onCurrentFieldChanged(int field);
    bool readsBuffer(int row) const;

    DataSource& source_;
    PointTable* bound_ = nullptr;
    std::vector<QMetaObject::Connection> connections_;
    int fields_[ColumnCount] = {-1, -1, -1, -1, -1};
    bool extraRow_ = false;
    bool resetting_ = false;
    bool modified_ = false;
    int markedRow_ = -1;
};

} // namespace kelvora
