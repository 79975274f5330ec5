#include "collator.h"

#include "failure.h"

#include <memory>
#include <unicode/ucol.h>

namespace kelvora {

namespace {

const UChar* units(QStringView text)
{
    return reinterpret_cast<const UChar*>(text.utf16());
}

} // namespace

std::shared_ptr<const Collator> Collator::forLocale(int localeId, bool caseInsensitive)
{
    static std::shared_ptr<const Collator> cache[2];
    if (localeId != 1024)
        throw DatabaseError(QStringLiteral("Invalid locale. %1").arg(localeId));
    std::shared_ptr<const Collator>& slot = cache[caseInsensitive ? 1 : 0];
    const QLocale locale;
    if (!slot || slot->locale() != locale)
        slot = std::make_shared<const Collator>(locale, caseInsensitive, localeId);
    return slot;
}

Collator::Collator(const QLocale& locale, bool caseInsensitive, int localeId) : locale_(locale)
{
    UErrorCode status = U_ZERO_ERROR;
    const QByteArray name = locale.bcp47Name().replace('-', '_').toLatin1();
    collator_ = ucol_open(name.constData(), &status);
    if (U_SUCCESS(status) && caseInsensitive)
        ucol_setAttribute(collator_, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    if (U_FAILURE(status)) {
        if (collator_)
            ucol_close(collator_);
        throw DatabaseError(QStringLiteral("Invalid locale. %1").arg(localeId));
    }
}

Collator::~Collator()
{
    ucol_close(collator_);
}

int Collator::compare(QStringView a, QStringView b) const
{
    const UCollationResult result =
        ucol_strcoll(collator_, units(a), int32_t(a.size()), units(b), int32_t(b.size()));
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

void Collator::sortKey(QStringView text, std::string& key) const
{
    if (key.size() < 64)
        key.resize(64);
    for (;;) {
        const int32_t needed =
            ucol_getSortKey(collator_, units(text), int32_t(text.size()),
                            reinterpret_cast<uint8_t*>(key.data()), int32_t(key.size()));
        if (needed <= int32_t(key.size())) {
            key.resize(needed > 0 ? std::size_t(needed - 1) : 0);
            return;
        }
        key.resize(std::size_t(needed));
    }
}

} // namespace kelvora

namespace kelvora {

std::int32_t Collator::sortKey(QStringView text, std::uint8_t* buffer, std::int32_t capacity) const
{
    return ucol_getSortKey(collator_, units(text), int32_t(text.size()), buffer, capacity);
}

} // namespace kelvora
