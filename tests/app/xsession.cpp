// kelvora_xsession OUTDIR [PICTURE]: for looking at the program by eye under
// a virtual X server (scripts/xsession.sh starts one), not part of the test
// run. Drives the real windows as a user would: opens the example map with
// its same-named base, zooms to 50 %, drags, double-clicks a spot, adds a
// point through the edit window, then opens a metafile holding the map as an
// embedded bitmap. The file dialog and the yes/no question are answered by
// script; mouse and keys are sent to the widgets. After each step the whole
// screen is saved as OUTDIR/NN-step.png.
#include "forms.h"
#include "pointgrid.h"
#include "pointtable.h"
#include "scriptedprompts.h"
#include "testpictures.h"
#include "tfedit.h"
#include "tfmain.h"
#include "tfsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

namespace {

QString outDir;
int step = 0;

void shot(const char* name, int waitMs = 400)
{
    QTest::qWait(waitMs);
    const QString file = QStringLiteral("%1/%2-%3.png")
                             .arg(outDir)
                             .arg(++step, 2, 10, QChar(u'0'))
                             .arg(QLatin1String(name));
    QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    std::printf("%s\n", qPrintable(file));
}

void report(kelvora::TFmain& main, const char* what)
{
    std::printf("  %s: picture %s, zoom %s, points %d, Label4 \"%s\", scroll %d,%d, marker %s\n",
                what, qPrintable(main.Label3->text()),
                main.ToolButton3->isChecked()   ? "100 %"
                : main.ToolButton2->isChecked() ? "50 %"
                                                : "other",
                main.pointTable().isOpen() ? main.pointTable().recordCount() : -1,
                qPrintable(main.Label4->text()), main.ScrollBox1->horizontalScrollBar()->value(),
                main.ScrollBox1->verticalScrollBar()->value(),
                main.TARGET->isVisible() ? "shown" : "hidden");
}

// The example map shrunk into a 16-bit metafile: the bitmap stretched over
// the frame, a red frame line and a caption.
QByteArray metafileOfMap(const QString& picture)
{
    const QImage map = QImage(picture).scaled(480, 320).convertToFormat(QImage::Format_RGB32);
    kelvora::test::WmfBuilder wmf(0, 0, 480, 320, 96, 3);
    kelvora::test::Bytes stretch;
    stretch.u32(0x00CC0020).u16(0).i16(320).i16(480).i16(0).i16(0).i16(320).i16(480).i16(0).i16(0);
    stretch.raw(kelvora::test::packedDib(map));
    wmf.recordBytes(0x0F43, stretch.data());
    wmf.record(0x02FA, {0, 4, 0, 0x00FF, 0}); // red pen 4 wide
    wmf.record(0x012D, {0});
    wmf.record(0x02FC, {1, 0, 0, 0}); // hollow brush
    wmf.record(0x012D, {1});
    wmf.record(0x041B, {310, 470, 10, 10});
    kelvora::test::Bytes font;
    font.i16(-28).i16(0).i16(0).i16(0).i16(700).u8(0).u8(0).u8(0).u8(204).u32(0).raw("Sans");
    font.u8(0);
    wmf.recordBytes(0x02FB, font.data());
    wmf.record(0x012D, {2});
    wmf.record(0x0102, {1});
    const QByteArray caption = QByteArray("Kelvora WMF");
    kelvora::test::Bytes text;
    text.i16(int(caption.size())).raw(caption);
    if (caption.size() % 2)
        text.u8(0);
    text.i16(20).i16(20);
    wmf.recordBytes(0x0521, text.data());
    return wmf.finish();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kelvora_xsession OUTDIR [PICTURE]\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    const QString picture = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                     : QStringLiteral(KELVORA_EXAMPLES_DIR "/isle-of-kelvora.jpg");
    kelvora::ScriptedPrompts prompts;
    kelvora::setPrompts(&prompts);
    const kelvora::Forms forms;
    kelvora::TFmain& main = *kelvora::Fmain;
    kelvora::Fsettings->BASEOPENWITHIMG()->setChecked(true);
    kelvora::Fsettings->BASEPATHISPICT()->setChecked(true);
    main.setGeometry(0, 0, 1280, 800);
    main.show();
    shot("empty");

    prompts.chooseFile(picture);
    QTest::mouseClick(main.ToolButton1, Qt::LeftButton);
    report(main, "opened");
    shot("opened-100");

    QTest::mouseClick(main.ToolButton2, Qt::LeftButton);
    report(main, "50 %");
    shot("zoom-50");

    QTest::mousePress(main.IMGMAP, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseMove(main.IMGMAP, QPoint(250, 260));
    QTest::mouseRelease(main.IMGMAP, Qt::LeftButton, {}, QPoint(200, 250));
    report(main, "dragged by (-100, -50)");
    shot("dragged");

    // A double click as the X server reports it: a click, then the second
    // press reported as a double click.
    QTest::mouseClick(main.IMGMAP, Qt::LeftButton, {}, QPoint(260, 220));
    QTest::mouseDClick(main.IMGMAP, Qt::LeftButton, {}, QPoint(260, 220));
    report(main, "double-clicked");
    shot("double-clicked", 30); // the marker's first frame, the reticle
    shot("double-clicked-blink", 100);

    QTest::mouseClick(main.MAPSEARCHEDIT, Qt::LeftButton);
    prompts.answer(kelvora::Prompts::Button::Yes);
    QTimer::singleShot(600, [&] {
        kelvora::Fedit->DBEdit1->setText(QStringLiteral("New Harbour"));
        kelvora::Fedit->DBEdit2->setText(QStringLiteral("Новая гавань"));
        shot("edit-window");
        QTest::mouseClick(kelvora::Fedit->BitBtn1, Qt::LeftButton);
    });
    QTest::mousePress(main.IMGMAP, Qt::RightButton, {}, QPoint(420, 330));
    QTest::mouseRelease(main.IMGMAP, Qt::RightButton, {}, QPoint(420, 330));
    report(main, "point added");
    for (const auto& shown : prompts.shown())
        std::printf("  shown: %s\n", qPrintable(shown.text));
    shot("point-added");

    const QString metafile = outDir + QStringLiteral("/map.wmf");
    QFile out(metafile);
    if (out.open(QIODevice::WriteOnly))
        out.write(metafileOfMap(picture));
    out.close();
    prompts.answer(kelvora::Prompts::Button::No); // do not save the added point
    prompts.chooseFile(metafile);
    QTest::mouseClick(main.ToolButton1, Qt::LeftButton);
    report(main, "metafile");
    shot("metafile");

    QTimer::singleShot(600, [&] {
        shot("about");
        if (QWidget* about = QApplication::activeModalWidget())
            about->close();
    });
    QTest::mouseClick(main.ToolButton16, Qt::LeftButton);
    return 0;
}
