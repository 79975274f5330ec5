#include "hugearray.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kelvora {
namespace {

TEST(HugeArray, KeepsItsValuesWhileGrowingFromHeapToMappedBlocks)
{
    HugeArray<std::uint32_t> values;
    for (std::uint32_t i = 0; i < 3'000'000; ++i)
        values.push_back(i * 7);
    ASSERT_EQ(values.size(), 3'000'000u);
    for (std::uint32_t i = 0; i < 3'000'000; i += 9973)
        ASSERT_EQ(values[i], i * 7);
    EXPECT_EQ(values.back(), 2'999'999u * 7);
}

TEST(HugeArray, InsertsAndErasesInTheMiddle)
{
    HugeArray<int> values;
    for (int i = 0; i < 5; ++i)
        values.push_back(i);
    values.insert(2, 99);
    values.erase(0);
    EXPECT_EQ(std::vector<int>(values.begin(), values.end()), (std::vector<int>{1, 99, 2, 3, 4}));
    values.release();
    EXPECT_TRUE(values.empty());
    values.push_back(5);
    EXPECT_EQ(values[0], 5);
}

TEST(HugeArray, ShrinkingAMappedBlockToTheHeapKeepsItsStart)
{
    HugeBlock block;
    block.resize(8 << 20);
    static_cast<char*>(block.data())[50] = 'k';
    static_cast<char*>(block.data())[7 << 20] = 'z';
    block.resize(100);
    EXPECT_EQ(static_cast<char*>(block.data())[50], 'k');
    EXPECT_GE(block.bytes(), 100u);
}

} // namespace
} // namespace kelvora
