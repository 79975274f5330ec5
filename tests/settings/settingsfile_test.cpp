#include "failure.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

using kelvora::Failure;
using kelvora::SettingsFile;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

class SettingsFileTest : public ::testing::Test
{
protected:
    QString path() const { return dir_.filePath(QStringLiteral("settings.ini")); }
    QStringList entries() const
    {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir dir_;
};

struct IntegerCase
{
    const char* text;
    std::optional<int> expected;
};

TEST(SettingsFileIntegers, DecimalAndBothHexForms)
{
    const IntegerCase cases[] = {
        {"10", 10},
        {"008", 8},
        {"-5", -5},
        {"+7", 7},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$1F", 31},
        {"$ffffffff", -1},
        {"2147483647", std::numeric_limits<int>::max()},
        {"-2147483648", std::numeric_limits<int>::min()},
        {"2147483648", std::nullopt},
        {"0x100000000", std::nullopt},
        {"0x", std::nullopt}, // two characters only: not hexadecimal, not decimal
        {"$", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"1F", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"true", std::nullopt},
        {"0x1G", std::nullopt},
        {"٣", std::nullopt}, // a non-ASCII digit is not a digit here
    };
    for (const IntegerCase& c : cases)
        EXPECT_EQ(SettingsFile::parseInteger(QString::fromUtf8(c.text)), c.expected) << c.text;
}

struct ReadCase
{
    const char* name;
    QByteArray file;
    const char* section;
    const char* key;
    const char* expected; // the fallback is "<none>"
};

TEST_F(SettingsFileTest, ReadsLookThroughTheFileOnDisk)
{
    const ReadCase cases[] = {
        {"plain", "[base]\ncatalog=/maps\n", "base", "catalog", "/maps"},
        {"names without case", "[BaSe]\nCATALOG=/maps\n", "base", "catalog", "/maps"},
        {"trimmed", "  [ base ]  \n  catalog  =  /my maps  \n", "base", "catalog", "/my maps"},
        {"crlf", "[base]\r\ncatalog=/maps\r\n", "base", "catalog", "/maps"},
        {"byte order mark", "\xEF\xBB\xBF[base]\ncatalog=/maps\n", "base", "catalog", "/maps"},
        {"no final line break", "[base]\ncatalog=/maps", "base", "catalog", "/maps"},
        {"empty value", "[base]\ncatalog=\n", "base", "catalog", ""},
        {"missing key", "[base]\nother=1\n", "base", "catalog", "<none>"},
        {"missing section", "[system]\ncatalog=/maps\n", "base", "catalog", "<none>"},
        {"key of another section", "[base]\n[system]\ncatalog=/maps\n", "base", "catalog",
         "<none>"},
        {"key before any section", "catalog=/maps\n[base]\n", "base", "catalog", "<none>"},
        {"comment", "[base]\n;catalog=/old\ncatalog=/maps\n", "base", "catalog", "/maps"},
        {"first of duplicate sections", "[base]\ncatalog=/a\n[BASE]\ncatalog=/b\n", "base",
         "catalog", "/a"},
        {"first of duplicate keys", "[base]\ncatalog=/a\ncatalog=/b\n", "base", "catalog", "/a"},
        {"equals in the value", "[base]\ncatalog=a=b\n", "base", "catalog", "a=b"},
        {"utf-8", "[base]\ncatalog=/Карты\n", "base", "catalog", "/Карты"},
        {"windows-1251", "[base]\ncatalog=/\xCA\xE0\xF0\xF2\xFB\n", "base", "catalog", "/Карты"},
        {"mapsearch is a section and a key",
         "[system]\nmapsearch=0\n[mapsearch]\nradius=5\nmapsearch=7\n", "mapsearch", "mapsearch",
         "7"},
    };
    for (const ReadCase& c : cases) {
        writeBytes(path(), c.file);
        const SettingsFile file(path());
        EXPECT_EQ(file.readString(QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                                  QStringLiteral("<none>")),
                  QString::fromUtf8(c.expected))
            << c.name;
    }
}

TEST_F(SettingsFileTest, LongValuesAndLines)
{
    const QByteArray longValue(3000, 'a');
    const QByteArray hugeLine(300 * 1024, 'z');
    writeBytes(path(), "[base]\n" + hugeLine + "\ncatalog=" + longValue + "\n");
    const SettingsFile file(path());
    EXPECT_EQ(file.readString(QStringLiteral("base"), QStringLiteral("catalog"), {}),
              QString(2047, u'a'));
}

TEST_F(SettingsFileTest, TypedReadsFallBackOnWrongForms)
{
    writeBytes(path(), "[imp]\na=true\nb=yes\nc=2\nd=0\ne=-1\n[mapsearch]\nradius=0x1F\nr2=$1F\n"
                       "r3=abc\n");
    const SettingsFile file(path());
    const QString imp = QStringLiteral("imp");
    EXPECT_TRUE(file.readBool(imp, QStringLiteral("a"), true));
    EXPECT_FALSE(file.readBool(imp, QStringLiteral("a"), false));
    EXPECT_TRUE(file.readBool(imp, QStringLiteral("b"), true));
    EXPECT_FALSE(file.readBool(imp, QStringLiteral("b"), false));
    EXPECT_TRUE(file.readBool(imp, QStringLiteral("c"), false));
    EXPECT_FALSE(file.readBool(imp, QStringLiteral("d"), true));
    EXPECT_TRUE(file.readBool(imp, QStringLiteral("e"), false));
    EXPECT_TRUE(file.readBool(imp, QStringLiteral("missing"), true));
    const QString map = QStringLiteral("mapsearch");
    EXPECT_EQ(file.readInteger(map, QStringLiteral("radius"), 10), 31);
    EXPECT_EQ(file.readInteger(map, QStringLiteral("r2"), 10), 31);
    EXPECT_EQ(file.readInteger(map, QStringLiteral("r3"), 10), 10);
}

TEST_F(SettingsFileTest, NoCacheEitherWay)
{
    SettingsFile file(path());
    EXPECT_EQ(file.readInteger(QStringLiteral("s"), QStringLiteral("k"), 4), 4);
    EXPECT_FALSE(QFile::exists(path())) << "a read must not create the file";

    writeBytes(path(), "[s]\nk=5\n");
    EXPECT_EQ(file.readInteger(QStringLiteral("s"), QStringLiteral("k"), 4), 5);
    file.writeInteger(QStringLiteral("s"), QStringLiteral("k"), 6);
    EXPECT_EQ(readBytes(path()), "[s]\nk=6\n");
    writeBytes(path(), "[s]\nk=7\n");
    EXPECT_EQ(file.readInteger(QStringLiteral("s"), QStringLiteral("k"), 4), 7);
}

struct WriteCase
{
    const char* name;
    std::optional<QByteArray> before;
    QByteArray after;
};

// Each case writes base/catalog=/maps, then system/maprefresh=1, then
// base/openwithimg=0.
TEST_F(SettingsFileTest, WritesKeepEverythingElse)
{
    const WriteCase cases[] = {
        {"no file", std::nullopt, "[base]\ncatalog=/maps\nopenwithimg=0\n[system]\nmaprefresh=1\n"},
        {"empty file", QByteArray(),
         "[base]\ncatalog=/maps\nopenwithimg=0\n[system]\nmaprefresh=1\n"},
        {"keys replaced in place, names as the file spells them",
         "; mine\n[Base]\nOpenWithImg = 1\nCatalog = /old\nextra=x\n",
         "; mine\n[Base]\nOpenWithImg=0\nCatalog=/maps\nextra=x\n[system]\nmaprefresh=1\n"},
        {"new key after the section's last line, before the blank ones",
         "[base]\nfoo=1\n\n[system]\nother=2\n",
         "[base]\nfoo=1\ncatalog=/maps\nopenwithimg=0\n\n[system]\nother=2\nmaprefresh=1\n"},
        {"unknown lines and sections kept", "junk before\n[x]\nnot a key\n[base]\n#odd\n",
         "junk before\n[x]\nnot a key\n[base]\n#odd\ncatalog=/maps\nopenwithimg=0\n[system]\n"
         "maprefresh=1\n"},
        {"no final line break", "[base]\nfoo=1",
         "[base]\nfoo=1\ncatalog=/maps\nopenwithimg=0\n[system]\nmaprefresh=1\n"},
        {"no final line break, other section", "[x]\nfoo=1",
         "[x]\nfoo=1\n[base]\ncatalog=/maps\nopenwithimg=0\n[system]\nmaprefresh=1\n"},
        {"crlf kept", "[base]\r\nfoo=1\r\n",
         "[base]\r\nfoo=1\r\ncatalog=/maps\r\nopenwithimg=0\r\n[system]\r\nmaprefresh=1\r\n"},
        {"first of duplicate sections", "[base]\ncatalog=/a\n[base]\ncatalog=/b\n",
         "[base]\ncatalog=/maps\nopenwithimg=0\n[base]\ncatalog=/b\n[system]\nmaprefresh=1\n"},
        {"windows-1251 line kept byte for byte", "[base]\nname=\xCA\xE0\n",
         "[base]\nname=\xCA\xE0\ncatalog=/maps\nopenwithimg=0\n[system]\nmaprefresh=1\n"},
    };
    for (const WriteCase& c : cases) {
        QFile::remove(path());
        if (c.before)
            writeBytes(path(), *c.before);
        SettingsFile file(path());
        file.writeString(QStringLiteral("base"), QStringLiteral("catalog"),
                         QStringLiteral("/maps"));
        file.writeBool(QStringLiteral("system"), QStringLiteral("maprefresh"), true);
        file.writeBool(QStringLiteral("base"), QStringLiteral("openwithimg"), false);
        EXPECT_EQ(readBytes(path()), c.after) << c.name;
        EXPECT_EQ(entries(), QStringList{QStringLiteral("settings.ini")})
            << c.name << ": no temporary file left";
    }
}

TEST_F(SettingsFileTest, LongLinesAreCopiedUntouched)
{
    const QByteArray hugeLine(300 * 1024, 'z');
    const QByteArray longKey = "[base]\ncatalog=" + QByteArray(200 * 1024, 'c') + "\n";
    writeBytes(path(), hugeLine + "\n" + longKey + "[x]\n" + hugeLine);
    SettingsFile file(path());
    file.writeBool(QStringLiteral("base"), QStringLiteral("openwithimg"), true);
    EXPECT_EQ(readBytes(path()), hugeLine + "\n" + longKey + "openwithimg=1\n[x]\n" + hugeLine);
    file.writeString(QStringLiteral("base"), QStringLiteral("catalog"), QStringLiteral("/m"));
    EXPECT_EQ(readBytes(path()),
              hugeLine + "\n[base]\ncatalog=/m\nopenwithimg=1\n[x]\n" + hugeLine);
}

TEST_F(SettingsFileTest, AValueEndsAtItsFirstLineBreak)
{
    SettingsFile file(path());
    file.writeString(QStringLiteral("base"), QStringLiteral("catalog"),
                     QStringLiteral("/maps\n[evil]\nk=1"));
    EXPECT_EQ(readBytes(path()), "[base]\ncatalog=/maps\n");
}

TEST_F(SettingsFileTest, PermissionsOfTheFileStay)
{
    writeBytes(path(), "[base]\n");
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup));
    SettingsFile file(path());
    file.writeBool(QStringLiteral("base"), QStringLiteral("k"), true);
    const QFileDevice::Permissions modeBits =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
        QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(path()) & modeBits,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
}

