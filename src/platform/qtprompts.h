#pragma once

#include "prompts.h"

namespace kelvora {

// Prompts shown with Qt's message boxes, file dialogs and desktop services.
class QtPrompts : public Prompts
{
public:
    void message(const QString& text) override;
    void error(const QString& text) override;
    Button ask(const Question& question) override;
    QString openFileName(const FileRequest& request) override;
    QString saveFileName(const FileRequest& request) override;
    QString browseFolder(const FolderRequest& request) override;
    bool openLink(const QString& target) override;
};

} // namespace kelvora
