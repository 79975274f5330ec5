// kelvora_screenshot FILE.png [DELAY_MS]: waits, then saves the whole screen
// of the display it runs on.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kelvora_screenshot FILE.png [DELAY_MS]\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const int delay = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    int result = 1;
    QTimer::singleShot(delay, [&] {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        result = shot.save(file) ? 0 : 1;
        QGuiApplication::quit();
    });
    QGuiApplication::exec();
    return result;
}
