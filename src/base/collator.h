#pragma once

#include <QLocale>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <string>

struct UCollator;

namespace kelvora {

// Text collation of a table's locale number, the same collation that
// QCollator applies: 1024 is the user's default locale. Not copyable.
class Collator
{
public:
    // The collator for `localeId`, with or without letter case, opened once
    // and reopened when the default locale changes. Throws DatabaseError
    // "Invalid locale. <id>" when the locale cannot be used.
    static std::shared_ptr<const Collator> forLocale(int localeId, bool caseInsensitive);

    Collator(const QLocale& locale, bool caseInsensitive, int localeId);
    ~Collator();
    Collator(const Collator&) = delete;
    Collator& operator=(const Collator&) = delete;

    const QLocale& locale() const { return locale_; }
    // -1, 0 or +1.
    int compare(QStringView a, QStringView b) const;
    // Replaces `key` by the sort key bytes of `text` (without the final 0):
    // two keys compare by bytes as the texts compare.
    void sortKey(QStringView text, std::string& key) const;
    // Writes the sort key with its final 0 into `buffer` when it fits;
    // returns the length it needs, final 0 included.
    std::int32_t sortKey(QStringView text, std::uint8_t* buffer, std::int32_t capacity) const;

private:
    UCollator* collator_ = nullptr;
    QLocale locale_;
};

} // namespace kelvora
