#include "mappicture.h"

#include "bytereader.h"
#include "dibdecoder.h"
#include "failure.h"
#include "jpegdecoder.h"
#include "metafilerenderer.h"
#include "rasterpicture.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>
#include <cstring>

namespace kelvora {

namespace {

double screenDpi()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchX();
    }
    return 96.0;
}

// Qt's readers accept some damaged files (a GIF without its signature, a
// bitmap or GIF cut short comes out partly grey); refuse those first.
void checkStructure(const unsigned char* data, std::size_t size, const QString& ext)
{
    ByteReader in(data, size);
    bool ok = true;
    if (ext == QLatin1String("gif")) {
        ok = size >= 14 &&
             (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0) &&
             data[size - 1] == 0x3b;
    } else if (ext == QLatin1String("ico")) {
        ok = in.u16() == 0 && in.u16() == 1 && in.u16() > 0 && in.ok();
    } else if (ext == QLatin1String("bmp")) {
        ok = size >= 2 && data[0] == 'B' && data[1] == 'M';
        in.skip(10);
        const std::uint32_t bitsAt = in.u32();
        ok = ok && in.ok() && bitsAt > 14 && bitsAt < size &&
             DibDecoder::fits(in.slice(14, bitsAt - 14), size - bitsAt);
    }
    if (!ok)
        throw Failure(QStringLiteral("Damaged picture"));
}

RasterPicture readWithQt(const unsigned char* data, std::size_t size, const char* format)
{
    // Qt's default limit would refuse the large maps we exist for; our own
    // pixel bound still applies.
    RasterPicture::allowLargeQtImages();
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    if (!reader.canRead())
        throw Failure(QStringLiteral("Not a picture of its type"));
    // An icon holds several pictures: take the largest.
    int best = 0;
    qint64 bestArea = -1;
    const int count = reader.imageCount();
    if (count > 1) {
        for (int i = 0; i < count && reader.jumpToImage(i); ++i) {
            const QSize s = reader.size();
            if (qint64(s.width()) * s.height() > bestArea) {
                bestArea = qint64(s.width()) * s.height();
                best = i;
            }
        }
        reader.jumpToImage(best);
    }
    const QSize s = reader.size();
    if (s.isValid() && qint64(s.width()) * s.height() > RasterPicture::maxPixels)
        throw Failure(QStringLiteral("Picture too large"));
    QImage image = reader.read();
    if (image.isNull())
        throw Failure(QStringLiteral("Damaged picture"));
    return RasterPicture(std::move(image));
}

RasterPicture renderMetafile(const unsigned char* data, std::size_t size,
                             MetafileRenderer::Kind kind)
{
    const MetafileRenderer renderer(kind, data, size, screenDpi());
    const QSize s = renderer.size();
    RasterPicture picture(s.width(), s.height(), QImage::Format_RGB32);
    picture.image().fill(Qt::white);
    QPainter painter(&picture.image());
    renderer.render(painter, QRectF(QPointF(0, 0), QSizeF(s)));
    painter.end();
    return picture;
}

} // namespace

MapPicture MapPicture::load(const QString& path)
{
    const QString extension = QFileInfo(path).suffix();
    const QString lower = extension.toLower();
    if (lower == QLatin1String("jpg") || lower == QLatin1String("jpeg")) {
        std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (!file)
            throw Failure(QStringLiteral("Cannot open the picture file"));
        MapPicture picture;
        try {
            picture.raster_ = std::make_shared<RasterPicture>(JpegDecoder::decodeFile(file));
        } catch (...) {
            std::fclose(file);
            throw;
        }
        std::fclose(file);
        return picture;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot open the picture file"));
    const qint64 size = file.size();
    if (size <= 0)
        throw Failure(QStringLiteral("Empty picture file"));
    if (uchar* mapped = file.map(0, size))
        return fromData(mapped, std::size_t(size), extension);
    const QByteArray bytes = file.readAll();
    return fromData(reinterpret_cast<const unsigned char*>(bytes.constData()),
                    std::size_t(bytes.size()), extension);
}

MapPicture MapPicture::fromData(const unsigned char* data, std::size_t size,
                                const QString& extension)
{
    const QString ext = extension.toLower();
    MapPicture picture;
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        picture.raster_ = std::make_shared<RasterPicture>(JpegDecoder::decode(data, size));
    else if (ext == QLatin1String("bmp") || ext == QLatin1String("ico") ||
             ext == QLatin1String("gif")) {
        checkStructure(data, size, ext);
        picture.raster_ =
            std::make_shared<RasterPicture>(readWithQt(data, size, ext.toLatin1().constData()));
    } else if (ext == QLatin1String("wmf"))
        picture.raster_ = std::make_shared<RasterPicture>(
            renderMetafile(data, size, MetafileRenderer::Kind::Wmf));
    else if (ext == QLatin1String("emf"))
        picture.raster_ = std::make_shared<RasterPicture>(
            renderMetafile(data, size, MetafileRenderer::Kind::Emf));
    else
        throw Failure(QStringLiteral("Unknown picture type"));
    return picture;
}

QSize MapPicture::size() const
{
    return raster_ ? raster_->size() : QSize(0, 0);
}

void MapPicture::draw(QPainter& painter, const QRectF& target, const QRectF& source) const
{
    if (raster_)
        raster_->draw(painter, target, source);
}

QImage MapPicture::image() const
{
    return raster_ ? raster_->image() : QImage();
}

} // namespace kelvora
