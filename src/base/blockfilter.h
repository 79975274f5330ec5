#pragma once

#include "filternode.h"
#include "recordfilter.h"

#include <memory>

namespace kelvora {

class EvalNode;

// A compiled filter that evaluates its expression over a block of records at
// a time, one tight loop per node over typed buffers held from the start, so
// that evaluation allocates nothing but computed texts. The common proximity
// form "(A-a)*(A-a)+(B-b)*(B-b)<=r" over integer fields runs as one fused
// loop with the same floating-point operations in the same order.
class BlockFilter : public RecordFilter
{
public:
    // `root` is the typed, Boolean tree from FilterParser.
    explicit BlockFilter(const FilterNode& root);
    ~BlockFilter() override;

    void test(const RecordStore& store, const Slot* records, std::size_t count,
              std::uint8_t* pass) const override;

    // Whether the fused proximity loop is in use (for tests and measuring).
    bool isProximity() const { return proximity_; }

private:
    bool recogniseProximity(const FilterNode& root);

    std::unique_ptr<EvalNode> root_;
    bool proximity_ = false;
    int xField_ = -1;
    int yField_ = -1;
    double cx_ = 0;
    double cy_ = 0;
    double limit_ = 0;
    bool strict_ = false;
};

} // namespace kelvora
