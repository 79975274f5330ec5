#pragma once

#include "prompts.h"

#include <QQueue>
#include <QStringList>

namespace kelvora {

// Prompts for tests: records everything shown and answers from queues.
// An unanswered question gets its escape button, an unanswered dialog is
// cancelled, so no test ever waits on a window.
class ScriptedPrompts : public Prompts
{
public:
    enum class Kind { Message, Error, Question, OpenFile, SaveFile, Folder, Link };

    struct Shown
    {
        Kind kind;
        QString text; // message, question text, dialog filter or link target
        Question question;
        FileRequest file;
        FolderRequest folder;
    };

    void answer(Button button) { buttons_.enqueue(button); }
    void chooseFile(const QString& path) { files_.enqueue(path); }
    void chooseFolder(const QString& path) { folders_.enqueue(path); }

    const QList<Shown>& shown() const { return shown_; }
    // The texts of every box shown, in order.
    QStringList texts() const;
    QStringList textsOf(Kind kind) const;
    void clear() { shown_.clear(); }
    qsizetype pendingAnswers() const { return buttons_.size() + files_.size() + folders_.size(); }

    void message(const QString& text) override;
    void error(const QString& text) override;
    Button ask(const Question& question) override;
    QString openFileName(const FileRequest& request) override;
    QString saveFileName(const FileRequest& request) override;
    QString browseFolder(const FolderRequest& request) override;
    bool openLink(const QString& target) override;

private:
    QList<Shown> shown_;
    QQueue<Button> buttons_;
    QQueue<QString> files_;
    QQueue<QString> folders_;
};

} // namespace kelvora
