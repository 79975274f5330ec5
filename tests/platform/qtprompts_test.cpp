#include "qtprompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

// Acts on the question box once it is shown, so the test never waits on it.
void whenShown(std::function<void(QMessageBox&)> action)
{
    QTimer::singleShot(0, [action] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        action(*box);
    });
}

Prompts::Question replaceQuestion()
{
    Prompts::Question question;
    question.text = QStringLiteral("Заменить?");
    question.buttons = {Prompts::Button::Yes, Prompts::Button::No, Prompts::Button::Ignore};
    return question;
}

TEST(QtPrompts, TheCloseBoxPressesNoButtonButEscapePressesTheEscapeButton)
{
    QtPrompts prompts;
    whenShown([](QMessageBox& box) { box.close(); });
    EXPECT_EQ(prompts.ask(replaceQuestion()), Prompts::Button::None);

    whenShown([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(prompts.ask(replaceQuestion()), Prompts::Button::No);
}

TEST(QtPrompts, ShowsTheCaptionsTitleAndDefaultButton)
{
    QtPrompts prompts;
    QStringList captions;
    QString title;
    QString defaultCaption;
    whenShown([&](QMessageBox& box) {
        for (QAbstractButton* button : box.buttons())
            captions << button->text();
        title = box.windowTitle();
        defaultCaption = box.defaultButton()->text();
        QTest::keyClick(&box, Qt::Key_Return);
    });
    EXPECT_EQ(prompts.ask(replaceQuestion()), Prompts::Button::Yes);
    captions.sort();
    EXPECT_EQ(captions, (QStringList{"Ignore", "No", "Yes"}));
    EXPECT_EQ(title, QStringLiteral("Confirm"));
    EXPECT_EQ(defaultCaption, QStringLiteral("Yes"));
}

} // namespace
} // namespace kelvora
