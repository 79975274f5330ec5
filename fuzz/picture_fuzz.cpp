// Feeds arbitrary bytes to the picture loader: the first byte picks the
// extension, the rest is the file. Pictures whose header claims more than a
// few million pixels are skipped so that one input cannot take the fuzzer's
// memory; the loader's own bound for those is covered by the unit tests.
#include "failure.h"
#include "mappicture.h"
#include "metafilerenderer.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <jpeglib.h>

namespace {

constexpr qint64 fuzzPixels = qint64(4) << 20;

struct JpegError
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

bool jpegSmall(const std::uint8_t* data, std::size_t size)
{
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jpegFail;
    err.pub.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&cinfo);
    bool small = true;
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
        jpeg_read_header(&cinfo, TRUE);
        small = qint64(cinfo.image_width) * cinfo.image_height <= fuzzPixels;
    }
    jpeg_destroy_decompress(&cinfo);
    return small;
}

bool qtSmall(const std::uint8_t* data, std::size_t size, const char* format)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize s = reader.size();
    return !s.isValid() || qint64(s.width()) * s.height() <= fuzzPixels;
}

bool metafileSmall(const std::uint8_t* data, std::size_t size, kelvora::MetafileRenderer::Kind kind)
{
    try {
        const kelvora::MetafileRenderer renderer(kind, data, size, 96);
        return qint64(renderer.size().width()) * renderer.size().height() <= fuzzPixels;
    } catch (const kelvora::Failure&) {
        return true;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const extensions[] = {"bmp", "ico", "gif", "jpg", "JPEG", "wmf", "emf"};
    if (size < 1)
        return 0;
    const char* extension = extensions[data[0] % 7];
    ++data;
    --size;
    const QString ext = QString::fromLatin1(extension).toLower();
    bool small = true;
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        small = jpegSmall(data, size);
    else if (ext == QLatin1String("wmf"))
        small = metafileSmall(data, size, kelvora::MetafileRenderer::Kind::Wmf);
    else if (ext == QLatin1String("emf"))
        small = metafileSmall(data, size, kelvora::MetafileRenderer::Kind::Emf);
    else
        small = qtSmall(data, size, extension);
    if (!small)
        return 0;
    try {
        const kelvora::MapPicture picture =
            kelvora::MapPicture::fromData(data, size, QString::fromLatin1(extension));
        QImage target(32, 32, QImage::Format_RGB32);
        QPainter painter(&target);
        const QSizeF full(picture.size());
        picture.draw(painter, QRectF(0, 0, 32, 32), QRectF(QPointF(0, 0), full));
        picture.draw(painter, QRectF(0, 0, 32, 32), QRectF(1, 1, 40, 40));
    } catch (const kelvora::Failure&) {
    }
    return 0;
}
