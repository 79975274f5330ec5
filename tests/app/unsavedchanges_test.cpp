#include "basecommands.h"
#include "basefile.h"
#include "forms.h"
#include "guard.h"
#include "pointtable.h"
#include "scriptedprompts.h"
#include "tfmain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

using Button = Prompts::Button;
using Kind = ScriptedPrompts::Kind;

enum class Command { Close, OpenBase, OpenPicture };
// Where Save base writes when Yes is answered.
enum class Target { Named, Unnamed, Failing };

struct Case
{
    const char* name;
    bool modified;
    Button answer;
    Target target;
    const char* saveAsChoice; // the Save base as dialog's file, for Unnamed; "" cancels
    bool goesOn;
    bool saved;
};

class GuardFixture
{
protected:
    void setUpWindow()
    {
        ASSERT_TRUE(dir.isValid());
        previous_ = &prompts();
        setPrompts(&script);
        forms_ = std::make_unique<Forms>();
        main_ = Fmain;
        main_->show();
        // Another base for Open base to load.
        PointTable other(QStringLiteral("T"));
        other.open();
        for (int i = 0; i < 5; ++i) {
            other.append();
            other.fieldByName(u"X").setAsInteger(100 + i);
            other.fieldByName(u"Y").setAsInteger(200 + i);
            other.fieldByName(u"NAME_EN").setAsString(QStringLiteral("P%1").arg(i));
            other.post();
        }
        saveToFile(other, path(QStringLiteral("other.Lorvet")), BaseFileFormat());
        QImage picture(24, 16, QImage::Format_RGB32);
        picture.fill(Qt::white);
        ASSERT_TRUE(picture.save(path(QStringLiteral("map.bmp")), "BMP"));
    }

    void tearDownWindow()
    {
        forms_.reset();
        setPrompts(previous_);
    }

