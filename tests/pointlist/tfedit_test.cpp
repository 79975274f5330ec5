#include "dbmemo.h"
#include "pointfixture.h"
#include "tfedit.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

using testing::addPoint;
using testing::nameAt;

class EditWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table.open();
        source.attach(table);
    }

    // Runs events until `done` holds or a second has passed.
    template <typename Done> static bool waitFor(Done done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    PointTable table{QStringLiteral("PointTable")};
    DataSource source;
    TFedit dialog{source};
};

TEST_F(EditWindow, LooksAsDesigned)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Редактирование"));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinMaxButtonsHint);
    // The designed places, moved right and the window widened only as far as
    // the desktop font's captions need.
    const int grow = dialog.width() - 466;
    EXPECT_GE(grow, 0);
    EXPECT_EQ(dialog.height(), 313);
    EXPECT_EQ(dialog.DBSpinEdit1->y(), 8);
    EXPECT_GE(dialog.DBSpinEdit1->x(), 80);
    EXPECT_EQ(dialog.DBEdit1->height(), 21);
    EXPECT_EQ(dialog.DBEdit1->geometry().right(), dialog.DBMemo1->geometry().right());
    EXPECT_GE(dialog.DBEdit1->x(), 136);
    EXPECT_EQ(dialog.DBMemo1->geometry(), QRect(8, 112, 449 + grow, 145));
    EXPECT_EQ(dialog.BitBtn1->geometry(), QRect(384 + grow, 280, 75, 25));
    EXPECT_EQ(dialog.BitBtn2->geometry(), QRect(8, 280, 75, 25));
    // No caption runs into the control after it, and nothing leaves the
    // window's right margin.
    const std::pair<QWidget*, QWidget*> neighbours[] = {{dialog.Label1, dialog.DBSpinEdit1},
                                                        {dialog.Label2, dialog.DBSpinEdit2},
                                                        {dialog.DBSpinEdit2, dialog.DBCheckEdit1},
                                                        {dialog.Label3, dialog.DBEdit1},
                                                        {dialog.Label4, dialog.DBEdit2}};
    for (const auto& [caption, control] : neighbours) {
        SCOPED_TRACE(caption->objectName().toStdString());
        EXPECT_LT(caption->x() + caption->sizeHint().width(), control->x());
    }
    EXPECT_GE(dialog.DBCheckEdit1->width(), dialog.DBCheckEdit1->sizeHint().width());
    for (QWidget* control :
         {static_cast<QWidget*>(dialog.DBCheckEdit1), static_cast<QWidget*>(dialog.DBEdit1),
          static_cast<QWidget*>(dialog.DBEdit2)})
        EXPECT_LE(control->geometry().right(), dialog.width() - 9);
    EXPECT_TRUE(dialog.BitBtn1->isDefault());
    EXPECT_EQ(dialog.DBEdit1->maxLength(), 255);
    EXPECT_EQ(dialog.DBCheckEdit1->text(), QStringLiteral("Точка обработана"));
    EXPECT_EQ(dialog.Label3->text(), QStringLiteral("Наименование, ORIGIN"));
    // The tab order starts at OK.
    const QList<QWidget*> order{dialog.BitBtn1,     dialog.BitBtn2,     dialog.DBMemo1,
                                dialog.DBSpinEdit1, dialog.DBSpinEdit2, dialog.DBEdit1,
                                dialog.DBEdit2,     dialog.DBCheckEdit1};
    QList<QWidget*> chain;
    QWidget* at = dialog.BitBtn1;
    do {
        if (order.contains(at))
            chain << at;
        at = at->nextInFocusChain();
    } while (at != dialog.BitBtn1);
    EXPECT_EQ(chain, order);
}

TEST_F(EditWindow, OkOnAnUntouchedNewPointStoresIt)
{
    table.append();
    table.fieldByName(u"OBR").setAsBoolean(false);
    dialog.refresh();
    EXPECT_EQ(dialog.DBCheckEdit1->checkState(), Qt::Unchecked);
    dialog.BitBtn1->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    ASSERT_EQ(table.visibleCount(), 1);
    EXPECT_TRUE(table.fieldByName(u"X").isNull());
    EXPECT_TRUE(table.fieldByName(u"NAME_EN").isNull());
    EXPECT_FALSE(table.fieldByName(u"OBR").isNull());
    EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
}

