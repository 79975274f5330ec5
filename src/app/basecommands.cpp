#include "basecommands.h"

#include "failure.h"
#include "pointtable.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

namespace kelvora {

BaseCommands::BaseCommands(PointTable& table) : table_(table)
{
    openBaseDialog_.filter =
        QStringLiteral("Файлы базы Kelvora (*.Lorvet)|*.Lorvet|Все файлы (*.*)|*.*");
    openBaseDialog_.defaultExtension = QStringLiteral("Lorvet");
    saveBaseDialog_.filter = QStringLiteral("Файлы базы Kelvora (*.Lorvet)|*.Lorvet");
    saveBaseDialog_.defaultExtension = QStringLiteral("Lorvet");
}

QString BaseCommands::runOpenBaseDialog()
{
    const QString path = prompts().openFileName(openBaseDialog_);
    if (!path.isEmpty())
        openBaseDialog_.fileName = path;
    return path;
}

void BaseCommands::ToolButton14Click()
{
    const QString path = runOpenBaseDialog();
    if (path.isEmpty() || !settleUnsavedChanges())
        return;
    try {
        table_.close();
        baseFileName_ = path;
        loadFromFile(table_, path, format_);
        modified_.clear();
    } catch (const std::exception&) {
        modified_.clear();
        prompts().message(QStringLiteral("Неправильный формат. Создана новая База"));
        table_.open();
    }
}

Prompts::Question BaseCommands::unsavedChangesQuestion()
{
    Prompts::Question question;
    question.title = QStringLiteral("Confirm");
    question.text = QStringLiteral("База изменена. Сохранить изменения?");
    question.icon = Prompts::Icon::Question;
    question.buttons = {Prompts::Button::Yes, Prompts::Button::No, Prompts::Button::Cancel};
    question.defaultButton = Prompts::Button::Yes;
    question.escapeButton = Prompts::Button::Cancel;
    return question;
}

bool BaseCommands::settleUnsavedChanges()
{
    if (!table_.isOpen() || !modified_.modified())
        return true;
    switch (prompts().ask(unsavedChangesQuestion())) {
    case Prompts::Button::Yes:
        if (baseFileName_.isEmpty())
            ToolButton10Click();
        else
            ToolButton6Click();
        // Save as cancelled leaves the base unsaved.
        return !modified_.modified();
    case Prompts::Button::No:
        return true;
    default:
        return false;
    }
}

void BaseCommands::ToolButton6Click()
{
    if (!table_.isOpen() || baseFileName_.isEmpty())
        return;
    const QString dir = QFileInfo(baseFileName_).path();
    if (!QFileInfo(dir).isDir() && !QDir().mkdir(dir))
        throw Failure(QStringLiteral("Cannot create ") + dir);
    saveToFile(table_, baseFileName_, format_);
    modified_.clear();
    prompts().message(QStringLiteral("База ") + baseFileName_ +
                      QStringLiteral(" успешно сохранена"));
}

void BaseCommands::ToolButton10Click()
{
    const QString path = prompts().saveFileName(saveBaseDialog_);
    if (path.isEmpty())
        return;
    baseFileName_ = path;
    saveBaseDialog_.fileName = path;
    ToolButton6Click();
}

} // namespace kelvora
