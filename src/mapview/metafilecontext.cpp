#include "metafilecontext.h"

#include "windows1251.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvora {

namespace {

constexpr double maxCoordinate = 1e9;

bool finiteTransform(const QTransform& t)
{
    const double values[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (double v : values) {
        if (!std::isfinite(v) || std::abs(v) > maxCoordinate)
            return false;
    }
    const double det = t.m11() * t.m22() - t.m12() * t.m21();
    return std::abs(det) > 1e-18;
}

bool sane(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

QPainter::CompositionMode modeFor(std::uint32_t rop)
{
    switch (rop) {
    case 0x00EE0086: // source or destination
        return QPainter::RasterOp_SourceOrDestination;
    case 0x008800C6: // source and destination
        return QPainter::RasterOp_SourceAndDestination;
    case 0x00660046: // source xor destination
        return QPainter::RasterOp_SourceXorDestination;
    case 0x00330008: // not source
        return QPainter::RasterOp_NotSource;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

} // namespace

MetafileContext::MetafileContext(QPainter& painter, const QTransform& deviceToTarget,
                                 double deviceUnitsPerMmX, double deviceUnitsPerMmY,
                                 std::size_t objectSlots)
    : painter_(painter), deviceToTarget_(deviceToTarget), unitsPerMmX_(deviceUnitsPerMmX),
      unitsPerMmY_(deviceUnitsPerMmY), objects_(objectSlots)
{
    state_.font = makeFont(0, 0, 400, false, false, false, 1, QString());
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

MetafileContext::~MetafileContext()
{
    for (; painterSaves_ > 0; --painterSaves_)
        painter_.restore();
    painter_.restore();
}

QColor MetafileContext::colorRef(std::uint32_t value)
{
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

QPen MetafileContext::makePen(std::uint32_t style, double width, QColor color)
{
    QPen pen(color, std::max(0.0, width));
    switch (style & 0x0f) {
    case 1:
        pen.setStyle(Qt::DashLine);
        break;
    case 2:
        pen.setStyle(Qt::DotLine);
        break;
    case 3:
        pen.setStyle(Qt::DashDotLine);
        break;
    case 4:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    case 5:
        pen.setStyle(Qt::NoPen);
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    switch (style & 0x0f00) {
    case 0x100:
        pen.setCapStyle(Qt::SquareCap);
        break;
    case 0x200:
        pen.setCapStyle(Qt::FlatCap);
        break;
    default:
        pen.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (style & 0xf000) {
    case 0x1000:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    case 0x2000:
        pen.setJoinStyle(Qt::MiterJoin);
        break;
    default:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    }
    return pen;
}

QBrush MetafileContext::makeBrush(std::uint32_t style, QColor color, std::uint32_t hatch)
{
    switch (style) {
    case 1: // null
        return QBrush(Qt::NoBrush);
    case 2: { // hatched
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                 Qt::FDiagPattern, Qt::BDiagPattern,
                                                 Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(color, hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    }
    default:
        return QBrush(color);
    }
}

MetafileContext::Object MetafileContext::makeFont(double height, double escapement, int weight,
                                                  bool italic, bool underline, bool strikeOut,
                                                  int charset, const QString& face)
{
    Object object;
    object.type = Object::Font;
    if (!face.isEmpty())
        object.font.setFamily(face);
    object.font.setWeight(QFont::Weight(std::clamp(weight == 0 ? 400 : weight, 100, 900)));
    object.font.setItalic(italic);
    object.font.setUnderline(underline);
    object.font.setStrikeOut(strikeOut);
    object.fontHeight = height;
    object.escapement = escapement;
    object.charset = charset;
    return object;
}

void MetafileContext::addObject(const Object& object)
{
    for (Object& slot : objects_) {
        if (slot.type == Object::None) {
            slot = object;
            return;
        }
    }
}

void MetafileContext::setObject(std::uint32_t index, const Object& object)
{
    if (index < objects_.size())
        objects_[index] = object;
}

void MetafileContext::selectObject(std::uint32_t index)
{
    if (index >= objects_.size())
        return;
    const Object& object = objects_[index];
    switch (object.type) {
    case Object::Pen:
        state_.pen = object.pen;
        break;
    case Object::Brush:
        state_.brush = object.brush;
        break;
    case Object::Font:
        state_.font = object;
        break;
    default:
        break;
    }
}

void MetafileContext::selectStock(std::uint32_t id)
{
    switch (id) {
    case 0:
        state_.brush = QBrush(Qt::white);
        break;
    case 1:
        state_.brush = QBrush(QColor(0xc0, 0xc0, 0xc0));
        break;
    case 2:
        state_.brush = QBrush(QColor(0x80, 0x80, 0x80));
        break;
    case 3:
        state_.brush = QBrush(QColor(0x40, 0x40, 0x40));
        break;
    case 4:
        state_.brush = QBrush(Qt::black);
        break;
    case 5:
        state_.brush = QBrush(Qt::NoBrush);
        break;
    case 6:
        state_.pen = QPen(QColor(Qt::white), 0);
        break;
    case 7:
        state_.pen = QPen(QColor(Qt::black), 0);
        break;
    case 8:
        state_.pen = QPen(Qt::NoPen);
        break;
    case 18:
        state_.brush = QBrush(Qt::white);
        break;
    case 19:
        state_.pen = QPen(QColor(Qt::black), 0);
        break;
    default:
        if (id >= 10 && id <= 17)
            state_.font = makeFont(0, 0, 400, false, false, false, 1, QString());
        break;
    }
}

void MetafileContext::deleteObject(std::uint32_t index)
{
    if (index < objects_.size())
        objects_[index] = Object();
}

void MetafileContext::setMapMode(int mode)
{
    if (mode >= Text && mode <= Anisotropic)
        state_.mapMode = mode;
}

void MetafileContext::setWindowOrg(double x, double y)
{
    state_.windowOrg = QPointF(x, y);
}

void MetafileContext::setWindowExt(double x, double y)
{
    if (x != 0 && y != 0)
        state_.windowExt = QPointF(x, y);
}

void MetafileContext::setViewportOrg(double x, double y)
{
    state_.viewportOrg = QPointF(x, y);
}

void MetafileContext::setViewportExt(double x, double y)
{
    if (x != 0 && y != 0)
        state_.viewportExt = QPointF(x, y);
}

void MetafileContext::offsetWindowOrg(double dx, double dy)
{
    state_.windowOrg += QPointF(dx, dy);
}

void MetafileContext::offsetViewportOrg(double dx, double dy)
{
    state_.viewportOrg += QPointF(dx, dy);
}

void MetafileContext::scaleWindowExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen != 0 && yDen != 0)
        setWindowExt(state_.windowExt.x() * xNum / xDen, state_.windowExt.y() * yNum / yDen);
}

void MetafileContext::scaleViewportExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen != 0 && yDen != 0)
        setViewportExt(state_.viewportExt.x() * xNum / xDen, state_.viewportExt.y() * yNum / yDen);
}

void MetafileContext::setWorldTransform(const QTransform& world)
{
    state_.world = world;
}

void MetafileContext::modifyWorldTransform(const QTransform& xform, std::uint32_t mode)
{
    switch (mode) {
    case 1:
        state_.world = QTransform();
        break;
    case 2:
        state_.world = xform * state_.world;
        break;
    case 3:
        state_.world = state_.world * xform;
        break;
    case 4:
        state_.world = xform;
        break;
    default:
        break;
    }
}

QTransform MetafileContext::pageTransform() const
{
    double sx = 1, sy = 1;
    const double mm[] = {0, 0, 0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
    switch (state_.mapMode) {
    case Text:
        break;
    case Isotropic:
    case Anisotropic:
        sx = state_.viewportExt.x() / state_.windowExt.x();
        sy = state_.viewportExt.y() / state_.windowExt.y();
        if (state_.mapMode == Isotropic) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    default:
        sx = mm[state_.mapMode] * unitsPerMmX_;
        sy = -mm[state_.mapMode] * unitsPerMmY_;
        break;
    }
    return QTransform(sx, 0, 0, sy, state_.viewportOrg.x() - state_.windowOrg.x() * sx,
                      state_.viewportOrg.y() - state_.windowOrg.y() * sy);
}

bool MetafileContext::applyTransform()
{
    const QTransform full = state_.world * pageTransform() * deviceToTarget_;
    if (!finiteTransform(full))
        return false;
    painter_.setTransform(full);
    return true;
}

void MetafileContext::save()
{
    if (saved_.size() >= 1024)
        return;
    saved_.push_back(state_);
    painter_.save();
    ++painterSaves_;
}

void MetafileContext::restore(int which)
{
    // Negative counts back from the last save; positive names a save level.
    std::size_t keep = 0;
    if (which < 0) {
        const std::size_t back = std::size_t(-static_cast<long long>(which));
        if (back > saved_.size())
            return;
        keep = saved_.size() - back;
    } else if (which > 0 && std::size_t(which) <= saved_.size()) {
        keep = std::size_t(which) - 1;
    } else {
        return;
    }
    if (keep >= saved_.size())
        return;
    state_ = saved_[keep];
    while (saved_.size() > keep) {
        saved_.pop_back();
        painter_.restore();
        --painterSaves_;
    }
}

void MetafileContext::intersectClip(const QRectF& rect)
{
    if (!sane(rect) || !applyTransform())
        return;
    painter_.setClipRect(rect.normalized(),
                         painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void MetafileContext::resetClip()
{
    painter_.setClipping(false);
}

void MetafileContext::drawShape(const QPainterPath& path, bool fill, bool stroke)
{
    if (inPath_) {
        path_.addPath(path);
        return;
    }
    if (!applyTransform())
        return;
    if (fill && state_.brush.style() != Qt::NoBrush) {
        QPainterPath filled = path;
        filled.setFillRule(state_.winding ? Qt::WindingFill : Qt::OddEvenFill);
        painter_.fillPath(filled, state_.brush);
    }
    if (stroke && state_.pen.style() != Qt::NoPen)
        painter_.strokePath(path, state_.pen);
}

void MetafileContext::moveTo(QPointF p)
{
    state_.position = p;
    if (inPath_)
        path_.moveTo(p);
}

void MetafileContext::lineTo(QPointF p)
{
    if (inPath_) {
        if (path_.elementCount() == 0)
            path_.moveTo(state_.position);
        path_.lineTo(p);
    } else {
        QPainterPath line(state_.position);
        line.lineTo(p);
        drawShape(line, false, true);
    }
    state_.position = p;
}

void MetafileContext::polyline(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    drawShape(path, false, true);
}

void MetafileContext::polylineTo(const QPolygonF& points)
{
    for (const QPointF& p : points)
        lineTo(p);
}

void MetafileContext::polygon(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    drawShape(path, true, true);
}

void MetafileContext::polyPolygon(const std::vector<QPolygonF>& polygons)
{
    QPainterPath path;
    for (const QPolygonF& points : polygons) {
        if (points.size() < 2)
            continue;
        path.addPolygon(points);
        path.closeSubpath();
    }
    drawShape(path, true, true);
}

void MetafileContext::polyBezier(const QPolygonF& points, bool fromCurrent)
{
    QPainterPath path;
    qsizetype i = 0;
    if (fromCurrent) {
        path.moveTo(state_.position);
    } else {
        if (points.isEmpty())
            return;
        path.moveTo(points[0]);
        i = 1;
    }
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (fromCurrent && !path.isEmpty())
        state_.position = path.currentPosition();
    if (inPath_) {
        if (fromCurrent && path_.elementCount() > 0) {
            path_.connectPath(path);
            return;
        }
    }
    drawShape(path, false, true);
}

void MetafileContext::rectangle(const QRectF& rect)
{
    if (!sane(rect))
        return;
    QPainterPath path;
    path.addRect(rect.normalized());
    drawShape(path, true, true);
}

void MetafileContext::roundRect(const QRectF& rect, double width, double height)
{
    if (!sane(rect))
        return;
    QPainterPath path;
    path.addRoundedRect(rect.normalized(), std::abs(width) / 2, std::abs(height) / 2);
    drawShape(path, true, true);
}

void MetafileContext::ellipse(const QRectF& rect)
{
    if (!sane(rect))
        return;
    QPainterPath path;
    path.addEllipse(rect.normalized());
    drawShape(path, true, true);
}

void MetafileContext::arc(const QRectF& rect, QPointF start, QPointF end, ArcKind kind)
{
    if (!sane(rect))
        return;
    const QRectF r = rect.normalized();
    const QPointF c = r.center();
    // Angles as Qt counts them: counter-clockwise with y pointing down.
    const double toDeg = 180.0 / std::numbers::pi;
    const double a0 = std::atan2(-(start.y() - c.y()), start.x() - c.x()) * toDeg;
    const double a1 = std::atan2(-(end.y() - c.y()), end.x() - c.x()) * toDeg;
    double sweep = a1 - a0;
    while (sweep <= 0)
        sweep += 360;
    if (!std::isfinite(sweep) || sweep > 360)
        return;
    QPainterPath path;
    if (kind == ArcKind::Pie) {
        path.moveTo(c);
        path.arcTo(r, a0, sweep);
        path.closeSubpath();
    } else {
        path.arcMoveTo(r, a0);
        path.arcTo(r, a0, sweep);
        if (kind == ArcKind::Chord)
            path.closeSubpath();
    }
    drawShape(path, kind != ArcKind::Arc, true);
}

void MetafileContext::setPixel(QPointF p, QColor color)
{
    if (inPath_ || !applyTransform())
        return;
    painter_.fillRect(QRectF(p, QSizeF(1, 1)), color);
}

QString MetafileContext::decodeText(const QByteArray& bytes) const
{
    // Western and symbol fonts are Latin-1; any other charset is taken as the
    // Cyrillic code page the program's maps are made with.
    const int charset = state_.font.charset;
    if (charset == 0 || charset == 2 || charset == 255)
        return QString::fromLatin1(bytes);
    return fromWindows1251(bytes);
}

void MetafileContext::textOut(QPointF reference, const QString& text, std::uint32_t options,
                              const QRectF* rect)
{
    if (inPath_ || !applyTransform())
        return;
    const QTransform full = painter_.transform();
    if (rect && sane(*rect) && (options & 2))
        painter_.fillRect(rect->normalized(), state_.bkColor);
    if (text.isEmpty())
        return;
    const bool updateCp = state_.textAlign & 1;
    const QPointF at = full.map(updateCp ? state_.position : reference);
    const double yScale = std::hypot(full.m21(), full.m22());
    const Object& font = state_.font;
    double pixels = font.fontHeight == 0
                        ? 12 * std::hypot(deviceToTarget_.m21(), deviceToTarget_.m22())
                        : std::abs(font.fontHeight) * yScale;
    if (font.fontHeight > 0)
        pixels *= 0.85; // a cell height includes the internal leading
    if (!std::isfinite(pixels) || pixels < 0.5 || pixels > 20000)
        return;
    QFont qfont = font.font;
    qfont.setPixelSize(std::max(1, int(std::lround(pixels))));

    painter_.save();
    if (rect && sane(*rect) && (options & 4))
        painter_.setClipRect(rect->normalized(), Qt::IntersectClip);
    painter_.resetTransform();
    painter_.translate(at);
    painter_.rotate(-font.escapement / 10.0);
    painter_.setFont(qfont);
    const QFontMetricsF metrics(qfont, painter_.device());
    const double width = metrics.horizontalAdvance(text);
    double x = 0, y = 0;
    switch (state_.textAlign & 6) {
    case 6:
        x = -width / 2;
        break;
    case 2:
        x = -width;
        break;
    default:
        break;
    }
    switch (state_.textAlign & 24) {
    case 24:
        break;
    case 8:
        y = -metrics.descent();
        break;
    default:
        y = metrics.ascent();
        break;
    }
    if (state_.bkOpaque)
        painter_.fillRect(QRectF(x, y - metrics.ascent(), width, metrics.height()), state_.bkColor);
    painter_.setPen(state_.textColor);
    painter_.drawText(QPointF(x, y), text);
    painter_.restore();
    if (updateCp) {
        const double angle = -font.escapement / 10.0 * std::numbers::pi / 180;
        const QPointF advance(width * std::cos(angle), width * std::sin(angle));
        bool invertible = false;
        const QTransform back = full.inverted(&invertible);
        if (invertible)
            state_.position = back.map(at + advance);
    }
}

void MetafileContext::bitBlt(const QRectF& dest, const QImage& image, const QRectF& source,
                             std::uint32_t rop)
{
    if (inPath_ || !sane(dest) || !sane(source) || !applyTransform())
        return;
    if (image.isNull()) {
        switch (rop) {
        case 0x00000042:
            painter_.fillRect(dest.normalized(), Qt::black);
            break;
        case 0x00FF0062:
            painter_.fillRect(dest.normalized(), Qt::white);
            break;
        case 0x00AA0029:
            break; // leaves the destination
        default:
            if (state_.brush.style() != Qt::NoBrush)
                painter_.fillRect(dest.normalized(), state_.brush);
            break;
        }
        return;
    }
    painter_.save();
    painter_.setCompositionMode(modeFor(rop));
    painter_.translate(dest.x(), dest.y());
    painter_.scale(dest.width() < 0 ? -1 : 1, dest.height() < 0 ? -1 : 1);
    painter_.drawImage(QRectF(0, 0, std::abs(dest.width()), std::abs(dest.height())), image,
                       source);
    painter_.restore();
}

void MetafileContext::beginPath()
{
    inPath_ = true;
    path_ = QPainterPath();
}

void MetafileContext::endPath()
{
    if (!inPath_)
        return;
    inPath_ = false;
    finishedPath_ = path_;
    path_ = QPainterPath();
}

void MetafileContext::closeFigure()
{
    if (inPath_)
        path_.closeSubpath();
}

void MetafileContext::abortPath()
{
    inPath_ = false;
    path_ = QPainterPath();
    finishedPath_ = QPainterPath();
}

void MetafileContext::fillPath()
{
    if (inPath_)
        endPath();
    drawShape(finishedPath_, true, false);
    finishedPath_ = QPainterPath();
}

void MetafileContext::strokePath()
{
    if (inPath_)
        endPath();
    drawShape(finishedPath_, false, true);
    finishedPath_ = QPainterPath();
}

void MetafileContext::strokeAndFillPath()
{
    if (inPath_)
        endPath();
    drawShape(finishedPath_, true, true);
    finishedPath_ = QPainterPath();
}

} // namespace kelvora
