#include "basefile.h"
#include "baseimport.h"
#include "failure.h"
#include "pointtable.h"

#include <QFile>
#include <QQueue>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace kelvora {
namespace {

using Answer = BaseImport::ReplaceAnswer;
using Rule = BaseImport::NameRule;

struct P
{
    int x;
    int y;
    QString name;
    QString rus;
    QString desc = {};
    bool obr = false;

    bool operator==(const P& other) const
    {
        return x == other.x && y == other.y && name == other.name && rus == other.rus &&
               desc == other.desc && obr == other.obr;
    }
};

std::ostream& operator<<(std::ostream& out, const P& p)
{
    return out << "(" << p.x << ", " << p.y << ", \"" << p.name.toStdString() << "\", \""
               << p.rus.toStdString() << "\", \"" << p.desc.toStdString() << "\", " << p.obr << ")";
}

void fill(PointTable& table, const std::vector<P>& points)
{
    table.open();
    for (const P& p : points) {
        table.append();
        table.fieldByName(u"X").setAsInteger(p.x);
        table.fieldByName(u"Y").setAsInteger(p.y);
        table.fieldByName(u"NAME_EN").setAsString(p.name);
        table.fieldByName(u"NAME_RUS").setAsString(p.rus);
        if (!p.desc.isEmpty())
            table.fieldByName(u"DESC").setAsString(p.desc);
        table.fieldByName(u"OBR").setAsBoolean(p.obr);
        table.post();
    }
}

std::vector<P> contents(PointTable& table)
{
    std::vector<P> points;
    table.first();
    while (!table.eof()) {
        points.push_back(
            {table.fieldByName(u"X").asInteger(), table.fieldByName(u"Y").asInteger(),
             table.fieldByName(u"NAME_EN").asString(), table.fieldByName(u"NAME_RUS").asString(),
             table.fieldByName(u"DESC").asString(), table.fieldByName(u"OBR").asBoolean()});
        table.next();
    }
    return points;
}

// Answers from a script and records every question with its text.
class ScriptedQuestions : public BaseImport::Questions
{
public:
    enum class Kind { Replace, Add };
    struct Asked
    {
        Kind kind;
        QString text;
        bool operator==(const Asked&) const = default;
    };
    // Yes, No, Ignore; an unanswered question is skipped.
    enum class Reply { Yes, No, Ignore };

    Answer askReplace(const QString& text) override
    {
        asked.push_back({Kind::Replace, text});
        const Reply reply = replies.isEmpty() ? Reply::Ignore : replies.dequeue();
        return reply == Reply::Yes  ? Answer::Replace
               : reply == Reply::No ? Answer::Add
                                    : Answer::Skip;
    }
    bool askAdd(const QString& text) override
    {
        asked.push_back({Kind::Add, text});
        return !replies.isEmpty() && replies.dequeue() == Reply::Yes;
    }

