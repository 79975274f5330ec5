#include "metafilecontext.h"

#include "windows1251.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace kelvora {

namespace {

constexpr double maxCoordinate = 1e9;
// Clipping areas are kept in whole target pixels within this bound.
constexpr int clipLimit = 1 << 26;

// The palette a device starts with: the twenty fixed system colours.
const QRgb defaultPalette[] = {
    qRgb(0x00, 0x00, 0x00), qRgb(0x80, 0x00, 0x00), qRgb(0x00, 0x80, 0x00), qRgb(0x80, 0x80, 0x00),
    qRgb(0x00, 0x00, 0x80), qRgb(0x80, 0x00, 0x80), qRgb(0x00, 0x80, 0x80), qRgb(0xc0, 0xc0, 0xc0),
    qRgb(0xc0, 0xdc, 0xc0), qRgb(0xa6, 0xca, 0xf0), qRgb(0xff, 0xfb, 0xf0), qRgb(0xa0, 0xa0, 0xa4),
    qRgb(0x80, 0x80, 0x80), qRgb(0xff, 0x00, 0x00), qRgb(0x00, 0xff, 0x00), qRgb(0xff, 0xff, 0x00),
    qRgb(0x00, 0x00, 0xff), qRgb(0xff, 0x00, 0xff), qRgb(0x00, 0xff, 0xff), qRgb(0xff, 0xff, 0xff),
};

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

int pixelEdge(double v)
{
    return int(std::lround(std::clamp(v, -double(clipLimit), double(clipLimit))));
}

// The pixels a target rectangle covers: its left and top edges in, its
// right and bottom edges out.
QRect pixelRect(const QRectF& r)
{
    const QRectF n = r.normalized();
    return QRect(QPoint(pixelEdge(n.left()), pixelEdge(n.top())),
                 QPoint(pixelEdge(n.right()) - 1, pixelEdge(n.bottom()) - 1));
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

MetafileContext::Object MetafileContext::readPalette(ByteReader in)
{
    in.u16(); // version
    const std::size_t count = in.u16();
    if (!in.ok() || count > in.remaining() / 4)
        return Object();
    Object object;
    object.type = Object::Palette;
    object.colors.reserve(qsizetype(count));
    for (std::size_t i = 0; i < count; ++i) {
        const int red = in.u8(), green = in.u8(), blue = in.u8();
        in.u8(); // flags
        object.colors.append(qRgb(red, green, blue));
    }
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

void MetafileContext::selectPalette(std::uint32_t index)
{
    if (index < objects_.size() && objects_[index].type == Object::Palette)
        state_.palette = objects_[index].colors;
}

void MetafileContext::selectDefaultPalette()
{
    state_.palette.clear();
}

QRgb MetafileContext::paletteColor(std::uint32_t index) const
{
    if (state_.palette.isEmpty())
        return index < std::size(defaultPalette) ? defaultPalette[index] : qRgb(0x80, 0x80, 0x80);
    return index < std::size_t(state_.palette.size()) ? state_.palette[qsizetype(index)]
                                                      : qRgb(0x80, 0x80, 0x80);
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

bool MetafileContext::logicalToTarget(QTransform& full) const
{
    full = state_.world * pageTransform() * deviceToTarget_;
    return finiteTransform(full);
}

bool MetafileContext::applyTransform()
{
    QTransform full;
    if (!logicalToTarget(full))
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

bool MetafileContext::logicalRegion(const QRectF& rect, QRegion& area) const
{
    QTransform full;
    if (!sane(rect) || !logicalToTarget(full))
        return false;
    if (!full.isRotating()) {
        area = QRegion(pixelRect(full.mapRect(rect)));
        return true;
    }
    // A region is built scan line by scan line, so a turned rectangle is
    // first cut to the drawing surface, with room around it for a later
    // offset: one as tall as the coordinates allow would take minutes.
    QRectF surface(0, 0, 1, 1);
    if (const QPaintDevice* device = painter_.device())
        surface = QRectF(0, 0, std::max(1, device->width()), std::max(1, device->height()));
    surface.adjust(-surface.width(), -surface.height(), surface.width(), surface.height());
    const QPolygonF corners = full.map(QPolygonF(rect)).intersected(QPolygonF(surface));
    QPolygon pixels;
    for (const QPointF& p : corners)
        pixels.append(QPoint(pixelEdge(p.x()), pixelEdge(p.y())));
    area = QRegion(pixels);
    return true;
}

void MetafileContext::combineClip(const QRegion& area, int mode)
{
    // Without a clipping area the whole surface is drawable.
    const QRegion current = state_.clipped
                                ? state_.clip
                                : QRegion(-clipLimit, -clipLimit, 2 * clipLimit, 2 * clipLimit);
    switch (mode) {
    case ClipAnd:
        state_.clip = current & area;
        break;
    case ClipOr:
        state_.clip = current | area;
        break;
    case ClipXor:
        state_.clip = current ^ area;
        break;
    case ClipDiff:
        state_.clip = current - area;
        break;
    case ClipCopy:
        state_.clip = area;
        break;
    default:
        return;
    }
    state_.clipped = true;
    painter_.setTransform(QTransform());
    painter_.setClipRegion(state_.clip);
}

void MetafileContext::intersectClip(const QRectF& rect)
{
    QRegion area;
    if (logicalRegion(rect, area))
        combineClip(area, ClipAnd);
}

void MetafileContext::excludeClip(const QRectF& rect)
{
    QRegion area;
    if (logicalRegion(rect, area))
        combineClip(area, ClipDiff);
}

void MetafileContext::offsetClip(double dx, double dy)
{
    QTransform full;
    if (!state_.clipped || !logicalToTarget(full))
        return;
    const QPointF by = full.map(QPointF(dx, dy)) - full.map(QPointF(0, 0));
    const QRect bounds = state_.clip.boundingRect();
    const double limit = 4.0 * clipLimit;
    if (!(std::abs(bounds.left() + by.x()) < limit && std::abs(bounds.right() + by.x()) < limit &&
          std::abs(bounds.top() + by.y()) < limit && std::abs(bounds.bottom() + by.y()) < limit))
        return;
    combineClip(state_.clip.translated(int(std::lround(by.x())), int(std::lround(by.y()))),
                ClipCopy);
}

void MetafileContext::selectClipRegion(const std::vector<QRectF>& deviceRects, int mode)
{
    std::vector<QRegion> parts;
    parts.reserve(deviceRects.size());
    for (const QRectF& r : deviceRects) {
        if (sane(r))
            parts.emplace_back(pixelRect(deviceToTarget_.mapRect(r)));
    }
    // Uniting in pairs keeps a region of many rectangles quick to build.
    while (parts.size() > 1) {
        const std::size_t pairs = parts.size() / 2;
        for (std::size_t i = 0; i < pairs; ++i)
            parts[i] = parts[2 * i] | parts[2 * i + 1];
        if (parts.size() % 2)
            parts[pairs] = parts.back();
        parts.resize(parts.size() - pairs);
    }
    combineClip(parts.empty() ? QRegion() : parts.front(), mode);
}

void MetafileContext::resetClip()
{
    state_.clipped = false;
    state_.clip = QRegion();
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

QPainterPath& MetafileContext::beginFromCurrent(QPainterPath& local)
{
    QPainterPath& figure = inPath_ ? path_ : local;
    if (figure.elementCount() == 0 || figure.currentPosition() != state_.position)
        figure.moveTo(state_.position);
    return figure;
}

void MetafileContext::endFromCurrent(const QPainterPath& figure, QPointF last)
{
    state_.position = last;
    if (!inPath_)
        drawShape(figure, false, true);
}

void MetafileContext::lineTo(QPointF p)
{
    QPainterPath local;
    QPainterPath& figure = beginFromCurrent(local);
    figure.lineTo(p);
    endFromCurrent(figure, p);
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
    if (points.isEmpty())
        return;
    QPainterPath local;
    QPainterPath& figure = beginFromCurrent(local);
    for (const QPointF& p : points)
        figure.lineTo(p);
    endFromCurrent(figure, points.back());
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
    if (fromCurrent) {
        if (points.size() < 3)
            return;
        QPainterPath local;
        QPainterPath& figure = beginFromCurrent(local);
        for (qsizetype i = 0; i + 2 < points.size(); i += 3)
            figure.cubicTo(points[i], points[i + 1], points[i + 2]);
        endFromCurrent(figure, figure.currentPosition());
        return;
    }
    if (points.isEmpty())
        return;
    QPainterPath path(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    drawShape(path, false, true);
}

void MetafileContext::polyDraw(const QPolygonF& points, const std::vector<std::uint8_t>& types)
{
    enum : std::uint8_t { Close = 1, Line = 2, Bezier = 4, Move = 6 };
    const std::size_t count = types.size();
    if (count == 0 || std::size_t(points.size()) != count)
        return;
    // Checked whole first: a Bézier takes three points, and a move cannot
    // close a figure.
    for (std::size_t i = 0; i < count;) {
        const int kind = types[i] & ~Close;
        if (types[i] == Move || kind == Line)
            i += 1;
        else if (kind == Bezier && i + 2 < count && (types[i + 1] & ~Close) == Bezier &&
                 (types[i + 2] & ~Close) == Bezier)
            i += 3;
        else
            return;
    }
    QPainterPath local;
    QPainterPath& figure = beginFromCurrent(local);
    for (std::size_t i = 0; i < count; ++i) {
        const qsizetype at = qsizetype(i);
        if (types[i] == Move) {
            figure.moveTo(points[at]);
            continue;
        }
        if ((types[i] & ~Close) == Line) {
            figure.lineTo(points[at]);
        } else {
            figure.cubicTo(points[at], points[at + 1], points[at + 2]);
            i += 2;
        }
        if (types[i] & Close) {
            // The next figure starts where this one's last point is.
            figure.closeSubpath();
            figure.moveTo(points[qsizetype(i)]);
        }
    }
    endFromCurrent(figure, points.back());
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

bool MetafileContext::arcAngles(const QRectF& rect, QPointF start, QPointF end, double& from,
                                double& sweep) const
{
    if (!sane(rect))
        return false;
    const QPointF c = rect.normalized().center();
    // Angles as Qt counts them: counter-clockwise with y pointing down. An
    // arc whose ends are at one angle is the whole ellipse.
    const double toDeg = 180.0 / std::numbers::pi;
    from = std::atan2(-(start.y() - c.y()), start.x() - c.x()) * toDeg;
    const double to = std::atan2(-(end.y() - c.y()), end.x() - c.x()) * toDeg;
    sweep = to - from;
    if (!std::isfinite(sweep))
        return false;
    if (state_.clockwise) {
        while (sweep >= 0)
            sweep -= 360;
    } else {
        while (sweep <= 0)
            sweep += 360;
    }
    return std::abs(sweep) <= 360;
}

void MetafileContext::arcTo(const QRectF& rect, QPointF start, QPointF end)
{
    double a0 = 0, sweep = 0;
    if (!arcAngles(rect, start, end, a0, sweep))
        return;
    QPainterPath local;
    QPainterPath& figure = beginFromCurrent(local);
    figure.arcTo(rect.normalized(), a0, sweep); // with a line to the arc's start
    endFromCurrent(figure, figure.currentPosition());
}

void MetafileContext::angleArc(QPointF center, double radius, double startDegrees,
                               double sweepDegrees)
{
    if (!std::isfinite(center.x()) || !std::isfinite(center.y()) || !(radius >= 0) ||
        radius > maxCoordinate || !std::isfinite(startDegrees) || !std::isfinite(sweepDegrees))
        return;
    const QRectF rect(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath local;
    QPainterPath& figure = beginFromCurrent(local);
    figure.arcTo(rect, std::fmod(startDegrees, 360.0), std::clamp(sweepDegrees, -360.0, 360.0));
    endFromCurrent(figure, figure.currentPosition());
}

void MetafileContext::arc(const QRectF& rect, QPointF start, QPointF end, ArcKind kind)
{
    double a0 = 0, sweep = 0;
    if (!arcAngles(rect, start, end, a0, sweep))
        return;
    const QRectF r = rect.normalized();
    const QPointF c = r.center();
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
