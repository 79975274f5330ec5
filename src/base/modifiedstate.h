#pragma once

#include "pointtable.h"

#include <QObject>
#include <cstddef>
#include <cstdint>

namespace kelvora {

// Whether the open base has changed since it was last loaded, opened empty
// or saved. Posts, deletes and posted edits that move or hide a record count
// (a posted edit counts even when it changed no value); cancelled edits and
// cursor moves do not. Changes made while the table holds its
// notifications are invisible here: whoever makes them marks the state
// (fingerprint() tells whether anything changed).
class ModifiedState : public QObject
{
    Q_OBJECT

public:
    explicit ModifiedState(PointTable& table, QObject* parent = nullptr);

    bool modified() const { return modified_; }
    void markModified() { modified_ = true; }
    // After a load, an empty open or a save.
    void clear();

    // A hash of the stored records in row order, for telling whether a bulk
    // change (an import) changed anything.
    std::uint64_t fingerprint() const;

private:
    void stateSeen();
    void rowChanged();

    PointTable& table_;
    bool modified_ = false;
    PointTable::State lastState_;
    std::size_t lastRecords_ = 0;
};

} // namespace kelvora