    QQueue<Reply> replies;
    std::vector<Asked> asked;
};

std::ostream& operator<<(std::ostream& out, const ScriptedQuestions::Asked& a)
{
    return out << (a.kind == ScriptedQuestions::Kind::Add ? "add: " : "replace: ")
               << a.text.toStdString();
}

using Reply = ScriptedQuestions::Reply;
using Asked = ScriptedQuestions::Asked;
constexpr auto Add = ScriptedQuestions::Kind::Add;
constexpr auto Replace = ScriptedQuestions::Kind::Replace;

const P solace{10, 20, QStringLiteral("Solace"), QStringLiteral("Утеха")};
const P haven{30, 40, QStringLiteral("Haven"), QStringLiteral("Гавань")};
const P qualinost{-5, 7, QStringLiteral("Qualinost"), QStringLiteral("Квалиност")};
const P solaceMoved{
    11,  21, QStringLiteral("Solace"), QStringLiteral("Новая Утеха"), QStringLiteral("перенесена"),
    true};
const P solaceSecond{50, 60, QStringLiteral("Solace"), QStringLiteral("Вторая Утеха")};
const P solaceFar{70, 80, QStringLiteral("Solace"), QStringLiteral("Дальняя Утеха")};

const QString replaceSolaceByMoved =
    QStringLiteral("В Базе есть точка с таким же наименованием ORIGIN: \r\n"
                   "Solace\r\n"
                   "Наименование RUS: Утеха\r\n"
                   "Координаты: 10 x 20\r\n\r\n"
                   "Импортируемая точка:\r\n"
                   "Наименование RUS: Новая Утеха\r\n"
                   "Координаты: 11 x 21\r\n\r\n"
                   "Заменить? (Yes= Заменить, No = Добавить, Ignore=пропустить)");
const QString addHaven = QStringLiteral("Добавить точку?\r\nКоординаты: 30 x 40\r\n"
                                        "Наименование ORIGIN: Haven\r\n"
                                        "Наименование RUS: Гавань");
const QString addQualinost = QStringLiteral("Добавить точку?\r\nКоординаты: -5 x 7\r\n"
                                            "Наименование ORIGIN: Qualinost\r\n"
                                            "Наименование RUS: Квалиност");

class BaseImportTest : public ::testing::Test
{
protected:
    QString writeBase(const std::vector<P>& points)
    {
        PointTable source(QStringLiteral("Source"));
        fill(source, points);
        const QString path = dir.filePath(QStringLiteral("import%1.Lorvet").arg(files++));
        saveToFile(source, path, format);
        return path;
    }

    BaseImport::Hooks hooks()
    {
        BaseImport::Hooks h;
        h.choices = [this] {
            ++choiceReads;
            return choices;
        };
        h.detach = [this] {
            events << QStringLiteral("detach");
        };
        h.attach = [this] {
            events << QStringLiteral("attach");
        };
        h.setMaximum = [this](int maximum) {
            events << QStringLiteral("maximum %1").arg(maximum);
            this->maximum = maximum;
        };
        h.advance = [this] {
            return position = std::min(position + 1, maximum);
        };
        h.repaint = [this] {
            repaints.push_back(position);
        };
        return h;
    }

    bool runImport(const QString& path)
    {
        BaseImport import(table, impBase, questions, hooks());
        return import.run(path, format);
    }

