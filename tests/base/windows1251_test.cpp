#include "windows1251.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

TEST(Windows1251, DecodesAsciiCyrillicAndTheSpecialLetters)
{
    // "Пункт" in Windows-1251, then Ё, ё, №, the euro sign and plain ASCII.
    const char bytes[] = "\xCF\xF3\xED\xEA\xF2 \xA8\xB8\xB9\x88 A1";
    EXPECT_EQ(fromWindows1251(QByteArrayView(bytes, sizeof bytes - 1)),
              QStringLiteral("Пункт Ёё№€ A1"));
    EXPECT_EQ(fromWindows1251(QByteArrayView("\xC0\xFF", 2)), QStringLiteral("Ая"));
    EXPECT_EQ(fromWindows1251(QByteArrayView()), QString());
}

} // namespace
} // namespace kelvora
