#pragma once

#include <QLocale>
#include <QStringView>

namespace kelvora {

// Whether `text`, upper-cased by the locale's rules, begins with
// `upperPrefix` (itself upper-cased by the same locale). The incremental
// search asks this of every row it passes, so characters that upper-case to
// exactly one character (ASCII outside the dotted-i languages, Cyrillic) are
// compared directly and the locale is asked only from the first other one.
bool upperStartsWith(QStringView text, QStringView upperPrefix, const QLocale& locale);

} // namespace kelvora