    QTemporaryDir dir;
    int files = 0;
    BaseFileFormat format;
    PointTable table{QStringLiteral("PointTable")};
    PointTable impBase{QStringLiteral("IMPBase")};
    ScriptedQuestions questions;
    BaseImport::Choices choices;
    int choiceReads = 0;
    QStringList events;
    int maximum = 0;
    int position = 0;
    std::vector<int> repaints;
};

TEST_F(BaseImportTest, DecidesEveryRecordByTheNameThePositionAndTheChoices)
{
    struct Scenario
    {
        const char* what;
        std::vector<P> base;
        std::vector<P> imported;
        BaseImport::Choices choices;
        std::vector<Reply> replies;
        std::vector<Asked> asked;
        std::vector<P> after;
    };
    const BaseImport::Choices quiet{true, false, Rule::None};
    const BaseImport::Choices ask{false, true, Rule::None};
    const P solaceLower{10, 20, QStringLiteral("solace"), QStringLiteral("утеха")};
    const Scenario scenarios[] = {
        {"an empty import file", {solace}, {}, ask, {}, {}, {solace}},
        {"the open base itself", {solace, haven}, {solace, haven}, ask, {}, {}, {solace, haven}},
        {"two new points added without asking",
         {solace},
         {haven, qualinost},
         quiet,
         {},
         {},
         {solace, haven, qualinost}},
        {"two new points asked for one by one",
         {solace},
         {haven, qualinost},
         ask,
         {Reply::Yes, Reply::No},
         {{Add, addHaven}, {Add, addQualinost}},
         {solace, haven}},
        {"an absent name declined",
         {solace},
         {haven},
         ask,
         {Reply::No},
         {{Add, addHaven}},
         {solace}},
        {"elsewhere, asked, Yes replaces",
         {solace, haven},
         {solaceMoved},
         ask,
         {Reply::Yes},
         {{Replace, replaceSolaceByMoved}},
         {haven, solaceMoved}},
        {"elsewhere, asked, No adds beside",
         {solace, haven},
         {solaceMoved},
         ask,
         {Reply::No},
         {{Replace, replaceSolaceByMoved}},
         {solace, haven, solaceMoved}},
        {"elsewhere, asked, Ignore skips",
         {solace, haven},
         {solaceMoved},
         ask,
         {Reply::Ignore},
         {{Replace, replaceSolaceByMoved}},
         {solace, haven}},
        {"twice, the second at the imported position",
         {solace, haven, solaceSecond},
         {solaceSecond},
         ask,
         {},
         {},
         {solace, haven, solaceSecond}},
        {"twice, the first at the imported position",
         {solaceSecond, solace},
         {solaceSecond},
         ask,
         {},
         {},
         {solaceSecond, solace}},
        {"same name and position, other texts: skipped",
         {solace},
         {P{10, 20, QStringLiteral("Solace"), QStringLiteral("Другая")}},
         ask,
         {},
         {},
         {solace}},
        {"rule replace: the first match goes",
         {solace, haven, solaceSecond},
         {solaceFar},
         {false, false, Rule::Replace},
         {},
         {},
         {haven, solaceSecond, solaceFar}},
        {"rule add",
         {solace, haven},
         {solaceFar},
         {false, false, Rule::Add},
         {},
         {},
         {solace, haven, solaceFar}},
        {"rule next",
         {solace, haven},
         {solaceFar},
         {false, false, Rule::Next},
         {},
         {},
         {solace, haven}},
        {"no rule on",
         {solace, haven},
         {solaceFar},
         {false, false, Rule::None},
         {},
         {},
         {solace, haven}},
        {"the question wins over the rule",
         {solace},
         {solaceMoved},
         {false, true, Rule::Replace},
         {Reply::No},
         {{Replace, replaceSolaceByMoved}},
         {solace, solaceMoved}},
        {"names differing in case are different",
         {solace},
         {solaceLower},
         ask,
         {Reply::Yes},
         {{Add, QStringLiteral("Добавить точку?\r\nКоординаты: 10 x 20\r\n"
                               "Наименование ORIGIN: solace\r\nНаименование RUS: утеха")}},
         {solace, solaceLower}},
        {"an added point is then found by its name",
         {haven},
         {solace, solaceMoved},
         {true, true, Rule::None},
         {Reply::Yes},
         {{Replace, replaceSolaceByMoved}},
         {haven, solaceMoved}},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.what);
        table.close();
        fill(table, s.base);
        const QString path = writeBase(s.imported);
        choices = s.choices;
        questions.asked.clear();
        questions.replies.clear();
        for (Reply r : s.replies)
            questions.replies.enqueue(r);
        position = 0;

        EXPECT_TRUE(runImport(path));
        EXPECT_EQ(questions.asked, s.asked);
        EXPECT_TRUE(questions.replies.isEmpty());
        EXPECT_EQ(contents(table), s.after);
        // Emptied and closed: nothing is left for a later open.
        EXPECT_FALSE(impBase.isOpen());
        impBase.open();
        EXPECT_EQ(impBase.recordCount(), 0);
        impBase.close();
        EXPECT_EQ(position, int(s.imported.size()));
    }
}

TEST_F(BaseImportTest, QuestionTextsLeaveEmptyFieldsOut)
{
    BaseImport::Point empty;
    EXPECT_EQ(BaseImport::addQuestion(empty),
              QStringLiteral("Добавить точку?\r\nКоординаты:  x \r\nНаименование ORIGIN: \r\n"
                             "Наименование RUS: "));
    BaseImport::Point existing{QStringLiteral("Solace"), QString(), 0, std::nullopt};
    BaseImport::Point imported{QStringLiteral("Solace"), QStringLiteral("Утеха"), -3, 2147483647};
    EXPECT_EQ(BaseImport::replaceQuestion(existing, imported),
              QStringLiteral("В Базе есть точка с таким же наименованием ORIGIN: \r\n"
                             "Solace\r\n"
                             "Наименование RUS: \r\n"
                             "Координаты: 0 x \r\n\r\n"
                             "Импортируемая точка:\r\n"
                             "Наименование RUS: Утеха\r\n"
                             "Координаты: -3 x 2147483647\r\n\r\n"
                             "Заменить? (Yes= Заменить, No = Добавить, Ignore=пропустить)"));
}

