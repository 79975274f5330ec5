#include "basefile.h"
#include "baseimport.h"
#include "forms.h"
#include "importquestions.h"
#include "scriptedprompts.h"
#include "tfmain.h"
#include "tfsettings.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

using Button = Prompts::Button;
using Kind = ScriptedPrompts::Kind;

class RecordingMain : public TFmain
{
public:
    void showModal(QDialog&) override {}
};

class Import : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = &prompts();
        setPrompts(&scripted_);
        forms_ = std::make_unique<Forms>([this] {
            auto main = std::make_unique<RecordingMain>();
            main_ = main.get();
            return main;
        });
        main_->show();
    }

    void TearDown() override
    {
        forms_.reset();
        setPrompts(previous_);
    }

    struct P
    {
        int x;
        int y;
        QString name;
    };

    static void fill(PointTable& table, const std::vector<P>& points)
    {
        table.open();
        for (const P& p : points) {
            table.append();
            table.fieldByName(u"X").setAsInteger(p.x);
            table.fieldByName(u"Y").setAsInteger(p.y);
            table.fieldByName(u"NAME_EN").setAsString(p.name);
            table.post();
        }
    }

    QString writeBase(const std::vector<P>& points)
    {
        PointTable source(QStringLiteral("Source"));
        fill(source, points);
        const QString path = dir_.filePath(QStringLiteral("import.Lorvet"));
        saveToFile(source, path, BaseFileFormat());
        return path;
    }

    QStringList names()
    {
        QStringList result;
        PointTable& table = main_->pointTable();
        for (table.first(); !table.eof(); table.next())
            result << QStringLiteral("%1 %2 %3")
                          .arg(table.fieldByName(u"NAME_EN").asString())
                          .arg(table.fieldByName(u"X").asInteger())
                          .arg(table.fieldByName(u"Y").asInteger());
        return result;
    }

    ScriptedPrompts scripted_;
    Prompts* previous_ = nullptr;
    std::unique_ptr<Forms> forms_;
    RecordingMain* main_ = nullptr;
    QTemporaryDir dir_;
};

TEST_F(Import, TheBoxesHaveTheirButtonsAndTellTheirOutcomesApart)
{
    const Prompts::Question replace = ImportQuestions::replaceBox(QStringLiteral("t"));
    EXPECT_EQ(replace.title, QStringLiteral("Confirm"));
    EXPECT_EQ(replace.icon, Prompts::Icon::Question);
    EXPECT_EQ(replace.buttons, QList<Button>({Button::Yes, Button::No, Button::Ignore}));
    EXPECT_EQ(replace.defaultButton, Button::Yes);
    EXPECT_EQ(replace.escapeButton, Button::No);
    const Prompts::Question add = ImportQuestions::addBox(QStringLiteral("t"));
    EXPECT_EQ(add.title, QStringLiteral("Confirm"));
    EXPECT_EQ(add.buttons, QList<Button>({Button::Yes, Button::No}));
    EXPECT_EQ(add.defaultButton, Button::Yes);
    EXPECT_EQ(add.escapeButton, Button::No);

    struct Case
    {
        Button pressed;
        BaseImport::ReplaceAnswer replace;
        bool add;
    };
    const Case cases[] = {
        {Button::Yes, BaseImport::ReplaceAnswer::Replace, true},
        {Button::No, BaseImport::ReplaceAnswer::Add, false},
        {Button::Ignore, BaseImport::ReplaceAnswer::Skip, false},
        {Button::None, BaseImport::ReplaceAnswer::Skip, false}, // the close box
    };
    ImportQuestions questions;
    for (const Case& c : cases) {
        scripted_.answer(c.pressed);
        EXPECT_EQ(questions.askReplace(QStringLiteral("r")), c.replace) << int(c.pressed);
        scripted_.answer(c.pressed);
        EXPECT_EQ(questions.askAdd(QStringLiteral("a")), c.add) << int(c.pressed);
    }
    EXPECT_EQ(scripted_.textsOf(Kind::Question).size(), 8);
}

TEST_F(Import, CancellingTheDialogChangesNothing)
{
    fill(main_->pointTable(), {{1, 2, QStringLiteral("A")}});
    main_->ToolButton12->click();
    ASSERT_EQ(scripted_.shown().size(), 1);
    EXPECT_EQ(scripted_.shown()[0].kind, Kind::OpenFile);
    EXPECT_EQ(scripted_.shown()[0].file.filter,
              QStringLiteral("Файлы базы Kelvora (*.Lorvet)|*.Lorvet|Все файлы (*.*)|*.*"));
    EXPECT_TRUE(main_->Label4->text().isEmpty());
    EXPECT_TRUE(main_->ProgressBar1->isHidden());
    EXPECT_EQ(names(), QStringList{QStringLiteral("A 1 2")});
}

