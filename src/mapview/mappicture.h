#pragma once

#include <QRectF>
#include <QSize>
#include <QString>
#include <cstddef>
#include <memory>

class QImage;
class QPainter;

namespace kelvora {

class RasterPicture;

// A map picture as loaded from a file: its native size in pixels and the
// means to draw any part of it scaled. Copies share the decoded pixels. The
// default picture is empty (0 x 0).
class MapPicture
{
public:
    MapPicture() = default;

    // Loads `path`, choosing the decoder by the extension (without its dot,
    // any letter case): bmp, ico, gif, jpg, jpeg, wmf, emf. Throws Failure
    // for any other extension, an unreadable file, a file its decoder
    // rejects and a picture too large to hold; the caller keeps its picture.
    static MapPicture load(const QString& path);
    // The same for bytes already in memory, with the extension given apart.
    static MapPicture fromData(const unsigned char* data, std::size_t size,
                               const QString& extension);

    bool isNull() const { return !raster_; }
    QSize size() const;

    // Draws the `source` rectangle of the picture (picture pixels) scaled to
    // `target` (painter coordinates). Cheap at any zoom: only target pixels
    // are computed, from a reduced copy when the zoom is below one half.
    void draw(QPainter& painter, const QRectF& target, const QRectF& source) const;

    // The full-size pixels (RGB32 or premultiplied ARGB32), valid while this
    // picture or a copy of it lives; a null image for the empty picture.
    QImage image() const;

private:
    std::shared_ptr<const RasterPicture> raster_;
};

} // namespace kelvora
