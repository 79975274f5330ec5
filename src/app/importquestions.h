#pragma once

#include "baseimport.h"
#include "prompts.h"

namespace kelvora {

// The import's questions as confirmation boxes through prompts(): the
// replace box has Yes, No and Ignore, the add box Yes and No; Yes is the
// default and Escape presses No. Closing the replace box by its close box
// skips the point, like Ignore.
class ImportQuestions : public BaseImport::Questions
{
public:
    static Prompts::Question replaceBox(const QString& text);
    static Prompts::Question addBox(const QString& text);

    BaseImport::ReplaceAnswer askReplace(const QString& text) override;
    bool askAdd(const QString& text) override;
};

} // namespace kelvora
