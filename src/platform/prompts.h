#pragma once

#include <QList>
#include <QPoint>
#include <QString>

class QWidget;

namespace kelvora {

// Every box, file dialog, folder browser and link hand-off goes through this
// interface, so that tests answer them from a script instead of a real modal
// window.
class Prompts
{
public:
    enum class Button { None, Ok, Cancel, Yes, No, Ignore };
    enum class Icon { None, Information, Question, Warning, Error };

    struct Question
    {
        QString title = QStringLiteral("Confirm");
        QString text;
        Icon icon = Icon::Question;
        QList<Button> buttons{Button::Yes, Button::No};
        Button defaultButton = Button::Yes;
        Button escapeButton = Button::No;
    };

    // A filter is written as pairs "description|patterns|description|patterns".
    struct FileRequest
    {
        QString title;
        QString filter;
        QString defaultExtension;
        QString directory;
        QString fileName;
    };

    struct FolderRequest
    {
        QString title;
        QString startDirectory;
        QPoint position;
    };

    virtual ~Prompts() = default;

    // A plain box titled with the application title and one OK button.
    virtual void message(const QString& text) = 0;
    // The application-wide error box; the text is shown as given.
    virtual void error(const QString& text) = 0;
    // Returns the button pressed, or Button::None when the box was closed
    // without one (its close box).
    virtual Button ask(const Question& question) = 0;
    // Return the chosen path, or an empty string when the dialog was cancelled.
    virtual QString openFileName(const FileRequest& request) = 0;
    virtual QString saveFileName(const FileRequest& request) = 0;
    virtual QString browseFolder(const FolderRequest& request) = 0;
    // Hands a web address or mail link to the desktop's default handler.
    virtual bool openLink(const QString& target) = 0;
};

// The prompts every window uses; the application installs the Qt ones at
// start, tests install scripted ones.
Prompts& prompts();
void setPrompts(Prompts* prompts);

// Turns "a|*.x|b|*.*" into the name filters a Qt file dialog takes.
QStringList nameFiltersOf(const QString& filter);

QString buttonCaption(Prompts::Button button);

} // namespace kelvora
