#include "qtprompts.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvora"));

    kelvora::QtPrompts prompts;
    kelvora::setPrompts(&prompts);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kelvora"));
    window.showMaximized();
    return QApplication::exec();
}
