#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace kelvora {

// A LIKE mask: "*" matches any run of characters, "?" one character, "[set]"
// one character of the set (ranges such as a-z, "!" first negates). ASCII
// letters match without regard to case. Matching takes time proportional to
// the value's length times the mask's, never more.
class LikeMask
{
public:
    // Throws DatabaseError "'mask' is an invalid mask at (n)" for a mask with
    // more than 30 runs of "*" or a bracketed set without its "]".
    explicit LikeMask(const QString& mask);

    bool matches(QStringView value) const;

private:
    struct Item
    {
        enum Kind { Char, Any, Set, Star } kind = Char;
        char16_t c = 0;
        bool negated = false;
        std::vector<std::pair<char16_t, char16_t>> ranges;
    };
    bool matchesOne(const Item& item, char16_t c) const;

    std::vector<Item> items_;
};

} // namespace kelvora
