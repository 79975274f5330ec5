#include "pointgrid.h"

#include "datasource.h"
#include "guard.h"
#include "pointlistmodel.h"
#include "pointtable.h"
#include "prompts.h"
#include "searchhighlight.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QScrollBar>

namespace kelvora {

namespace {

std::int64_t steadyMilliseconds()
{
    static QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace

PointGrid::PointGrid(DataSource& source, QWidget* parent)
    : QTableView(parent), source_(source), model_(new PointListModel(source, this))
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);
    setModel(model_);
    setItemDelegate(new SearchHighlight(
        [this](const QModelIndex& index) {
            return searching_ && index == currentIndex() ? searchText_ : QString();
        },
        this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setShowGrid(true);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("\u25B6")) + 8);
    verticalHeader()->setHighlightSections(false);

    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] {
        guarded([&] {
            if (searching_ && timed_ && now() - lastTyped_ >= searchTimeout)
                endSearch();
        });
    });
    connect(model_, &PointListModel::currentRowChanged, this,
            [this](int row) { guarded([&] { followTable(row); }); });
    connect(model_, &QAbstractItemModel::modelReset, this,
            [this] { guarded([&] { followTable(model_->currentDisplayRow()); }); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        const bool ctrl =
            (QApplication::keyboardModifiers() &
             (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier)) ==
            Qt::ControlModifier;
        titleClick(column, ctrl);
    });
    fitColumns();
}

PointTable* PointGrid::table() const
{
    return model_->table();
}

std::int64_t PointGrid::now() const
{
    return clock_ ? clock_() : steadyMilliseconds();
}

int PointGrid::selectedColumn() const
{
    return currentIndex().isValid() ? currentIndex().column() : 0;
}

void PointGrid::titleClick(int column, bool ctrl)
{
    if (column < 0 || column >= int(markers_.size()))
        return;
    guarded([&] {
        if (onTitleClick)
            onTitleClick(column);
        Marker next = Marker::Down;
        switch (markers_[std::size_t(column)]) {
        case Marker::None:
            next = Marker::Down;
            break;
        case Marker::Down:
            next = Marker::Up;
            break;
        case Marker::Up:
            next = ctrl ? Marker::None : Marker::Down;
            break;
        }
        markers_.fill(Marker::None);
        markers_[std::size_t(column)] = next;
        QHeaderView* header = horizontalHeader();
        header->setSortIndicatorShown(next != Marker::None);
        if (next != Marker::None)
            header->setSortIndicator(column, next == Marker::Down ? Qt::AscendingOrder
                                                                  : Qt::DescendingOrder);
    });
}

void PointGrid::fitColumns()
{
    // A section's width includes its grid line, so each column gets its
    // share plus the line's pixel.
    const int count = int(columnLimits.size());
    const int space = viewport()->width() - count - 1;
    const std::vector<int> widths = fitColumnWidths(columnLimits, space);
    for (int column = 0; column < count && column < model_->columnCount(); ++column)
        setColumnWidth(column, widths[std::size_t(column)] + 1);
}

void PointGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    guarded([&] { fitColumns(); });
}

// The table moved its cursor: the grid's current row follows.
void PointGrid::followTable(int row)
{
    const QModelIndex current = currentIndex();
    if (searching_ && !following_ && current.isValid() && current.row() != row)
        endSearch();
    if (row < 0 || row >= model_->rowCount()) {
        following_ = true;
        selectionModel()->clearSelection();
        following_ = false;
        return;
    }
    const int column = current.isValid() ? current.column() : 0;
    const QModelIndex target = model_->index(row, column);
    if (target == current && selectionModel()->isRowSelected(row, {}))
        return;
    following_ = true;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    scrollTo(target);
    following_ = false;
}

void PointGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (following_)
        return;
    if (searching_ && (current.column() != previous.column() || current.row() != previous.row()))
        endSearch();
    guarded([&] {
        PointTable* t = table();
        if (!t || !t->isOpen() || !current.isValid())
            return;
        if (current.row() != model_->currentDisplayRow() && current.row() < t->visibleCount())
            t->setCurrentRow(current.row());
    });
    // A failed post leaves the record where it was.
    const int row = model_->currentDisplayRow();
    if (row >= 0 && current.isValid() && current.row() != row)
        followTable(row);
}

