#include "metafilerenderer.h"

#include "emfplayer.h"
#include "failure.h"
#include "metafilecontext.h"
#include "rasterpicture.h"
#include "wmfplayer.h"

#include <QPainter>
#include <cmath>

namespace kelvora {

namespace {

constexpr std::uint32_t placeableKey = 0x9AC6CDD7;
constexpr std::uint32_t emfSignature = 0x464D4520;

QSize pixelSize(double widthInches, double heightInches, double dpi)
{
    const double w = std::round(std::abs(widthInches) * dpi);
    const double h = std::round(std::abs(heightInches) * dpi);
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1)
        throw Failure(QStringLiteral("Empty metafile frame"));
    if (w > 65535 || h > 65535 || w * h > double(RasterPicture::maxPixels))
        throw Failure(QStringLiteral("Metafile frame too large"));
    return QSize(int(w), int(h));
}

} // namespace

MetafileRenderer::MetafileRenderer(Kind kind, const unsigned char* data, std::size_t size,
                                   double dpi)
    : kind_(kind), data_(data, size)
{
    if (!(dpi > 0 && dpi < 10000))
        dpi = 96;
    ByteReader in = data_;
    if (kind == Kind::Wmf) {
        double inch = 0;
        QRectF frame;
        std::size_t headerAt = 0;
        if (in.u32() == placeableKey) {
            in.u16();
            const double left = in.i16(), top = in.i16(), right = in.i16(), bottom = in.i16();
            inch = in.u16();
            in.skip(6);
            if (!in.ok() || inch <= 0)
                throw Failure(QStringLiteral("Damaged placeable metafile header"));
            frame = QRectF(QPointF(left, top), QPointF(right, bottom));
            headerAt = 22;
        }
        in.seek(headerAt);
        const std::uint16_t type = in.u16();
        const std::uint16_t headerWords = in.u16();
        in.u16();
        const std::uint32_t fileWords = in.u32();
        const std::uint16_t objects = in.u16();
        in.u32();
        in.u16();
        if (!in.ok() || (type != 1 && type != 2) || headerWords != 9)
            throw Failure(QStringLiteral("Not a metafile"));
        if (std::uint64_t(fileWords) * 2 > size - headerAt)
            throw Failure(QStringLiteral("Truncated metafile"));
        recordsAt_ = headerAt + 18;
        objects_ = objects;
        if (inch == 0) {
            // Without a placeable header the window the records set is the
            // frame, in pixels.
            frame = WmfPlayer::windowFrame(data_.slice(recordsAt_, size - recordsAt_));
            inch = 96;
        }
        if (frame.width() == 0 || frame.height() == 0)
            throw Failure(QStringLiteral("Empty metafile frame"));
        size_ = pixelSize(frame.width() / inch, frame.height() / inch, dpi);
        frame_ = frame;
        unitsPerMmX_ = unitsPerMmY_ = inch / 25.4;
        return;
    }

    const std::uint32_t type = in.u32();
    const std::uint32_t headerSize = in.u32();
    in.skip(16); // bounds
    const double left = in.i32(), top = in.i32(), right = in.i32(), bottom = in.i32();
    const std::uint32_t signature = in.u32();
    in.u32(); // version
    const std::uint32_t fileBytes = in.u32();
    in.u32(); // records
    const std::uint16_t handles = in.u16();
    in.skip(14);
    const double deviceX = in.i32(), deviceY = in.i32();
    const double mmX = in.i32(), mmY = in.i32();
    if (!in.ok() || type != 1 || signature != emfSignature || headerSize < 88 ||
        headerSize > size || headerSize % 4 != 0)
        throw Failure(QStringLiteral("Not an enhanced metafile"));
    if (fileBytes > size)
        throw Failure(QStringLiteral("Truncated metafile"));
    if (deviceX > 0 && deviceY > 0 && mmX > 0 && mmY > 0) {
        unitsPerMmX_ = deviceX / mmX;
        unitsPerMmY_ = deviceY / mmY;
    }
    objects_ = handles;
    recordsAt_ = 0;
    // The frame is in hundredths of a millimetre.
    size_ = pixelSize((right - left) / 2540.0, (bottom - top) / 2540.0, dpi);
    frame_ = QRectF(QPointF(left / 100 * unitsPerMmX_, top / 100 * unitsPerMmY_),
                    QPointF(right / 100 * unitsPerMmX_, bottom / 100 * unitsPerMmY_));
}

void MetafileRenderer::render(QPainter& painter, const QRectF& target) const
{
    const double sx = target.width() / frame_.width();
    const double sy = target.height() / frame_.height();
    const QTransform deviceToTarget(sx, 0, 0, sy, target.x() - frame_.x() * sx,
                                    target.y() - frame_.y() * sy);
    MetafileContext dc(painter, deviceToTarget, unitsPerMmX_, unitsPerMmY_, objects_);
    const ByteReader records = data_.slice(recordsAt_, data_.size() - recordsAt_);
    if (kind_ == Kind::Wmf) {
        // A player maps the window onto the frame until the file says
        // otherwise.
        dc.setWindowOrg(frame_.x(), frame_.y());
        dc.setWindowExt(frame_.width(), frame_.height());
        dc.setViewportOrg(frame_.x(), frame_.y());
        dc.setViewportExt(frame_.width(), frame_.height());
        WmfPlayer::play(records, dc);
    } else {
        EmfPlayer::play(records, dc);
    }
}

} // namespace kelvora
