#include "forms.h"
#include "qtprompts.h"
#include "tfmain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvora"));

    kelvora::QtPrompts prompts;
    kelvora::setPrompts(&prompts);

    const kelvora::Forms forms;
    kelvora::Fmain->show();
    // Closing the main window, the last one shown, ends the loop.
    return QApplication::exec();
}
