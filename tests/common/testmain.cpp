// The one main of every test executable: a QApplication for widget tests
// (under the offscreen platform, set by CTest), then GoogleTest.
#include "scriptedprompts.h"

#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvora"));
    // Tests pin the locale so that they do not depend on the machine's.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    kelvora::ScriptedPrompts prompts;
    kelvora::setPrompts(&prompts);

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
