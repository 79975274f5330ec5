#include "basefile.h"
#include "failure.h"
#include "pointtable.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace kelvora {
namespace {

const QStringList loadMessages = {
    QStringLiteral("Stream read error"),      QStringLiteral("Invalid stream format"),
    QStringLiteral("Invalid property value"), QStringLiteral("Invalid field size"),
    QStringLiteral("Field name missing"),     QStringLiteral("There must be at least one field"),
};

// A failed load names one of the reader's faults (or a field it refused).
bool knownLoadMessage(const QString& message)
{
    return loadMessages.contains(message) || message.startsWith(u"Unknown field type (") ||
           message.startsWith(u"A component named ") || message.endsWith(u" value") ||
           message.contains(u"must have a value");
}

class BadBase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        PointTable source(QStringLiteral("PointTable"));
        source.open();
        const char16_t* names[] = {u"Moscow", u"Пункт", nullptr, u"a long name of a place"};
        for (int i = 0; i < 4; ++i) {
            source.append();
            source.fieldByName(u"X").setAsInteger(i * 1000 - 7);
            source.fieldByName(u"Y").setAsInteger(-i);
            if (names[i])
                source.fieldByName(u"NAME_EN").setAsString(QString::fromUtf16(names[i]));
            source.post();
        }
        saveToFile(source, file(QStringLiteral("good.Lorvet")), BaseFileFormat());
        QFile in(file(QStringLiteral("good.Lorvet")));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        good = in.readAll();
    }

    QString file(const QString& name) const { return dir.filePath(name); }

    // Loads `bytes` as Open base does (close, then load); returns the
    // message of a failure, empty on success.
    QString load(PointTable& table, const QByteArray& bytes)
    {
        const QString path = file(QStringLiteral("bad.Lorvet"));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        out.close();
        table.close();
        try {
            loadFromFile(table, path, BaseFileFormat());
        } catch (const DatabaseError& error) {
            EXPECT_FALSE(error.message().isEmpty());
            return error.message();
        }
        return {};
    }

    // Whatever a load left behind is a usable table: its walk, its counts
    // and its rows agree, a point can be added, and it saves and loads back.
    ::testing::AssertionResult consistent(PointTable& table)
    {
        if (!table.isOpen())
            table.open();
        int walked = 0;
        for (table.first(); !table.eof(); table.next()) {
            ++walked;
            for (int f = 0; f < table.fieldCount(); ++f)
                (void)Field(&table, f).asString();
        }
        if (walked != table.recordCount() || walked != table.visibleCount())
            return ::testing::AssertionFailure()
                   << "walk " << walked << ", count " << table.recordCount() << ", rows "
                   << table.visibleCount();
        // A load that failed before any field leaves none; such a table
        // holds nothing to save.
        if (table.fieldCount() == 0)
            return ::testing::AssertionSuccess();
        try {
            // A loaded field may carry a default its type cannot hold; then
            // adding a point fails with a message and leaves the records as
            // they were.
            const int before = table.recordCount();
            try {
                table.append();
                table.post();
            } catch (const DatabaseError&) {
                table.cancel();
                if (table.recordCount() != before)
                    return ::testing::AssertionFailure() << "a failed append changed the count";
            }
            const QString again = file(QStringLiteral("again.Lorvet"));
            saveToFile(table, again, BaseFileFormat());
            PointTable back(QStringLiteral("Back"));
            loadFromFile(back, again, BaseFileFormat());
            if (back.recordCount() != table.recordCount())
                return ::testing::AssertionFailure()
                       << "saved " << table.recordCount() << ", loaded back " << back.recordCount();
        } catch (const Failure& failure) {
            return ::testing::AssertionFailure() << failure.message().toStdString();
        }
        return ::testing::AssertionSuccess();
    }

    QTemporaryDir dir;
    QByteArray good;
};

TEST_F(BadBase, TruncatedAtEveryOffset)
{
    for (qsizetype cut = 0; cut < good.size(); ++cut) {
        SCOPED_TRACE(cut);
        PointTable table(QStringLiteral("PointTable"));
        table.open();
        const QString message = load(table, good.left(cut));
        EXPECT_TRUE(knownLoadMessage(message)) << message.toStdString();
        // The records before the cut, never more.
        EXPECT_LE(table.isOpen() ? table.recordCount() : 0, 4);
        EXPECT_TRUE(consistent(table));
    }
}

TEST_F(BadBase, RandomByteFlips)
{
    std::mt19937 random(1210);
    for (int round = 0; round < 1500; ++round) {
        SCOPED_TRACE(round);
        QByteArray bad = good;
        const int flips = 1 + int(random() % 3);
        for (int i = 0; i < flips; ++i)
            bad[qsizetype(random() % std::uint32_t(bad.size()))] = char(random() & 0xff);
        PointTable table(QStringLiteral("PointTable"));
        table.open();
        const QString message = load(table, bad);
        EXPECT_TRUE(message.isEmpty() || knownLoadMessage(message)) << message.toStdString();
        EXPECT_TRUE(consistent(table));
    }
}

// Counts and lengths far beyond the file fail at once, without trying to
// reserve room for them.
TEST_F(BadBase, HugeClaimsFailWithStreamReadError)
{
    for (const char* name : {"wide-huge-count.Lorvet", "huge-length.Lorvet"}) {
        SCOPED_TRACE(name);
        QFile in(QStringLiteral(KELVORA_TEST_DATA_DIR "/basefile/") + QLatin1String(name));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        PointTable table(QStringLiteral("PointTable"));
        EXPECT_EQ(load(table, in.readAll()), QStringLiteral("Stream read error"));
        EXPECT_TRUE(consistent(table));
    }
}

struct BadFilter
{
    const char* text;
    const char* message;
};

// One text for each way a filter can be refused; the table keeps its
// records and stays usable.
const BadFilter badFilters[] = {
    {"X # 1", "Invalid filter expression character: '#'"},
    {"NOSUCH = 1", "PointTable: Field 'NOSUCH' not found"},
    {"X = ", "Expression expected but nothing found"},
    {"(X = 1", "')' expected but nothing found"},
    {"X = 1)", "Filter expression incorrectly terminated"},
    {"X IN ()", "IN predicate list may not be empty"},
    {"X = 99999999999999999999", "'99999999999999999999' is not a valid integer value"},
    {"NAME_EN + 1 = 2", "Type mismatch in expression"},
    {"X = 'abc'", "'abc' is not a valid integer value"},
};

TEST(BadFilterText, EveryErrorKindIsRefusedWithItsMessage)
{
    PointTable table(QStringLiteral("PointTable"));
    table.open();
    for (int x = 1; x <= 3; ++x) {
        table.append();
        table.fieldByName(u"X").setAsInteger(x);
        table.post();
    }
    table.setFilter(QStringLiteral("X > 1"));
    table.setFiltered(true);
    ASSERT_EQ(table.recordCount(), 2);
    for (const BadFilter& f : badFilters) {
        SCOPED_TRACE(f.text);
        QString message;
        try {
            table.setFilter(QString::fromUtf8(f.text));
        } catch (const DatabaseError& error) {
            message = error.message();
        }
        EXPECT_EQ(message.toStdString(), f.message);
        int walked = 0;
        for (table.first(); !table.eof(); table.next())
            ++walked;
        EXPECT_EQ(walked, table.recordCount());
        EXPECT_EQ(table.visibleCount(), table.recordCount());
        // A good filter afterwards works as before.
        table.setFilter(QStringLiteral("X > 1"));
        EXPECT_EQ(table.recordCount(), 2);
    }
}

} // namespace
} // namespace kelvora