TEST_F(SettingsFileTest, AWriteThatCannotBeDoneFails)
{
    // Its directory is a regular file: nothing can be created there, even
    // by root.
    writeBytes(dir_.filePath(QStringLiteral("blocker")), "x");
    const QString blocked = dir_.filePath(QStringLiteral("blocker/settings.ini"));
    // A settings file that is a directory cannot be read, so it is never
    // replaced.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("settings.ini")));

    for (const QString& target : {blocked, path()}) {
        SettingsFile file(target);
        EXPECT_EQ(file.readString(QStringLiteral("base"), QStringLiteral("k"), QStringLiteral("d")),
                  QStringLiteral("d"));
        try {
            file.writeBool(QStringLiteral("base"), QStringLiteral("k"), true);
            ADD_FAILURE() << "no failure for " << target.toStdString();
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.message(), QStringLiteral("Unable to write to ") + target);
        }
    }
    EXPECT_TRUE(QFileInfo(path()).isDir());
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("blocker"), QStringLiteral("settings.ini")}));
}

TEST_F(SettingsFileTest, TheMessageNamesTheFullPath)
{
    const QString relative = QStringLiteral("no-such-dir-here/settings.ini");
    SettingsFile file(relative);
    try {
        file.writeBool(QStringLiteral("base"), QStringLiteral("k"), true);
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message(), QStringLiteral("Unable to write to ") +
                                         QDir::current().absoluteFilePath(relative));
    }
}

} // namespace
