// PointTable::sort: putting the table into a sort order.
#include "keysortplacement.h"
#include "pointtable.h"
#include "sortorder.h"

namespace kelvora {

void PointTable::sort(SortOptions options)
{
    if (!isOpen())
        return;
    dropSortOrder();
    const QString list = sortFields_.trimmed();
    if (list.isEmpty())
        return;
    try {
        std::vector<KeyField> keys = parseKeyFields(fields(), name_, list, options);
        HugeArray<Slot> order;
        {
            const KeyComparison comparison(keys, localeId_);
            order = buildSortOrder(store_, rowOrder_.view(), comparison);
        }
        installSortOrder(std::move(order), std::make_unique<KeySortPlacement>(keys, localeId_));
        // The pending edit goes into the new order by the placement rule.
        settle();
    } catch (...) {
        dropSortOrder();
        throw;
    }
}

} // namespace kelvora
