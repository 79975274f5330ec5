// Feeds arbitrary bytes to the metafile renderer: the first byte picks the
// kind, the rest is the file. Every input is drawn onto a small picture, so
// that records are played whatever frame the header claims.
#include "failure.h"
#include "metafilerenderer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const auto kind =
        data[0] & 1 ? kelvora::MetafileRenderer::Kind::Emf : kelvora::MetafileRenderer::Kind::Wmf;
    try {
        const kelvora::MetafileRenderer renderer(kind, data + 1, size - 1, 96);
        QImage target(64, 64, QImage::Format_RGB32);
        target.fill(Qt::white);
        QPainter painter(&target);
        renderer.render(painter, QRectF(0, 0, 64, 64));
    } catch (const kelvora::Failure&) {
    }
    return 0;
}
