#include "importquestions.h"

namespace kelvora {

Prompts::Question ImportQuestions::replaceBox(const QString& text)
{
    Prompts::Question question;
    question.text = text;
    question.buttons = {Prompts::Button::Yes, Prompts::Button::No, Prompts::Button::Ignore};
    question.defaultButton = Prompts::Button::Yes;
    question.escapeButton = Prompts::Button::No;
    return question;
}

Prompts::Question ImportQuestions::addBox(const QString& text)
{
    Prompts::Question question;
    question.text = text;
    question.buttons = {Prompts::Button::Yes, Prompts::Button::No};
    question.defaultButton = Prompts::Button::Yes;
    question.escapeButton = Prompts::Button::No;
    return question;
}

BaseImport::ReplaceAnswer ImportQuestions::askReplace(const QString& text)
{
    switch (prompts().ask(replaceBox(text))) {
    case Prompts::Button::Yes:
        return BaseImport::ReplaceAnswer::Replace;
    case Prompts::Button::No:
        return BaseImport::ReplaceAnswer::Add;
    default:
        return BaseImport::ReplaceAnswer::Skip;
    }
}

bool ImportQuestions::askAdd(const QString& text)
{
    return prompts().ask(addBox(text)) == Prompts::Button::Yes;
}

} // namespace kelvora