TEST_F(EditWindow, OkPostsWhatWasTyped)
{
    addPoint(table, {3, 4, QStringLiteral("old"), {}, true});
    table.edit();
    dialog.show();
    EXPECT_EQ(dialog.DBSpinEdit1->value(), 3);
    EXPECT_EQ(dialog.DBEdit1->text(), QStringLiteral("old"));
    EXPECT_EQ(dialog.DBCheckEdit1->checkState(), Qt::Checked);
    dialog.DBEdit1->setFocus();
    dialog.DBEdit1->selectAll();
    QTest::keyClicks(dialog.DBEdit1, QStringLiteral("new"));
    dialog.DBSpinEdit1->setValue(-17);
    dialog.DBMemo1->setPlainText(QStringLiteral("line one\nline two"));
    dialog.DBCheckEdit1->click();
    dialog.BitBtn1->click();
    EXPECT_EQ(table.state(), PointTable::State::Browse);
    EXPECT_EQ(nameAt(table), QStringLiteral("new"));
    EXPECT_EQ(table.fieldByName(u"X").asInteger(), -17);
    EXPECT_EQ(table.fieldByName(u"DESC").asString(), QStringLiteral("line one\nline two"));
    EXPECT_FALSE(table.fieldByName(u"OBR").asBoolean());
}

TEST_F(EditWindow, EnterInAOneLineFieldPressesOk)
{
    addPoint(table, {3, 4, QStringLiteral("old"), {}, true});
    table.edit();
    dialog.show();
    dialog.DBEdit1->setFocus();
    dialog.DBEdit1->selectAll();
    QTest::keyClicks(dialog.DBEdit1, QStringLiteral("entered"));
    QTest::keyClick(dialog.DBEdit1, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return table.state() == PointTable::State::Browse; }));
    EXPECT_EQ(nameAt(table), QStringLiteral("entered"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(EditWindow, CancelEscapeAndTheCloseBoxCancel)
{
    addPoint(table, {3, 4, QStringLiteral("old"), {}, true});
    for (int way = 0; way < 3; ++way) {
        table.edit();
        dialog.show();
        dialog.DBEdit1->setFocus();
        dialog.DBEdit1->selectAll();
        QTest::keyClicks(dialog.DBEdit1, QStringLiteral("typed"));
        if (way == 0)
            dialog.BitBtn2->click();
        else if (way == 1)
            QTest::keyClick(dialog.DBEdit1, Qt::Key_Escape);
        else
            dialog.close();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << way;
        EXPECT_EQ(table.state(), PointTable::State::Browse) << way;
        EXPECT_EQ(nameAt(table), QStringLiteral("old")) << way;
        EXPECT_FALSE(dialog.isVisible()) << way;
    }
}

TEST_F(EditWindow, CancelDropsANewPoint)
{
    addPoint(table, {3, 4, QStringLiteral("kept"), {}, true});
    table.append();
    table.fieldByName(u"X").setAsInteger(10);
    dialog.BitBtn2->click();
    EXPECT_EQ(table.visibleCount(), 1);
    EXPECT_EQ(nameAt(table), QStringLiteral("kept"));
}

TEST_F(EditWindow, EditOnAnEmptyTableStoresANewPointWithAnEmptyFlag)
{
    table.edit(); // no record: a new one instead
    dialog.show();
    EXPECT_EQ(dialog.DBCheckEdit1->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(dialog.DBEdit1->text(), QString());
    dialog.BitBtn1->click();
    ASSERT_EQ(table.visibleCount(), 1);
    EXPECT_TRUE(table.fieldByName(u"OBR").isNull());
}

TEST_F(EditWindow, DetachedOrClosedShowsNothing)
{
    addPoint(table, {3, 4, QStringLiteral("old"), {}, true});
    source.detach();
    dialog.show();
    EXPECT_EQ(dialog.DBEdit1->text(), QString());
    dialog.BitBtn1->click(); // nothing to post
    source.attach(table);
    dialog.refresh();
    EXPECT_EQ(dialog.DBEdit1->text(), QStringLiteral("old"));
}

} // namespace
} // namespace kelvora