TEST_F(BaseImportTest, NullFieldsAreReadAsEmptyAndUnnamedPointsMeet)
{
    table.open();
    table.append();
    table.fieldByName(u"X").setAsInteger(1);
    table.fieldByName(u"Y").setAsInteger(2);
    table.post();
    PointTable source(QStringLiteral("Source"));
    source.open();
    source.append();
    source.fieldByName(u"X").setAsInteger(1);
    source.fieldByName(u"Y").setAsInteger(2);
    source.post();
    source.append();
    source.fieldByName(u"Y").setAsInteger(9);
    source.post();
    const QString path = dir.filePath(QStringLiteral("nulls.Lorvet"));
    saveToFile(source, path, format);
    choices = {false, true, Rule::None};

    EXPECT_TRUE(runImport(path));
    // The unnamed point at (1, 2) is already there; the one at (null, 9) is
    // unnamed elsewhere, so it is offered for replacing.
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0].text,
              QStringLiteral("В Базе есть точка с таким же наименованием ORIGIN: \r\n\r\n"
                             "Наименование RUS: \r\n"
                             "Координаты: 1 x 2\r\n\r\n"
                             "Импортируемая точка:\r\n"
                             "Наименование RUS: \r\n"
                             "Координаты:  x 9\r\n\r\n"
                             "Заменить? (Yes= Заменить, No = Добавить, Ignore=пропустить)"));
}

TEST_F(BaseImportTest, ReadsTheChoicesAtEveryDecision)
{
    fill(table, {solace});
    const QString path = writeBase({haven, qualinost});
    BaseImport::Hooks h = hooks();
    // The choice changes while the import runs: asked for the first, not the second.
    h.choices = [this] {
        ++choiceReads;
        return BaseImport::Choices{choiceReads > 1, false, Rule::None};
    };
    questions.replies.enqueue(Reply::Yes);
    BaseImport import(table, impBase, questions, h);
    EXPECT_TRUE(import.run(path, format));
    EXPECT_EQ(choiceReads, 2);
    EXPECT_EQ(questions.asked, (std::vector<Asked>{{Add, addHaven}}));
    EXPECT_EQ(contents(table), (std::vector<P>{solace, haven, qualinost}));
}

TEST_F(BaseImportTest, RepaintsTheProgressAtEveryTenthRecord)
{
    fill(table, {});
    std::vector<P> many;
    for (int i = 0; i < 25; ++i)
        many.push_back({i, i, QStringLiteral("P%1").arg(i), QString()});
    choices.noQuestion = true;
    EXPECT_TRUE(runImport(writeBase(many)));
    EXPECT_EQ(repaints, (std::vector<int>{10, 20}));
    EXPECT_EQ(position, 25);
    EXPECT_EQ(events, QStringList({QStringLiteral("detach"), QStringLiteral("maximum 25"),
                                   QStringLiteral("attach")}));
    EXPECT_EQ(table.recordCount(), 25);
}

