#include "searchmatch.h"

#include <QString>

namespace kelvora {

namespace {

// Characters whose upper case in this locale is the one character that
// QChar::toUpper gives: no special casing and no language-specific rule.
bool upperIsOneChar(char16_t c, bool dottedI)
{
    if (c < 0x80)
        return !(dottedI && (c == u'i' || c == u'I'));
    return c >= 0x0400 && c <= 0x04FF; // Cyrillic
}

} // namespace

bool upperStartsWith(QStringView text, QStringView upperPrefix, const QLocale& locale)
{
    const QLocale::Language language = locale.language();
    const bool dottedI = language == QLocale::Turkish || language == QLocale::Azerbaijani;
    // Upper-casing never shortens a text (except by the Lithuanian rule for
    // a dot above), so the first characters decide as many as there are in
    // the prefix; a pair of surrogates is kept whole.
    QStringView head = text;
    if (language != QLocale::Lithuanian && text.size() > upperPrefix.size()) {
        qsizetype end = upperPrefix.size();
        if (end > 0 && text.at(end - 1).isHighSurrogate())
            ++end;
        head = text.left(end);
    }
    for (qsizetype i = 0; i < head.size(); ++i) {
        const char16_t c = head.at(i).unicode();
        if (!upperIsOneChar(c, dottedI))
            return locale.toUpper(head.toString()).startsWith(upperPrefix);
        if (i >= upperPrefix.size())
            return true;
        if (QChar::toUpper(c) != upperPrefix.at(i).unicode())
            return false;
    }
    return head.size() >= upperPrefix.size();
}

} // namespace kelvora
