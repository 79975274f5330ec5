#include "qtprompts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHash>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace kelvora {

namespace {

QWidget* dialogParent()
{
    return QApplication::activeWindow();
}

QMessageBox::Icon toQt(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::Error:
        return QMessageBox::Critical;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A question box whose close box presses no button: Qt's own box would
// press its escape button, and then "No" and a closed box could not be told
// apart.
class QuestionBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

    void setEscape(QAbstractButton* button) { escape_ = button; }
    bool closedByCloseBox() const { return closed_; }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            if (escape_)
                escape_->click();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        closed_ = true;
        QDialog::closeEvent(event);
    }

private:
    QAbstractButton* escape_ = nullptr;
    bool closed_ = false;
};

void showPlain(const QString& text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, QMessageBox::NoButton,
                    dialogParent());
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

QString fileDialog(const Prompts::FileRequest& request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(dialogParent(), request.title, request.directory);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(nameFiltersOf(request.filter));
    dialog.setDefaultSuffix(request.defaultExtension);
    // Saving over an existing base asks nothing.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtPrompts::message(const QString& text)
{
    showPlain(text, QMessageBox::NoIcon);
}

void QtPrompts::error(const QString& text)
{
    showPlain(text, QMessageBox::Critical);
}

Prompts::Button QtPrompts::ask(const Question& question)
{
    QuestionBox box(toQt(question.icon), question.title, question.text, QMessageBox::NoButton,
                    dialogParent());
    QHash<QAbstractButton*, Button> buttons;
    for (Button button : question.buttons) {
        QPushButton* pushButton = box.addButton(buttonCaption(button), QMessageBox::ActionRole);
        buttons.insert(pushButton, button);
        if (button == question.defaultButton)
            box.setDefaultButton(pushButton);
        if (button == question.escapeButton)
            box.setEscape(pushButton);
    }
    box.exec();
    if (box.closedByCloseBox() && !box.clickedButton())
        return Button::None;
    return buttons.value(box.clickedButton(), Button::None);
}

QString QtPrompts::openFileName(const FileRequest& request)
{
    return fileDialog(request, QFileDialog::AcceptOpen);
}

QString QtPrompts::saveFileName(const FileRequest& request)
{
    return fileDialog(request, QFileDialog::AcceptSave);
}

QString QtPrompts::browseFolder(const FolderRequest& request)
{
    QFileDialog dialog(dialogParent(), request.title, request.startDirectory);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (!request.position.isNull())
        dialog.move(request.position);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool QtPrompts::openLink(const QString& target)
{
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

} // namespace kelvora
