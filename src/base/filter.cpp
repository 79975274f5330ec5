#include "filter.h"

#include "blockfilter.h"
#include "filterparser.h"
#include "pointtable.h"

namespace kelvora {

std::unique_ptr<RecordFilter> compileFilter(const PointTable& table, const QString& text,
                                            FilterOptions options)
{
    FilterParser parser(table.fields(), table.tableName(), options);
    const std::unique_ptr<FilterNode> root = parser.parse(text);
    return std::make_unique<BlockFilter>(*root);
}

} // namespace kelvora