void PointGrid::goToColumn(int column)
{
    const int row = currentIndex().isValid() ? currentIndex().row() : model_->currentDisplayRow();
    if (row < 0)
        return;
    column = std::clamp(column, 0, PointListModel::ColumnCount - 1);
    setCurrentIndex(model_->index(row, column));
}

void PointGrid::moveRow(int row)
{
    PointTable* t = table();
    if (t->visibleCount() == 0)
        return;
    t->setCurrentRow(std::clamp(row, 0, t->visibleCount() - 1));
}

void PointGrid::keyDown()
{
    PointTable* t = table();
    if (t->state() == PointTable::State::Insert) {
        // An untouched new record at the end stays as it is.
        if (!model_->recordModified())
            return;
        t->post();
        return;
    }
    if (t->visibleCount() == 0 || t->currentRow() >= t->visibleCount() - 1)
        t->append();
    else
        t->next();
}

void PointGrid::keyUp()
{
    PointTable* t = table();
    if (t->state() == PointTable::State::Insert) {
        // Settles the new record (an untouched one is dropped) and goes to
        // the record before it.
        const int before = t->visibleCount();
        if (before == 0)
            t->cancel();
        else
            t->setCurrentRow(before - 1);
        return;
    }
    t->prior();
}

void PointGrid::toggleFlag()
{
    PointTable* t = table();
    const int field = model_->fieldOfColumn(PointListModel::ColumnPrn);
    if (field < 0)
        return;
    if (t->state() == PointTable::State::Browse) {
        if (t->visibleCount() == 0)
            return;
        t->edit();
    }
    Field flag(t, field);
    flag.setAsBoolean(flag.isNull() || !flag.asBoolean());
}

void PointGrid::keyPressEvent(QKeyEvent* event)
{
    // A key whose handling failed is not handled a second time by the view.
    bool handled = true;
    guarded([&] { handled = handleKey(event); });
    if (handled)
        event->accept();
    else
        QTableView::keyPressEvent(event);
}

bool PointGrid::handleKey(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods =
        event->modifiers() &
        (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key == Qt::Key_Delete) {
        if (onDeleteKey)
            onDeleteKey();
        PointTable* t = table();
        if (mods == Qt::ControlModifier && t && t->isOpen()) {
            Prompts::Question question;
            question.text = QStringLiteral("Delete record?");
            question.buttons = {Prompts::Button::Ok, Prompts::Button::Cancel};
            question.defaultButton = Prompts::Button::Ok;
            question.escapeButton = Prompts::Button::Cancel;
            if (prompts().ask(question) == Prompts::Button::Ok)
                t->deleteRecord();
        }
        return true;
    }
    PointTable* t = table();
    if (!t || !t->isOpen())
        return true;

    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (searching_) {
        if (key == Qt::Key_Backspace && mods == Qt::NoModifier) {
            searchText_.chop(1);
            restartTimeout();
            viewport()->update();
            return true;
        }
        if (enter && mods == Qt::ControlModifier) {
            searchNext(false);
            return true;
        }
        if (enter && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
            searchNext(true);
            return true;
        }
        if (key == Qt::Key_Insert && mods == Qt::ShiftModifier) {
            typeText(QApplication::clipboard()->text());
            return true;
        }
        if ((enter || key == Qt::Key_Escape || key == Qt::Key_F2) && mods == Qt::NoModifier)
            endSearch(); // and the key goes on to its usual effect
    }
    if (key == Qt::Key_F && mods == Qt::ControlModifier) {
        startSearch(QString(), false);
        return true;
    }
    const bool editing = state() == QAbstractItemView::EditingState;
    switch (key) {
    case Qt::Key_Up:
        keyUp();
        return true;
    case Qt::Key_Down:
        keyDown();
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(0)));
        const int row = std::max(0, t->currentRow());
        moveRow(key == Qt::Key_PageUp ? row - page : row + page);
        return true;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
        if (mods & Qt::ControlModifier) {
            if (key == Qt::Key_Home)
                t->first();
            else
                t->last();
        } else {
            goToColumn(key == Qt::Key_Home ? 0 : PointListModel::ColumnCount - 1);
        }
        return true;
    case Qt::Key_Left:
        goToColumn(selectedColumn() - 1);
        return true;
    case Qt::Key_Right:
        goToColumn(selectedColumn() + 1);
        return true;
    case Qt::Key_Tab:
        if (selectedColumn() == PointListModel::ColumnCount - 1) {
            t->next();
            goToColumn(0);
        } else {
            goToColumn(selectedColumn() + 1);
        }
        return true;
    case Qt::Key_Backtab:
        if (selectedColumn() == 0) {
            t->prior();
            goToColumn(PointListModel::ColumnCount - 1);
        } else {
            goToColumn(selectedColumn() - 1);
        }
        return true;
    case Qt::Key_F2:
        if (!editing && currentIndex().isValid())
            edit(currentIndex());
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!editing && currentIndex().isValid() && selectedColumn() != PointListModel::ColumnPrn)
            edit(currentIndex());
        return true;
    case Qt::Key_Escape:
        if (t->state() != PointTable::State::Browse)
            t->cancel();
        return true;
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier) {
            t->append();
            return true;
        }
        break;
    default:
        break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() >= 32 &&
        !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        if (text == QStringLiteral(" ") && selectedColumn() == PointListModel::ColumnPrn) {
            toggleFlag();
            return true;
        }
        if (searching_ || !editing) {
            typeText(text);
            return true;
        }
    }
    return false;
}

