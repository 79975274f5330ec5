#include "likemask.h"

#include "failure.h"

namespace kelvora {

namespace {

constexpr int maxStarRuns = 30;

char16_t foldAscii(char16_t c)
{
    return (c >= 'a' && c <= 'z') ? char16_t(c - 'a' + 'A') : c;
}

[[noreturn]] void invalidMask(const QString& mask, qsizetype position)
{
    throw DatabaseError(QStringLiteral("'%1' is an invalid mask at (%2)").arg(mask).arg(position));
}

} // namespace

LikeMask::LikeMask(const QString& mask)
{
    int starRuns = 0;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const char16_t c = mask[i].unicode();
        Item item;
        if (c == '*') {
            if (!items_.empty() && items_.back().kind == Item::Star)
                continue;
            if (++starRuns > maxStarRuns)
                invalidMask(mask, i + 1);
            item.kind = Item::Star;
        } else if (c == '?') {
            item.kind = Item::Any;
        } else if (c == '[') {
            const qsizetype open = i;
            item.kind = Item::Set;
            ++i;
            if (i < mask.size() && mask[i] == u'!') {
                item.negated = true;
                ++i;
            }
            bool closed = false;
            for (; i < mask.size(); ++i) {
                const char16_t d = mask[i].unicode();
                if (d == ']') {
                    closed = true;
                    break;
                }
                if (i + 2 < mask.size() && mask[i + 1] == u'-' && mask[i + 2] != u']') {
                    char16_t low = foldAscii(d);
                    char16_t high = foldAscii(mask[i + 2].unicode());
                    if (low > high)
                        std::swap(low, high);
                    item.ranges.emplace_back(low, high);
                    i += 2;
                } else {
                    item.ranges.emplace_back(foldAscii(d), foldAscii(d));
                }
            }
            if (!closed || item.ranges.empty())
                invalidMask(mask, open + 1);
        } else {
            item.c = foldAscii(c);
        }
        items_.push_back(std::move(item));
    }
}

bool LikeMask::matchesOne(const Item& item, char16_t c) const
{
    switch (item.kind) {
    case Item::Char:
        return item.c == foldAscii(c);
    case Item::Any:
        return true;
    case Item::Set: {
        const char16_t f = foldAscii(c);
        bool in = false;
        for (const auto& [low, high] : item.ranges)
            if (f >= low && f <= high) {
                in = true;
                break;
            }
        return in != item.negated;
    }
    case Item::Star:
        break;
    }
    return false;
}

bool LikeMask::matches(QStringView value) const
{
    // Greedy matching that backtracks only to the last star: one star at a
    // time is enough, as every other item matches exactly one character.
    std::size_t m = 0;
    qsizetype v = 0;
    std::size_t starItem = std::size_t(-1);
    qsizetype starValue = 0;
    const qsizetype length = value.size();
    while (v < length) {
        if (m < items_.size() && items_[m].kind == Item::Star) {
            starItem = m++;
            starValue = v;
        } else if (m < items_.size() && matchesOne(items_[m], value[v].unicode())) {
            ++m;
            ++v;
        } else if (starItem != std::size_t(-1)) {
            m = starItem + 1;
            v = ++starValue;
        } else {
            return false;
        }
    }
    while (m < items_.size() && items_[m].kind == Item::Star)
        ++m;
    return m == items_.size();
}

} // namespace kelvora