TEST_F(Import, MergesAskingThroughTheBoxesAndHidesTheBar)
{
    fill(main_->pointTable(), {{1, 2, QStringLiteral("A")}, {3, 4, QStringLiteral("B")}});
    const QString path = writeBase({{5, 6, QStringLiteral("A")},
                                    {3, 4, QStringLiteral("B")},
                                    {7, 8, QStringLiteral("C")},
                                    {9, 9, QStringLiteral("D")}});
    Fsettings->IMPNOQUESTION()->setChecked(false);
    Fsettings->IMPDIFFPOINT()->setChecked(true);
    scripted_.chooseFile(path);
    scripted_.answer(Button::No);   // A elsewhere: added beside
    scripted_.answer(Button::Yes);  // C added
    scripted_.answer(Button::None); // D: the add box closed
    main_->ToolButton12->click();

    EXPECT_EQ(scripted_.textsOf(Kind::Question),
              QStringList({QStringLiteral("В Базе есть точка с таким же наименованием ORIGIN: "
                                          "\r\nA\r\nНаименование RUS: \r\nКоординаты: 1 x 2\r\n\r\n"
                                          "Импортируемая точка:\r\nНаименование RUS: \r\n"
                                          "Координаты: 5 x 6\r\n\r\n"
                                          "Заменить? (Yes= Заменить, No = Добавить, "
                                          "Ignore=пропустить)"),
                           QStringLiteral("Добавить точку?\r\nКоординаты: 7 x 8\r\n"
                                          "Наименование ORIGIN: C\r\nНаименование RUS: "),
                           QStringLiteral("Добавить точку?\r\nКоординаты: 9 x 9\r\n"
                                          "Наименование ORIGIN: D\r\nНаименование RUS: ")}));
    EXPECT_TRUE(scripted_.textsOf(Kind::Message).isEmpty());
    EXPECT_EQ(names(), QStringList({QStringLiteral("A 1 2"), QStringLiteral("B 3 4"),
                                    QStringLiteral("A 5 6"), QStringLiteral("C 7 8")}));
    EXPECT_EQ(main_->Label4->text(), QStringLiteral("Импорт данных"));
    EXPECT_TRUE(main_->ProgressBar1->isHidden());
    EXPECT_EQ(main_->ProgressBar1->maximum(), 4);
    EXPECT_EQ(main_->ProgressBar1->value(), 4);
    EXPECT_FALSE(main_->impBase().isOpen());

    // The same file is offered again by the shared dialog.
    scripted_.clear();
    main_->ToolButton12->click();
    EXPECT_EQ(scripted_.shown().at(0).file.fileName, path);
}

TEST_F(Import, TheRadioRuleIsReadFromTheSettingsWindow)
{
    fill(main_->pointTable(), {{1, 2, QStringLiteral("A")}});
    const QString path = writeBase({{5, 6, QStringLiteral("A")}});
    Fsettings->IMPDIFFPOINT()->setChecked(false);
    Fsettings->IMPNAMES_REPLACE()->setChecked(true);
    scripted_.chooseFile(path);
    // Bound views do not follow the merge record by record: one reset at its end.
    QSignalSpy inserted(&main_->pointTable(), &PointTable::rowInserted);
    QSignalSpy removed(&main_->pointTable(), &PointTable::rowRemoved);
    QSignalSpy reset(&main_->pointTable(), &PointTable::reset);
    // The data link is unbound for the merge and bound again after it.
    QSignalSpy links(&main_->dataSource1(), &DataSource::tableChanged);
    main_->ToolButton12->click();
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(links.count(), 2);
    EXPECT_EQ(main_->dataSource1().table(), &main_->pointTable());
    EXPECT_EQ(main_->DBMAP->model()->rowCount(), 1);
    EXPECT_TRUE(scripted_.textsOf(Kind::Question).isEmpty());
    EXPECT_EQ(names(), QStringList{QStringLiteral("A 5 6")});
}

TEST_F(Import, AFailureShowsItsMessageAndKeepsTheLabel)
{
    fill(main_->pointTable(), {{1, 2, QStringLiteral("A")}});
    const QString path = dir_.filePath(QStringLiteral("broken.Lorvet"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a base");
    file.close();
    scripted_.chooseFile(path);
    main_->ToolButton12->click();
    EXPECT_EQ(scripted_.textsOf(Kind::Message),
              QStringList{QStringLiteral("Неправильный формат, Импорт не произведен")});
    EXPECT_TRUE(scripted_.textsOf(Kind::Error).isEmpty());
    EXPECT_EQ(main_->Label4->text(), QStringLiteral("Импорт данных"));
    EXPECT_TRUE(main_->ProgressBar1->isHidden());
    EXPECT_EQ(names(), QStringList{QStringLiteral("A 1 2")});
}

TEST_F(Import, WithNoBaseOpenNothingIsMerged)
{
    scripted_.chooseFile(writeBase({{5, 6, QStringLiteral("A")}}));
    Fsettings->IMPNOQUESTION()->setChecked(true);
    main_->ToolButton12->click();
    EXPECT_EQ(scripted_.textsOf(Kind::Message),
              QStringList{QStringLiteral("Неправильный формат, Импорт не произведен")});
    EXPECT_FALSE(main_->pointTable().isOpen());
    EXPECT_TRUE(main_->ProgressBar1->isHidden());
}

} // namespace
} // namespace kelvora
