#include "basecommands.h"
#include "basefile.h"
#include "guard.h"
#include "pointtable.h"
#include "scriptedprompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

using Kind = ScriptedPrompts::Kind;

class BaseCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override { script().clear(); }
    static ScriptedPrompts& script() { return static_cast<ScriptedPrompts&>(prompts()); }

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray contents(const QString& file) const
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    void addPoint(int x, const QString& name)
    {
        table.append();
        table.fieldByName(u"X").setAsInteger(x);
        table.fieldByName(u"NAME_EN").setAsString(name);
        table.post();
    }
    QString savedBase(int points)
    {
        PointTable source(QStringLiteral("T"));
        source.open();
        for (int i = 1; i <= points; ++i) {
            source.append();
            source.fieldByName(u"X").setAsInteger(i);
            source.post();
        }
        const QString file = path(QStringLiteral("base%1.Lorvet").arg(points));
        saveToFile(source, file, BaseFileFormat());
        return file;
    }

    QTemporaryDir dir;
    PointTable table{QStringLiteral("PointTable")};
    BaseCommands commands{table};
};

TEST_F(BaseCommandsTest, SaveDoesNothingWithoutAnOpenTableOrAPath)
{
    commands.setBaseFileName(path(QStringLiteral("a.Lorvet")));
    guarded([&] { commands.ToolButton6Click(); }); // closed
    table.open();
    commands.setBaseFileName(QString());
    guarded([&] { commands.ToolButton6Click(); }); // no path
    EXPECT_TRUE(script().shown().isEmpty());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.Lorvet"))));
}

TEST_F(BaseCommandsTest, SaveAsWhileClosedRemembersThePathOnly)
{
    const QString file = path(QStringLiteral("later.Lorvet"));
    script().chooseFile(file);
    guarded([&] { commands.ToolButton10Click(); });
    EXPECT_EQ(commands.baseFileName(), file);
    ASSERT_EQ(script().shown().size(), 1);
    EXPECT_EQ(script().shown()[0].kind, Kind::SaveFile);
    EXPECT_EQ(script().shown()[0].file.filter,
              QStringLiteral("Файлы базы Kelvora (*.Lorvet)|*.Lorvet"));
    EXPECT_EQ(script().shown()[0].file.defaultExtension, QStringLiteral("Lorvet"));
    EXPECT_FALSE(QFile::exists(file));

    // Cancelling the dialog changes nothing.
    guarded([&] { commands.ToolButton10Click(); });
    EXPECT_EQ(commands.baseFileName(), file);
}

TEST_F(BaseCommandsTest, OpenThenSaveWritesTheOpenedFileAgain)
{
    const QString file = savedBase(3);
    const QByteArray before = contents(file);
    table.open();
    addPoint(99, QStringLiteral("unsaved"));
    script().chooseFile(file);
    script().answer(Prompts::Button::No);
    guarded([&] { commands.ToolButton14Click(); });
    EXPECT_EQ(commands.baseFileName(), file);
    EXPECT_EQ(table.recordCount(), 3); // the unsaved point is dropped on No
    ASSERT_EQ(script().shown().size(), 2);
    EXPECT_EQ(script().shown()[0].kind, Kind::OpenFile);
    EXPECT_EQ(script().shown()[0].file.filter,
              QStringLiteral("Файлы базы Kelvora (*.Lorvet)|*.Lorvet|Все файлы (*.*)|*.*"));
    EXPECT_EQ(script().shown()[0].file.defaultExtension, QStringLiteral("Lorvet"));

    QFile::remove(file);
    guarded([&] { commands.ToolButton6Click(); });
    EXPECT_EQ(script().textsOf(Kind::Message),
              QStringList{QStringLiteral("База ") + file + QStringLiteral(" успешно сохранена")});
    EXPECT_EQ(contents(file), before);

    // The dialog offers the last file again; cancelling it changes nothing.
    guarded([&] { commands.ToolButton14Click(); });
    EXPECT_EQ(script().shown().last().file.fileName, file);
    EXPECT_EQ(commands.openBaseDialog().fileName, file);
    EXPECT_EQ(table.recordCount(), 3);
}

TEST_F(BaseCommandsTest, OpenOfANonBaseGivesAnOpenEmptyTableThatSavesOverIt)
{
    const QString file = path(QStringLiteral("notes.txt"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("just some text");
    out.close();
    table.open();
    addPoint(1, QStringLiteral("a"));
    script().chooseFile(file);
    script().answer(Prompts::Button::No);
    guarded([&] { commands.ToolButton14Click(); });
    EXPECT_EQ(script().textsOf(Kind::Message),
              QStringList{QStringLiteral("Неправильный формат. Создана новая База")});
    EXPECT_TRUE(table.isOpen());
    EXPECT_EQ(table.recordCount(), 0);
    EXPECT_EQ(table.fieldCount(), 6);
    EXPECT_EQ(commands.baseFileName(), file);

    guarded([&] { commands.ToolButton6Click(); });
    EXPECT_EQ(contents(file).size(), 234);
    EXPECT_TRUE(script().textsOf(Kind::Error).isEmpty());
}

TEST_F(BaseCommandsTest, OpenOfABaseCutShortListsTheRecordsBeforeTheCut)
{
    const QString file = savedBase(3);
    const QByteArray bytes = contents(file);
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes.left(bytes.size() - 6)); // inside the last record
    out.close();
    script().chooseFile(file);
    guarded([&] { commands.ToolButton14Click(); });
    EXPECT_EQ(script().textsOf(Kind::Message),
              QStringList{QStringLiteral("Неправильный формат. Создана новая База")});
    EXPECT_TRUE(table.isOpen());
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(table.fieldByName(u"X").asInteger(), 1);
}

TEST_F(BaseCommandsTest, SaveCreatesOneMissingDirectoryLevel)
{
    table.open();
    addPoint(1, QStringLiteral("a"));
    const QString oneLevel = path(QStringLiteral("new/base.Lorvet"));
    commands.setBaseFileName(oneLevel);
    guarded([&] { commands.ToolButton6Click(); });
    EXPECT_TRUE(QFile::exists(oneLevel));
    EXPECT_TRUE(script().textsOf(Kind::Error).isEmpty());

    script().clear();
    const QString twoLevels = path(QStringLiteral("x/y/base.Lorvet"));
    commands.setBaseFileName(twoLevels);
    guarded([&] { commands.ToolButton6Click(); });
    EXPECT_EQ(script().textsOf(Kind::Error),
              QStringList{QStringLiteral("Cannot create ") + path(QStringLiteral("x/y")) +
                          QLatin1Char('.')});
    EXPECT_TRUE(script().textsOf(Kind::Message).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("x"))));
}

TEST_F(BaseCommandsTest, AFailedSaveShowsTheFailureAndKeepsTheTable)
{
    table.open();
    addPoint(1, QStringLiteral("a"));
    QDir(dir.path()).mkdir(QStringLiteral("taken.Lorvet"));
    commands.setBaseFileName(path(QStringLiteral("taken.Lorvet")));
    guarded([&] { commands.ToolButton6Click(); });
    EXPECT_EQ(script().textsOf(Kind::Error),
              QStringList{QStringLiteral("Cannot create file \"%1\". Is a directory.")
                              .arg(path(QStringLiteral("taken.Lorvet")))});
    EXPECT_EQ(table.recordCount(), 1);
}

} // namespace
} // namespace kelvora
