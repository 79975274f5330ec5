#include "directoryedit.h"
#include "scriptedprompts.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using kelvora::DirectoryEdit;
using kelvora::folderBrowserPosition;
using kelvora::ScriptedPrompts;

namespace {

ScriptedPrompts& scripted()
{
    return static_cast<ScriptedPrompts&>(kelvora::prompts());
}

struct PositionCase
{
    const char* name;
    QRect field;
    QPoint expected;
};

TEST(FolderBrowserPosition, BelowTheFieldUnlessAnEdgeIsPassed)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize browser(420, 440);
    const PositionCase cases[] = {
        {"below, at the left edge", {100, 100, 401, 21}, {100, 121}},
        {"just fits to the right", {1500, 100, 401, 21}, {1500, 121}},
        {"passes the right edge: left by its width", {1501, 100, 401, 21}, {1081, 121}},
        {"just fits to the bottom", {100, 619, 401, 21}, {100, 640}},
        {"passes the bottom: above the field", {100, 620, 401, 21}, {100, 180}},
        {"both edges", {1700, 1000, 200, 21}, {1280, 560}},
    };
    for (const PositionCase& c : cases)
        EXPECT_EQ(folderBrowserPosition(c.field, browser, screen), c.expected) << c.name;

    // A narrow screen where moving left passes the left edge, and a second
    // screen to the right of the first.
    EXPECT_EQ(folderBrowserPosition({300, 10, 100, 21}, browser, {0, 0, 600, 1080}), QPoint(0, 31));
    EXPECT_EQ(folderBrowserPosition({10, 300, 100, 21}, browser, {0, 0, 1920, 500}), QPoint(10, 0));
    EXPECT_EQ(folderBrowserPosition({2000, 50, 401, 21}, browser, {1920, 0, 1280, 1024}),
              QPoint(2000, 71));
    EXPECT_EQ(folderBrowserPosition({2900, 50, 300, 21}, browser, {1920, 0, 1280, 1024}),
              QPoint(2480, 71));
}

class DirectoryEditTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        scripted().clear();
        edit.resize(401, 21);
        edit.show();
    }
    void TearDown() override { EXPECT_EQ(scripted().pendingAnswers(), 0); }

    DirectoryEdit edit;
};

TEST_F(DirectoryEditTest, ReadOnlyWithAnEighteenPixelButtonAtTheRight)
{
    EXPECT_TRUE(edit.isReadOnly());
    QToolButton* button = edit.browseButton();
    EXPECT_EQ(button->geometry(), QRect(401 - 18, 0, 18, 21));
    EXPECT_FALSE(button->icon().isNull());
    QTest::keyClicks(&edit, QStringLiteral("typed"));
    EXPECT_EQ(edit.text(), QString());
}

struct BrowseCase
{
    const char* name;
    QString text;
    QString start; // empty: the current directory
    QString chosen;
    QString after;
};

TEST_F(DirectoryEditTest, TheButtonBrowsesFromTheFieldsText)
{
    const BrowseCase cases[] = {
        {"trailing separator dropped", "/data/maps/", "/data/maps", "/data/other", "/data/other"},
        {"no separator", "/data/maps", "/data/maps", "/data/other", "/data/other"},
        {"root stays", "/", "/", "/data", "/data"},
        {"empty: the current directory", "", "", "/data", "/data"},
        {"cancelled", "/data/maps", "/data/maps", "", "/data/maps"},
        {"the same path", "/data/maps", "/data/maps", "/data/maps", "/data/maps"},
    };
    for (const BrowseCase& c : cases) {
        scripted().clear();
        edit.setText(c.text);
        if (!c.chosen.isEmpty())
            scripted().chooseFolder(c.chosen);
        QSignalSpy changed(&edit, &QLineEdit::textChanged);
        QTest::mouseClick(edit.browseButton(), Qt::LeftButton);

        ASSERT_EQ(scripted().shown().size(), 1) << c.name;
        const auto& request = scripted().shown().front().folder;
        EXPECT_EQ(scripted().shown().front().kind, ScriptedPrompts::Kind::Folder);
        EXPECT_EQ(request.title, QStringLiteral("Select Directory")) << c.name;
        EXPECT_EQ(request.startDirectory, c.start.isEmpty() ? QDir::currentPath() : c.start)
            << c.name;
        EXPECT_EQ(edit.text(), c.after) << c.name;
        EXPECT_EQ(changed.size(), c.after != c.text ? 1 : 0) << c.name;
    }
}

} // namespace