TEST_F(BaseImportTest, ANonBaseFileFailsAndChangesNothing)
{
    fill(table, {solace, haven});
    const QString path = dir.filePath(QStringLiteral("picture.Lorvet"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("GIF89a not a base at all");
    file.close();

    EXPECT_FALSE(runImport(path));
    EXPECT_EQ(contents(table), (std::vector<P>{solace, haven}));
    // Attached again although it was never detached.
    EXPECT_EQ(events, QStringList{QStringLiteral("attach")});
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_FALSE(runImport(dir.filePath(QStringLiteral("missing.Lorvet"))));
}

TEST_F(BaseImportTest, WithNoBaseOpenNothingIsMerged)
{
    const QString path = writeBase({haven});
    ASSERT_FALSE(table.isOpen());
    choices.noQuestion = true;
    EXPECT_FALSE(runImport(path));
    EXPECT_FALSE(table.isOpen());
    EXPECT_EQ(events, QStringList({QStringLiteral("detach"), QStringLiteral("maximum 1"),
                                   QStringLiteral("attach")}));
    // The import source keeps what it held until the next import.
    EXPECT_TRUE(impBase.isOpen());
    EXPECT_EQ(impBase.recordCount(), 1);

    // With no base open an empty import file has nothing to search for.
    EXPECT_TRUE(runImport(writeBase({})));
}

TEST_F(BaseImportTest, AFailureInTheLoopKeepsWhatWasMerged)
{
    fill(table, {solace});
    const QString path = writeBase({haven, qualinost, solaceFar});
    BaseImport::Hooks h = hooks();
    int reads = 0;
    h.choices = [&reads]() -> BaseImport::Choices {
        if (++reads == 2)
            throw Failure(QStringLiteral("the settings went away"));
        return {true, false, Rule::None};
    };
    BaseImport import(table, impBase, questions, h);
    EXPECT_FALSE(import.run(path, format));
    EXPECT_EQ(contents(table), (std::vector<P>{solace, haven}));
    EXPECT_EQ(events.last(), QStringLiteral("attach"));
    EXPECT_EQ(position, 1);
    EXPECT_TRUE(impBase.isOpen());
    EXPECT_EQ(impBase.recordCount(), 3);
}

TEST_F(BaseImportTest, AReplacedPointIsAppendedWithAllItsValues)
{
    const P old{
        11, 21, QStringLiteral("Solace"), QStringLiteral("Утеха"), QStringLiteral("старая"), false};
    fill(table, {old, haven});
    choices = {false, false, Rule::Replace};
    const P moved{12,
                  22,
                  QStringLiteral("Solace"),
                  QStringLiteral("Новая"),
                  QStringLiteral("новое описание"),
                  true};
    EXPECT_TRUE(runImport(writeBase({moved})));
    EXPECT_EQ(contents(table), (std::vector<P>{haven, moved}));
}

TEST_F(BaseImportTest, LeavesTheLastCopiedRecordCurrent)
{
    fill(table, {solace, haven});
    choices.noQuestion = true;
    EXPECT_TRUE(runImport(writeBase({qualinost, solace})));
    // The last decision skipped after finding Solace by name.
    EXPECT_EQ(table.fieldByName(u"NAME_EN").asString(), QStringLiteral("Solace"));
    const P xak{1, 1, QStringLiteral("Xak Tsaroth"), QString()};
    EXPECT_TRUE(runImport(writeBase({xak, haven, solaceFar, xak})));
    // The last record was already there: its name search left it current.
    EXPECT_EQ(table.fieldByName(u"NAME_EN").asString(), QStringLiteral("Xak Tsaroth"));
    EXPECT_EQ(table.currentRow(), table.visibleCount() - 1);
    choices.names = Rule::Add;
    EXPECT_TRUE(runImport(writeBase({solaceSecond})));
    // The last decision copied: the appended record is current.
    EXPECT_EQ(table.fieldByName(u"NAME_RUS").asString(), QStringLiteral("Вторая Утеха"));
}

TEST_F(BaseImportTest, TheReplaceRuleTakesTheFirstMatchInTheCurrentOrder)
{
    fill(table, {solaceSecond, haven, solace});
    table.setSortFields(QStringLiteral("X"));
    table.sort();
    choices = {false, false, Rule::Replace};
    EXPECT_TRUE(runImport(writeBase({solaceFar})));
    // Sorted by X, Solace at (10, 20) comes first although it was added last.
    EXPECT_EQ(contents(table), (std::vector<P>{haven, solaceSecond, solaceFar}));
}

} // namespace
} // namespace kelvora
