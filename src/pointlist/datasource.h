#pragma once

#include "pointtable.h"

#include <QObject>
#include <QPointer>

namespace kelvora {

// The data link between a point table and the controls that show it. It can
// be detached (bound to nothing); while detached, bound controls show
// nothing and do not follow any table.
class DataSource : public QObject
{
    Q_OBJECT

public:
    explicit DataSource(QObject* parent = nullptr);

    // The bound table, or null while detached.
    PointTable* table() const { return table_; }
    void attach(PointTable& table);
    void detach();

    // Asks every bound control to write its pending text to the field,
    // before the record is posted.
    void updateRecord();

signals:
    // The link was attached to a table or detached.
    void tableChanged();
    void updateRecordRequested();

private:
    QPointer<PointTable> table_;
};

} // namespace kelvora