bool PointGrid::matches(int row, const QString& upperText) const
{
    return model_->searchTextStartsWith(row, selectedColumn(), upperText, QLocale());
}

void PointGrid::typeText(const QString& typed)
{
    if (searching_ && timed_ && now() - lastTyped_ >= searchTimeout)
        endSearch();
    const bool wasTimed = searching_ ? timed_ : true;
    for (const QChar c : typed) {
        if (c.unicode() < 32)
            continue;
        const QString text = searchText_ + c;
        if (searchFor(text))
            searchText_ = text;
    }
    startSearch(searchText_, wasTimed);
}

// Makes the first record whose text begins with `text` current; false, with
// the current record kept, when none does.
bool PointGrid::searchFor(const QString& text)
{
    PointTable* t = table();
    const QString upper = QLocale().toUpper(text);
    const int current = t->currentRow();
    if (current >= 0 && matches(current, upper))
        return true;
    for (int row = 0; row < t->visibleCount(); ++row) {
        model_->prefetchSearchText(row, selectedColumn());
        if (matches(row, upper)) {
            following_ = true; // the row change is the search's own
            t->setCurrentRow(row);
            following_ = false;
            followTable(model_->currentDisplayRow());
            return true;
        }
    }
    return false;
}

void PointGrid::searchNext(bool backward)
{
    PointTable* t = table();
    const QString upper = QLocale().toUpper(searchText_);
    const int current = t->currentRow();
    const int step = backward ? -1 : 1;
    for (int row = current + step; row >= 0 && row < t->visibleCount(); row += step)
        if (matches(row, upper)) {
            following_ = true;
            t->setCurrentRow(row);
            following_ = false;
            followTable(model_->currentDisplayRow());
            break;
        }
    restartTimeout();
    viewport()->update();
}

void PointGrid::startSearch(const QString& text, bool timeout)
{
    searchText_ = text;
    searching_ = true;
    timed_ = timeout;
    restartTimeout();
    viewport()->update();
}

void PointGrid::restartTimeout()
{
    lastTyped_ = now();
    if (timed_)
        timeout_.start(searchTimeout);
    else
        timeout_.stop();
}

void PointGrid::endSearch()
{
    searching_ = false;
    searchText_.clear();
    timeout_.stop();
    viewport()->update();
}

void PointGrid::mousePressEvent(QMouseEvent* event)
{
    pressed_ =
        event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : QModelIndex();
    QTableView::mousePressEvent(event);
}

void PointGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const QModelIndex released = indexAt(event->position().toPoint());
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && released.isValid() && released == pressed_ &&
        released.column() == PointListModel::ColumnPrn)
        guarded([&] {
            if (table() && table()->isOpen() && model_->currentDisplayRow() == released.row())
                toggleFlag();
        });
    pressed_ = {};
}

void PointGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QTableView::mouseDoubleClickEvent(event);
        return;
    }
    guarded([&] {
        int x = 0;
        int y = 0;
        PointTable* t = table();
        if (t && t->isOpen() && (t->state() != PointTable::State::Browse || t->currentRow() >= 0)) {
            const QString xs = model_->searchText(model_->currentDisplayRow(), 0);
            const QString ys = model_->searchText(model_->currentDisplayRow(), 1);
            x = xs.toInt();
            y = ys.toInt();
        }
        if (onDoubleClick)
            onDoubleClick(x, y);
    });
}

} // namespace kelvora
