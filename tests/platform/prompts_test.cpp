#include "prompts.h"
#include "scriptedprompts.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

TEST(NameFilters, TurnsDescriptionPatternPairsIntoQtFilters)
{
    EXPECT_EQ(nameFiltersOf(QStringLiteral("Файлы базы Kelvora (*.Lorvet)|*.Lorvet|Все файлы (*.*)|*.*")),
              (QStringList{QStringLiteral("Файлы базы Kelvora (*.Lorvet)"), QStringLiteral("Все файлы (*.*)")}));
    EXPECT_EQ(nameFiltersOf(QStringLiteral("All (*.gif;*.jpg)|*.gif;*.jpg|Bitmaps|*.bmp")),
              (QStringList{QStringLiteral("All (*.gif *.jpg)"), QStringLiteral("Bitmaps (*.bmp)")}));
    EXPECT_TRUE(nameFiltersOf(QString()).isEmpty());
}

TEST(ScriptedPrompts, AnswersFromItsQueuesAndRecordsWhatWasShown)
{
    ScriptedPrompts scripted;
    scripted.answer(Prompts::Button::Yes);
    scripted.chooseFile(QStringLiteral("a.Lorvet"));

    Prompts::Question question;
    question.text = QStringLiteral("Уверены, что хотите удалить?");
    EXPECT_EQ(scripted.ask(question), Prompts::Button::Yes);
    // Once the script runs out, a question gets its escape button and a
    // dialog is cancelled.
    EXPECT_EQ(scripted.ask(question), Prompts::Button::No);
    EXPECT_EQ(scripted.openFileName({}), QStringLiteral("a.Lorvet"));
    EXPECT_EQ(scripted.openFileName({}), QString());
    scripted.message(QStringLiteral("База Закрыта"));

    EXPECT_EQ(scripted.texts(),
              (QStringList{question.text, question.text, QStringLiteral("База Закрыта")}));
    EXPECT_EQ(scripted.pendingAnswers(), 0);
}

} // namespace
} // namespace kelvora