    static void addPoint(PointTable& table, int x)
    {
        table.append();
        table.fieldByName(u"X").setAsInteger(x);
        table.post();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    int recordsIn(const QString& file)
    {
        PointTable loaded(QStringLiteral("L"));
        loadFromFile(loaded, file, BaseFileFormat());
        return loaded.recordCount();
    }

    // Runs the command, answering its own dialog and then the Save base as
    // dialog with `saveAs` (none: cancelled); returns whether it went on.
    bool run(Command command, const QString& saveAs)
    {
        switch (command) {
        case Command::Close:
            if (!saveAs.isEmpty())
                script.chooseFile(saveAs);
            return main_->close();
        case Command::OpenBase:
            script.chooseFile(path(QStringLiteral("other.Lorvet")));
            if (!saveAs.isEmpty())
                script.chooseFile(saveAs);
            main_->ToolButton14->click();
            return main_->pointTable().recordCount() == 5;
        case Command::OpenPicture:
            script.chooseFile(path(QStringLiteral("map.bmp")));
            if (!saveAs.isEmpty())
                script.chooseFile(saveAs);
            main_->ToolButton1->click();
            return main_->IMGMAP->pictureSize() == QSize(24, 16);
        }
        return false;
    }

    QTemporaryDir dir;
    ScriptedPrompts script;
    Prompts* previous_ = nullptr;
    std::unique_ptr<Forms> forms_;
    TFmain* main_ = nullptr;
};

class UnsavedChanges : public ::testing::TestWithParam<std::tuple<Command, Case>>,
                       public GuardFixture
{
protected:
    void SetUp() override { setUpWindow(); }
    void TearDown() override { tearDownWindow(); }
};

class ImportChanges : public ::testing::Test, public GuardFixture
{
protected:
    void SetUp() override { setUpWindow(); }
    void TearDown() override { tearDownWindow(); }
};

// The import merges with the views' notifications held; what it merged
// still counts as a change.
TEST_F(ImportChanges, AnImportThatMergedMarksTheBaseModified)
{
    PointTable& table = main_->pointTable();
    table.open();
    addPoint(table, 1);
    main_->baseCommands().modifiedState().clear();
    script.chooseFile(path(QStringLiteral("other.Lorvet")));
    for (int i = 0; i < 5; ++i)
        script.answer(Button::Yes); // add each new point
    main_->ToolButton12->click();
    ASSERT_EQ(table.recordCount(), 6);
    EXPECT_TRUE(main_->baseCommands().modified());
}

TEST_P(UnsavedChanges, AskOnlyWhenModifiedAndFollowTheAnswer)
{
    const auto& [command, c] = GetParam();
    PointTable& table = main_->pointTable();
    BaseCommands& commands = main_->baseCommands();
    const QString named = path(QStringLiteral("mine.Lorvet"));
    const QString failing = path(QStringLiteral("taken.Lorvet"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.Lorvet")));

    table.open();
    addPoint(table, 1);
    addPoint(table, 2);
    if (!c.modified) {
        commands.setBaseFileName(named);
        guarded([&] { commands.ToolButton6Click(); });
        ASSERT_FALSE(commands.modified());
        QFile::remove(named);
    } else {
        ASSERT_TRUE(commands.modified());
    }
    commands.setBaseFileName(c.target == Target::Named     ? named
                             : c.target == Target::Failing ? failing
                                                           : QString());
    script.clear();
    script.answer(c.answer);
    const QString chosen = *c.saveAsChoice ? path(QString::fromLatin1(c.saveAsChoice)) : QString();

    const bool wentOn = run(command, c.target == Target::Unnamed ? chosen : QString());

    const QStringList questions = script.textsOf(Kind::Question);
    if (c.modified) {
        ASSERT_EQ(questions.size(), 1);
        for (const auto& shown : script.shown())
            if (shown.kind == Kind::Question) {
                const Prompts::Question expected = BaseCommands::unsavedChangesQuestion();
                EXPECT_EQ(shown.question.title, QStringLiteral("Confirm"));
                EXPECT_EQ(shown.question.text,
                          QStringLiteral("База изменена. Сохранить изменения?"));
                EXPECT_EQ(shown.question.icon, Prompts::Icon::Question);
                EXPECT_EQ(shown.question.buttons,
                          (QList<Button>{Button::Yes, Button::No, Button::Cancel}));
                EXPECT_EQ(shown.question.defaultButton, Button::Yes);
                EXPECT_EQ(shown.question.escapeButton, Button::Cancel);
                EXPECT_EQ(shown.question.text, expected.text);
            }
    } else {
        EXPECT_TRUE(questions.isEmpty());
    }
    EXPECT_EQ(wentOn, c.goesOn);
    if (!c.goesOn) {
        // Nothing changed: the window is up and the two points are still there.
        EXPECT_TRUE(main_->isVisible());
        EXPECT_EQ(table.recordCount(), 2);
    }
    const QString savedTo = c.target == Target::Unnamed ? chosen : named;
    if (c.saved) {
        ASSERT_TRUE(QFile::exists(savedTo));
        EXPECT_EQ(recordsIn(savedTo), 2);
    } else {
        EXPECT_FALSE(!savedTo.isEmpty() && QFile::exists(savedTo));
    }
    if (c.target == Target::Failing && c.answer == Button::Yes && c.modified) {
        EXPECT_EQ(script.textsOf(Kind::Error).size(), 1);
        EXPECT_TRUE(commands.modified());
    }
}

const Case cases[] = {
    {"Unmodified", false, Button::Yes, Target::Named, "", true, false},
    {"YesSaves", true, Button::Yes, Target::Named, "", true, true},
    {"YesWithoutANameSavesAs", true, Button::Yes, Target::Unnamed, "chosen.Lorvet", true, true},
    {"YesWithSaveAsCancelledStops", true, Button::Yes, Target::Unnamed, "", false, false},
    {"YesWithAFailingSaveStops", true, Button::Yes, Target::Failing, "", false, false},
    {"NoDiscards", true, Button::No, Target::Named, "", true, false},
    {"CancelChangesNothing", true, Button::Cancel, Target::Named, "", false, false},
    {"CloseBoxChangesNothing", true, Button::None, Target::Named, "", false, false},
};

INSTANTIATE_TEST_SUITE_P(Guard, UnsavedChanges,
                         ::testing::Combine(::testing::Values(Command::Close, Command::OpenBase,
                                                              Command::OpenPicture),
                                            ::testing::ValuesIn(cases)),
                         [](const auto& info) {
                             const Command command = std::get<0>(info.param);
                             const char* name = command == Command::Close      ? "Close"
                                                : command == Command::OpenBase ? "OpenBase"
                                                                               : "OpenPicture";
                             return std::string(name) + std::get<1>(info.param).name;
                         });

} // namespace
} // namespace kelvora
