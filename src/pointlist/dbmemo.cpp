#include "dbmemo.h"

#include "datasource.h"
#include "guard.h"
#include "pointtable.h"

namespace kelvora {

DBMemo::DBMemo(DataSource& source, const QString& fieldName, QWidget* parent)
    : QPlainTextEdit(parent), source_(source), fieldName_(fieldName)
{
    connect(&source_, &DataSource::tableChanged, this, [this] { guarded([&] { bind(); }); });
    connect(&source_, &DataSource::updateRecordRequested, this,
            [this] { guarded([&] { updateRecord(); }); });
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!loading_)
            dirty_ = true;
    });
    bind();
}

void DBMemo::bind()
{
    for (const auto& connection : connections_)
        disconnect(connection);
    connections_.clear();
    bound_ = source_.table();
    if (bound_) {
        const auto again = [this] {
            guarded([&] { refresh(); });
        };
        connections_.push_back(connect(bound_, &PointTable::currentChanged, this, again));
        connections_.push_back(connect(bound_, &PointTable::stateChanged, this, again));
        connections_.push_back(connect(bound_, &PointTable::reset, this, again));
        connections_.push_back(connect(bound_, &PointTable::rowChanged, this, again));
        connections_.push_back(
            connect(bound_, &PointTable::currentFieldChanged, this, [this, again](int field) {
                if (bound_->fieldIndex(fieldName_) == field)
                    again();
            }));
    }
    refresh();
}

void DBMemo::refresh()
{
    if (dirty_ && hasFocus())
        return; // the user's text stays until it is written
    QString text;
    const int field = bound_ ? bound_->fieldIndex(fieldName_) : -1;
    if (bound_ && bound_->isOpen() && field >= 0 &&
        (bound_->state() != PointTable::State::Browse || bound_->currentRow() >= 0))
        text = bound_->fieldString(field);
    loading_ = true;
    if (text != toPlainText())
        setPlainText(text);
    loading_ = false;
    dirty_ = false;
    setReadOnly(!bound_ || !bound_->isOpen());
}

void DBMemo::updateRecord()
{
    if (!dirty_ || !bound_ || !bound_->isOpen())
        return;
    const int field = bound_->fieldIndex(fieldName_);
    if (field < 0)
        return;
    if (bound_->state() == PointTable::State::Browse)
        bound_->edit();
    dirty_ = false;
    Field target(bound_, field);
    const QString text = toPlainText();
    if (text.isEmpty())
        target.clear();
    else
        target.setAsString(text);
}

void DBMemo::focusOutEvent(QFocusEvent* event)
{
    guarded([&] { updateRecord(); });
    QPlainTextEdit::focusOutEvent(event);
}

} // namespace kelvora
