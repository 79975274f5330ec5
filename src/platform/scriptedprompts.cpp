#include "scriptedprompts.h"

namespace kelvora {

QStringList ScriptedPrompts::texts() const
{
    QStringList result;
    for (const Shown& entry : shown_)
        if (entry.kind == Kind::Message || entry.kind == Kind::Error ||
            entry.kind == Kind::Question)
            result << entry.text;
    return result;
}

QStringList ScriptedPrompts::textsOf(Kind kind) const
{
    QStringList result;
    for (const Shown& entry : shown_)
        if (entry.kind == kind)
            result << entry.text;
    return result;
}

void ScriptedPrompts::message(const QString& text)
{
    shown_.append({Kind::Message, text, {}, {}, {}});
}

void ScriptedPrompts::error(const QString& text)
{
    shown_.append({Kind::Error, text, {}, {}, {}});
}

Prompts::Button ScriptedPrompts::ask(const Question& question)
{
    shown_.append({Kind::Question, question.text, question, {}, {}});
    return buttons_.isEmpty() ? question.escapeButton : buttons_.dequeue();
}

QString ScriptedPrompts::openFileName(const FileRequest& request)
{
    shown_.append({Kind::OpenFile, request.filter, {}, request, {}});
    return files_.isEmpty() ? QString() : files_.dequeue();
}

QString ScriptedPrompts::saveFileName(const FileRequest& request)
{
    shown_.append({Kind::SaveFile, request.filter, {}, request, {}});
    return files_.isEmpty() ? QString() : files_.dequeue();
}

QString ScriptedPrompts::browseFolder(const FolderRequest& request)
{
    shown_.append({Kind::Folder, request.title, {}, {}, request});
    return folders_.isEmpty() ? QString() : folders_.dequeue();
}

bool ScriptedPrompts::openLink(const QString& target)
{
    shown_.append({Kind::Link, target, {}, {}, {}});
    return true;
}

} // namespace kelvora
