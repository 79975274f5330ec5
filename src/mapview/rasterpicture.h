#pragma once

#include "hugearray.h"

#include <QImage>
#include <QRectF>
#include <memory>
#include <vector>

class QPainter;

namespace kelvora {

// A decoded 32-bit picture with the reduced copies that drawing at small
// zooms takes its pixels from. Large pictures live in one block of huge
// pages; the full-size QImage wraps that block without owning it.
class RasterPicture
{
public:
    // The most pixels a picture may have: 2 GiB of 32-bit pixels.
    static constexpr qint64 maxPixels = qint64(1) << 29;
    // No reduced copy larger than this is kept, so that a map at the size
    // limit costs little more than its own buffer.
    static constexpr qint64 maxReducedBytes = qint64(128) << 20;

    // A width x height picture of undefined content in `format` (RGB32 or
    // ARGB32_Premultiplied). Throws Failure when the size is empty, over
    // maxPixels or the memory is refused.
    RasterPicture(int width, int height, QImage::Format format);
    // Takes an already decoded image, converted to one of the two formats.
    // Throws Failure when it is null or over maxPixels.
    explicit RasterPicture(QImage image);

    // Lifts Qt's reader allocation limit to what maxPixels needs.
    static void allowLargeQtImages();

    RasterPicture(RasterPicture&&) noexcept = default;
    RasterPicture& operator=(RasterPicture&&) noexcept = default;

    QSize size() const { return image_.size(); }
    // The full-size picture; writable so that a decoder can fill it.
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

    // Draws the `source` part of the picture (in picture pixels) scaled onto
    // `target`. Only the target's pixels are computed; below half size the
    // pixels come from a reduced copy built once, on first need.
    void draw(QPainter& painter, const QRectF& target, const QRectF& source) const;

    // The reduced copy at 1/factor (factor a power of two), built now if it
    // is missing; null when it would be larger than maxReducedBytes.
    const QImage* reduced(int factor) const;

private:
    HugeBlock block_;
    QImage image_;
    // reduced_[k] holds the copy at 1/2^(k+1), null until built.
    mutable std::vector<std::unique_ptr<RasterPicture>> reduced_;
};

} // namespace kelvora
