#pragma once

#include "columnfit.h"

#include <QString>
#include <QTableView>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>

namespace kelvora {

class DataSource;
class PointListModel;
class PointTable;

// The point list: the visible records of the data source's table, the
// current row following the table's current record both ways, title clicks
// with sort markers, incremental search, the flag toggle, in-place editing
// and the grid's keys.
class PointGrid : public QTableView
{
    Q_OBJECT

public:
    enum class Marker { None, Down, Up };
    static constexpr int searchTimeout = 1500; // milliseconds
    static constexpr std::array<ColumnLimit, 5> columnLimits{
        {{35, 40}, {35, 40}, {75, 0}, {92, 0}, {29, 29}}};

    // Milliseconds from any fixed start.
    using Clock = std::function<std::int64_t()>;

    explicit PointGrid(DataSource& source, QWidget* parent = nullptr);

    PointListModel& pointModel() const { return *model_; }
    PointTable* table() const;

    // Called by the Delete key with any modifier, before the grid's own
    // handling of Ctrl+Delete.
    std::function<void()> onDeleteKey;
    // Called by a title click with the markers as before the click.
    std::function<void(int column)> onTitleClick;
    // Called by a double click with the current record's X and Y.
    std::function<void(int x, int y)> onDoubleClick;

    Marker marker(int column) const { return markers_[std::size_t(column)]; }
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // Incremental search.
    bool searching() const { return searching_; }
    const QString& searchText() const { return searchText_; }
    int selectedColumn() const;

    // A title click on `column` as the mouse gives it.
    void titleClick(int column, bool ctrl);
    // Fits the columns into the grid's width.
    void fitColumns();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    bool handleKey(QKeyEvent* event);
    void followTable(int row);
    void goToColumn(int column);
    void moveRow(int row);
    void keyDown();
    void keyUp();
    void toggleFlag();
    void typeText(const QString& text);
    bool searchFor(const QString& text);
    void searchNext(bool backward);
    void startSearch(const QString& text, bool timeout);
    void endSearch();
    void restartTimeout();
    bool matches(int row, const QString& upperText) const;
    std::int64_t now() const;

    DataSource& source_;
    PointListModel* model_ = nullptr;
    std::array<Marker, 5> markers_{};
    bool following_ = false;
    bool searching_ = false;
    bool timed_ = false;
    QString searchText_;
    std::int64_t lastTyped_ = 0;
    Clock clock_;
    QTimer timeout_;
    QModelIndex pressed_;
};

} // namespace kelvora
