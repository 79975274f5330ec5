#include "rasterpicture.h"

#include "failure.h"

#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <thread>

namespace kelvora {

namespace {

void checkSize(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0)
        throw Failure(QStringLiteral("Empty picture"));
    if (width * height > RasterPicture::maxPixels)
        throw Failure(QStringLiteral("Picture too large"));
}

// One pixel's four channels in four 16-bit lanes, so that the sums of up to
// 256 pixels add without masking.
inline std::uint64_t spread(std::uint32_t p)
{
    return (p & 0xffu) | (std::uint64_t(p & 0xff00u) << 8) | (std::uint64_t(p & 0xff0000u) << 16) |
           (std::uint64_t(p & 0xff000000u) << 24);
}

// Averages factor x factor blocks of `src` (factor at most 16) into `out`, rows
// [rowBegin, rowEnd) of it; a block at the right or bottom edge averages the
// pixels it has. Correct for RGB32 (alpha stays 0xff) and for premultiplied
// ARGB.
void boxReduceRows(const QImage& src, int factor, QImage& out, int rowBegin, int rowEnd)
{
    const int w = out.width();
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(w));
    for (int oy = rowBegin; oy < rowEnd; ++oy) {
        std::fill(sums.begin(), sums.end(), 0);
        const int y0 = oy * factor;
        const int y1 = std::min(src.height(), y0 + factor);
        for (int y = y0; y < y1; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(src.constScanLine(y));
            const int whole = src.width() / factor;
            for (int ox = 0; ox < whole; ++ox) {
                const std::uint32_t* p = row + std::size_t(ox) * factor;
                std::uint64_t s = 0;
                for (int i = 0; i < factor; ++i)
                    s += spread(p[i]);
                sums[std::size_t(ox)] += s;
            }
            if (whole < w) {
                std::uint64_t s = 0;
                for (int x = whole * factor; x < src.width(); ++x)
                    s += spread(row[x]);
                sums[std::size_t(whole)] += s;
            }
        }
        auto* outRow = reinterpret_cast<std::uint32_t*>(out.scanLine(oy));
        for (int ox = 0; ox < w; ++ox) {
            const int x0 = ox * factor;
            const std::uint64_t n =
                std::uint64_t(std::min(src.width(), x0 + factor) - x0) * std::uint64_t(y1 - y0);
            const std::uint64_t s = sums[std::size_t(ox)];
            const std::uint64_t half = n / 2;
            const auto lane = [&](int i) {
                return std::uint32_t((((s >> (16 * i)) & 0xffff) + half) / n);
            };
            outRow[ox] = lane(0) | (lane(1) << 8) | (lane(2) << 16) | (lane(3) << 24);
        }
    }
}

// The same over the whole of `out`, on a few threads: the first look at a
// large map at a small zoom waits for this.
void boxReduce(const QImage& src, int factor, QImage& out)
{
    const int rows = out.height();
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    const int parts = rows < 64 ? 1 : int(cores);
    std::vector<std::thread> workers;
    const int step = (rows + parts - 1) / parts;
    for (int i = 1; i < parts; ++i) {
        const int begin = i * step;
        const int end = std::min(rows, begin + step);
        if (begin < end)
            workers.emplace_back(
                [&src, factor, &out, begin, end] { boxReduceRows(src, factor, out, begin, end); });
    }
    boxReduceRows(src, factor, out, 0, std::min(rows, step));
    for (std::thread& worker : workers)
        worker.join();
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
        if (factor / fromFactor > 16)
            return nullptr;
        try {
            auto copy = std::make_unique<RasterPicture>(int(w), int(h), image_.format());
            boxReduce(*from, factor / fromFactor, copy->image());
            reduced_[k] = std::move(copy);
        } catch (const Failure&) {
            return nullptr;
        }
    }
    return &reduced_[k]->image();
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
