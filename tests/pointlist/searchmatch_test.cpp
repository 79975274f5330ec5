#include "searchmatch.h"

#include <QLocale>
#include <QString>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

struct Case
{
    const char16_t* text;
    const char16_t* typed;
    QLocale::Language language;
    bool matches;
};

// The typed text is upper-cased by the locale as the search does.
const Case cases[] = {
    {u"Kelvora", u"kel", QLocale::Russian, true},
    {u"Kelvora", u"kelvorax", QLocale::Russian, false},
    {u"Kelvora", u"", QLocale::Russian, true},
    {u"", u"k", QLocale::Russian, false},
    {u"ёлка", u"Ёл", QLocale::Russian, true},
    {u"ёлка", u"ел", QLocale::Russian, false},
    {u"Москва", u"мос", QLocale::Russian, true},
    {u"Straße", u"STRASS", QLocale::German, true}, // ß upper-cases to two letters
    {u"ßtadt", u"SS", QLocale::Russian, true},
    {u"ßtadt", u"sst", QLocale::Russian, true},
    {u"ßtadt", u"st", QLocale::Russian, false},
    {u"istanbul", u"İST", QLocale::Turkish, true}, // the dotted capital I
    {u"istanbul", u"IST", QLocale::Turkish, false},
    {u"istanbul", u"ist", QLocale::Russian, true},
    {u"Ωmega", u"ωM", QLocale::Russian, true},
    {u"\U0001D400x", u"\U0001D400X", QLocale::Russian, true}, // a surrogate pair
    {u"ﬁeld", u"FI", QLocale::Russian, true},                 // the fi ligature
};

TEST(SearchMatch, AgreesWithUpperCasingTheWholeText)
{
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        const QLocale locale(c.language);
        const QString upper = locale.toUpper(QString::fromUtf16(c.typed));
        SCOPED_TRACE(text.toStdString() + " / " + upper.toStdString());
        EXPECT_EQ(upperStartsWith(text, upper, locale), c.matches);
        EXPECT_EQ(locale.toUpper(text).startsWith(upper), c.matches);
    }
}

} // namespace
} // namespace kelvora
