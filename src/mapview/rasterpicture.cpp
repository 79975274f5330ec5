#include "rasterpicture.h"

#include "failure.h"

#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

namespace kelvora {

namespace {

void checkSize(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0)
        throw Failure(QStringLiteral("Empty picture"));
    if (width * height > RasterPicture::maxPixels)
        throw Failure(QStringLiteral("Picture too large"));
}

// Averages factor x factor blocks of `src` (a block at the right or bottom
// edge averages the pixels it has). Correct for RGB32 (alpha stays 0xff) and
// for premultiplied ARGB.
QImage boxReduce(const QImage& src, int factor)
{
    const int w = (src.width() + factor - 1) / factor;
    const int h = (src.height() + factor - 1) / factor;
    QImage out(w, h, src.format());
    if (out.isNull())
        return out;
    std::vector<std::uint32_t> sums(std::size_t(w) * 4);
    for (int oy = 0; oy < h; ++oy) {
        std::fill(sums.begin(), sums.end(), 0);
        const int y0 = oy * factor;
        const int y1 = std::min(src.height(), y0 + factor);
        for (int y = y0; y < y1; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(src.constScanLine(y));
            for (int ox = 0; ox < w; ++ox) {
                const int x0 = ox * factor;
                const int x1 = std::min(src.width(), x0 + factor);
                std::uint32_t b = 0, g = 0, r = 0, a = 0;
                for (int x = x0; x < x1; ++x) {
                    const std::uint32_t p = row[x];
                    b += p & 0xff;
                    g += (p >> 8) & 0xff;
                    r += (p >> 16) & 0xff;
                    a += p >> 24;
                }
                std::uint32_t* s = &sums[std::size_t(ox) * 4];
                s[0] += b;
                s[1] += g;
                s[2] += r;
                s[3] += a;
            }
        }
        auto* outRow = reinterpret_cast<std::uint32_t*>(out.scanLine(oy));
        for (int ox = 0; ox < w; ++ox) {
            const int x0 = ox * factor;
            const std::uint32_t n =
                std::uint32_t(std::min(src.width(), x0 + factor) - x0) * std::uint32_t(y1 - y0);
            const std::uint32_t* s = &sums[std::size_t(ox) * 4];
            const std::uint32_t half = n / 2;
            outRow[ox] = ((s[0] + half) / n) | (((s[1] + half) / n) << 8) |
                         (((s[2] + half) / n) << 16) | (((s[3] + half) / n) << 24);
        }
    }
    return out;
}

} // namespace

void RasterPicture::allowLargeQtImages()
{
    const int limitMb = int(maxPixels * 4 / (1024 * 1024));
    if (QImageReader::allocationLimit() < limitMb)
        QImageReader::setAllocationLimit(limitMb);
}

RasterPicture::RasterPicture(int width, int height, QImage::Format format)
{
    checkSize(width, height);
    const qsizetype stride = qsizetype(width) * 4;
    try {
        block_.resize(std::size_t(stride) * std::size_t(height));
    } catch (const std::bad_alloc&) {
        throw Failure(QStringLiteral("Out of memory for the picture"));
    }
    image_ = QImage(static_cast<uchar*>(block_.data()), width, height, stride, format);
    if (image_.isNull())
        throw Failure(QStringLiteral("Out of memory for the picture"));
}

RasterPicture::RasterPicture(QImage image)
{
    if (image.isNull())
        throw Failure(QStringLiteral("Empty picture"));
    checkSize(image.width(), image.height());
    const QImage::Format wanted =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != wanted)
        image.convertTo(wanted);
    if (image.isNull())
        throw Failure(QStringLiteral("Out of memory for the picture"));
    image_ = std::move(image);
}

const QImage* RasterPicture::reduced(int factor) const
{
    int k = 0;
    while ((2 << k) < factor)
        ++k;
    const qint64 w = (image_.width() + factor - 1) / factor;
    const qint64 h = (image_.height() + factor - 1) / factor;
    if (w * h * 4 > maxReducedBytes)
        return nullptr;
    if (reduced_.size() <= std::size_t(k))
        reduced_.resize(k + 1);
    if (!reduced_[k]) {
        // Build from the copy at half this reduction when there is one, so
        // that a pyramid of copies reads the full picture once.
        const QImage* from = &image_;
        int fromFactor = 1;
        if (factor > 2) {
            if (const QImage* half = reduced(factor / 2)) {
                from = half;
                fromFactor = factor / 2;
            }
        }
        QImage copy = boxReduce(*from, factor / fromFactor);
        if (copy.isNull())
            return nullptr;
        reduced_[k] = std::make_unique<QImage>(std::move(copy));
    }
    return reduced_[k].get();
}

void RasterPicture::draw(QPainter& painter, const QRectF& target, const QRectF& source) const
{
    const QRectF src = source.intersected(QRectF(QPointF(0, 0), QSizeF(image_.size())));
    if (src.isEmpty() || target.isEmpty() || image_.isNull())
        return;
    // The part of the target that shows the clipped source.
    const double sx = target.width() / source.width();
    const double sy = target.height() / source.height();
    const QRectF dst(target.x() + (src.x() - source.x()) * sx,
                     target.y() + (src.y() - source.y()) * sy, src.width() * sx, src.height() * sy);
    const double scale = std::min(sx, sy);

    const QImage* from = &image_;
    int factor = 1;
    if (scale < 0.5) {
        // The largest reduction that is still at least the target's size;
        // what remains is a smooth scale by less than two.
        int wanted = 1;
        while (wanted * 2 * scale <= 1.0 && wanted < (1 << 20))
            wanted *= 2;
        for (int f = wanted; f >= 2; f /= 2) {
            if (const QImage* copy = reduced(f)) {
                from = copy;
                factor = f;
                break;
            }
        }
    }
    const QRectF fromRect(src.x() / factor, src.y() / factor, src.width() / factor,
                          src.height() / factor);
    const bool exact = std::abs(sx * factor - 1.0) < 1e-9 && std::abs(sy * factor - 1.0) < 1e-9;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !exact);
    painter.drawImage(dst, *from, fromRect);
    painter.restore();
}

} // namespace kelvora
