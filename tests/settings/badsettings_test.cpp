#include "settingsfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace kelvora {
namespace {

class BadSettings : public ::testing::Test
{
protected:
    void write(const QByteArray& bytes)
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
};

TEST_F(BadSettings, AbsurdIntegersGiveTheFallback)
{
    const struct
    {
        const char* value;
        int expected;
    } cases[] = {
        {"99999999999", 7},
        {"-99999999999", 7},
        {"$FFFFFFFFF", 7},
        {"0x", 7},
        {"--5", 7},
        {"5 5", 7},
        {"1e9", 7},
        {"", 7},
        {"\x01\x02", 7},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int>::min()},
        {"$7FFFFFFF", 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        write(QByteArray("[Main]\nSTART=") + c.value + "\n");
        EXPECT_EQ(
            SettingsFile(path).readInteger(QStringLiteral("Main"), QStringLiteral("START"), 7),
            c.expected);
    }
}

TEST_F(BadSettings, OverLongLinesAreCutAndDoNotHideLaterKeys)
{
    write("[Main]\nLONG=" + QByteArray(1 << 20, 'a') + "\n" + QByteArray(1 << 20, 'b') +
          "\nNEXT=5\n");
    const SettingsFile file(path);
    EXPECT_EQ(file.readString(QStringLiteral("Main"), QStringLiteral("LONG"), QString()),
              QString(2047, u'a'));
    EXPECT_EQ(file.readInteger(QStringLiteral("Main"), QStringLiteral("NEXT"), 0), 5);
}

TEST_F(BadSettings, BinaryJunkReadsAsMissingAndStillTakesWrites)
{
    std::mt19937 random(42);
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        QByteArray junk(4096, '\0');
        for (char& c : junk)
            c = char(random() & 0xff);
        write(junk);
        SettingsFile file(path);
        (void)file.readString(QStringLiteral("Main"), QStringLiteral("X"), QString());
        (void)file.readInteger(QStringLiteral("Main"), QStringLiteral("X"), 0);
        file.writeInteger(QStringLiteral("Kelvora"), QStringLiteral("VALUE"), round);
        EXPECT_EQ(file.readInteger(QStringLiteral("Kelvora"), QStringLiteral("VALUE"), -1), round);
    }
}

} // namespace
} // namespace kelvora
