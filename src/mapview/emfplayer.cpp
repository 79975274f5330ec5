#include "emfplayer.h"

#include "dibdecoder.h"
#include "metafilecontext.h"

#include <QPolygonF>
#include <QTransform>
#include <vector>

namespace kelvora {

namespace {

// Record types.
enum : std::uint32_t {
    Header = 1,
    PolyBezier = 2,
    Polygon = 3,
    Polyline = 4,
    PolyBezierTo = 5,
    PolylineTo = 6,
    PolyPolyline = 7,
    PolyPolygon = 8,
    SetWindowExtEx = 9,
    SetWindowOrgEx = 10,
    SetViewportExtEx = 11,
    SetViewportOrgEx = 12,
    Eof = 14,
    SetPixelV = 15,
    SetMapMode = 17,
    SetBkMode = 18,
    SetPolyFillMode = 19,
    SetTextAlign = 22,
    SetTextColor = 24,
    SetBkColor = 25,
    OffsetClipRgn = 26,
    MoveToEx = 27,
    ExcludeClipRect = 29,
    IntersectClipRect = 30,
    ScaleViewportExtEx = 31,
    ScaleWindowExtEx = 32,
    SaveDc = 33,
    RestoreDc = 34,
    SetWorldTransform = 35,
    ModifyWorldTransform = 36,
    SelectObject = 37,
    CreatePen = 38,
    CreateBrushIndirect = 39,
    DeleteObject = 40,
    AngleArc = 41,
    Ellipse = 42,
    Rectangle = 43,
    RoundRect = 44,
    Arc = 45,
    Chord = 46,
    Pie = 47,
    SelectPalette = 48,
    CreatePalette = 49,
    LineTo = 54,
    ArcTo = 55,
    PolyDraw = 56,
    SetArcDirection = 57,
    BeginPath = 59,
    EndPath = 60,
    CloseFigure = 61,
    FillPath = 62,
    StrokeAndFillPath = 63,
    StrokePath = 64,
    AbortPath = 68,
    ExtSelectClipRgn = 75,
    BitBlt = 76,
    StretchBlt = 77,
    SetDiBitsToDevice = 80,
    StretchDiBits = 81,
    ExtCreateFontIndirectW = 82,
    ExtTextOutA = 83,
    ExtTextOutW = 84,
    PolyBezier16 = 85,
    Polygon16 = 86,
    Polyline16 = 87,
    PolyBezierTo16 = 88,
    PolylineTo16 = 89,
    PolyPolyline16 = 90,
    PolyPolygon16 = 91,
    PolyDraw16 = 92,
    CreateDibPatternBrushPt = 94,
    ExtCreatePen = 95,
};

QPointF pointL(ByteReader& in)
{
    const double x = in.i32();
    const double y = in.i32();
    return QPointF(x, y);
}

QRectF rectL(ByteReader& in)
{
    const double left = in.i32(), top = in.i32(), right = in.i32(), bottom = in.i32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPolygonF readPoints(ByteReader& in, std::size_t count, bool small)
{
    QPolygonF result;
    const std::size_t each = small ? 4 : 8;
    if (count > in.remaining() / each) {
        in.skip(in.remaining() + 1);
        return result;
    }
    result.reserve(qsizetype(count));
    for (std::size_t i = 0; i < count; ++i) {
        if (small) {
            const double x = in.i16();
            const double y = in.i16();
            result.append(QPointF(x, y));
        } else {
            result.append(pointL(in));
        }
    }
    return result;
}

QTransform xform(ByteReader& in)
{
    const double m11 = in.f32(), m12 = in.f32(), m21 = in.f32(), m22 = in.f32();
    const double dx = in.f32(), dy = in.f32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

// The bitmap at the offsets a record gives; `usage` 1 says its colour table
// holds palette indices.
QImage recordBitmap(const ByteReader& record, std::uint32_t offBmi, std::uint32_t cbBmi,
                    std::uint32_t offBits, std::uint32_t cbBits, std::uint32_t usage,
                    const MetafileContext& dc)
{
    if (cbBmi == 0)
        return QImage();
    const DibDecoder::PaletteLookup palette = [&dc](std::uint32_t i) {
        return dc.paletteColor(i);
    };
    return DibDecoder::decode(record.slice(offBmi, cbBmi), record.slice(offBits, cbBits),
                              usage == 1 ? &palette : nullptr);
}

// The window and viewport records: one point handed to `set`.
void playPoint(ByteReader& in, MetafileContext& dc, void (MetafileContext::*set)(double, double))
{
    const QPointF p = pointL(in);
    if (in.ok())
        (dc.*set)(p.x(), p.y());
}

void playRecord(std::uint32_t type, ByteReader rec, MetafileContext& dc)
{
    ByteReader in = rec;
    in.skip(8);
    switch (type) {
    case SetWindowExtEx:
        playPoint(in, dc, &MetafileContext::setWindowExt);
        break;
    case SetWindowOrgEx:
        playPoint(in, dc, &MetafileContext::setWindowOrg);
        break;
    case SetViewportExtEx:
        playPoint(in, dc, &MetafileContext::setViewportExt);
        break;
    case SetViewportOrgEx:
        playPoint(in, dc, &MetafileContext::setViewportOrg);
        break;
    case ScaleViewportExtEx:
    case ScaleWindowExtEx: {
        const double xNum = in.i32(), xDen = in.i32(), yNum = in.i32(), yDen = in.i32();
        if (!in.ok())
            break;
        if (type == ScaleWindowExtEx)
            dc.scaleWindowExt(xNum, xDen, yNum, yDen);
        else
            dc.scaleViewportExt(xNum, xDen, yNum, yDen);
        break;
    }
    case SetMapMode:
        dc.setMapMode(int(in.u32()));
        break;
    case SetBkMode:
        dc.setBkMode(int(in.u32()));
        break;
    case SetPolyFillMode:
        dc.setPolyFillMode(int(in.u32()));
        break;
    case SetTextAlign:
        dc.setTextAlign(in.u32());
        break;
    case SetTextColor:
        dc.setTextColor(MetafileContext::colorRef(in.u32()));
        break;
    case SetBkColor:
        dc.setBkColor(MetafileContext::colorRef(in.u32()));
        break;
    case SetPixelV: {
        const QPointF p = pointL(in);
        const std::uint32_t color = in.u32();
        if (in.ok())
            dc.setPixel(p, MetafileContext::colorRef(color));
        break;
    }
    case MoveToEx: {
        const QPointF p = pointL(in);
        if (in.ok())
            dc.moveTo(p);
        break;
    }
    case LineTo: {
        const QPointF p = pointL(in);
        if (in.ok())
            dc.lineTo(p);
        break;
    }
    case IntersectClipRect: {
        const QRectF r = rectL(in);
        if (in.ok())
            dc.intersectClip(r);
        break;
    }
    case ExcludeClipRect: {
        const QRectF r = rectL(in);
        if (in.ok())
            dc.excludeClip(r);
        break;
    }
    case OffsetClipRgn: {
        const QPointF by = pointL(in);
        if (in.ok())
            dc.offsetClip(by.x(), by.y());
        break;
    }
    case ExtSelectClipRgn: {
        const std::uint32_t bytes = in.u32();
        const std::uint32_t mode = in.u32();
        if (!in.ok())
            break;
        if (bytes == 0) {
            // No region: only a copy means anything, back to no clipping.
            if (mode == MetafileContext::ClipCopy)
                dc.resetClip();
            break;
        }
        // A region header, then its rectangles.
        ByteReader region = rec.slice(in.pos(), bytes);
        const std::uint32_t headerSize = region.u32();
        const std::uint32_t kind = region.u32();
        const std::size_t count = region.u32();
        region.seek(headerSize);
        if (!region.ok() || headerSize < 32 || kind != 1 || count > region.remaining() / 16)
            break;
        std::vector<QRectF> rects;
        rects.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            rects.push_back(rectL(region));
        if (region.ok())
            dc.selectClipRegion(rects, int(mode));
        break;
    }
    case SaveDc:
        dc.save();
        break;
    case RestoreDc:
        dc.restore(in.i32());
        break;
    case SetWorldTransform: {
        const QTransform t = xform(in);
        if (in.ok())
            dc.setWorldTransform(t);
        break;
    }
    case ModifyWorldTransform: {
        const QTransform t = xform(in);
        const std::uint32_t mode = in.u32();
        if (in.ok())
            dc.modifyWorldTransform(t, mode);
        break;
    }
    case SelectObject: {
        const std::uint32_t index = in.u32();
        if (!in.ok())
            break;
        if (index & 0x80000000u)
            dc.selectStock(index & 0x7fffffffu);
        else
            dc.selectObject(index);
        break;
    }
    case DeleteObject:
        dc.deleteObject(in.u32());
        break;
    case CreatePalette: {
        const std::uint32_t index = in.u32();
        const MetafileContext::Object palette =
            MetafileContext::readPalette(rec.slice(in.pos(), in.remaining()));
        if (in.ok() && palette.type == MetafileContext::Object::Palette)
            dc.setObject(index, palette);
        break;
    }
    case SelectPalette: {
        const std::uint32_t index = in.u32();
        if (!in.ok())
            break;
        if (index & 0x80000000u)
            dc.selectDefaultPalette();
        else
            dc.selectPalette(index);
        break;
    }
    case CreatePen: {
        const std::uint32_t index = in.u32();
        const std::uint32_t style = in.u32();
        const double width = in.i32();
        in.i32();
        const std::uint32_t color = in.u32();
        if (!in.ok())
            break;
        MetafileContext::Object object;
        object.type = MetafileContext::Object::Pen;
        object.pen = MetafileContext::makePen(style, width, MetafileContext::colorRef(color));
        dc.setObject(index, object);
        break;
    }
    case ExtCreatePen: {
        const std::uint32_t index = in.u32();
        in.skip(16); // the pattern bitmap, not used
        const std::uint32_t style = in.u32();
        const double width = in.u32();
        in.u32(); // brush style
        const std::uint32_t color = in.u32();
        if (!in.ok())
            break;
        MetafileContext::Object object;
        object.type = MetafileContext::Object::Pen;
        // A cosmetic pen is one device pixel wide whatever its width says.
        const bool geometric = (style & 0x000f0000u) == 0x00010000u;
        object.pen = MetafileContext::makePen(style, geometric ? width : 0,
                                              MetafileContext::colorRef(color));
        dc.setObject(index, object);
        break;
    }
    case CreateBrushIndirect: {
        const std::uint32_t index = in.u32();
        const std::uint32_t style = in.u32();
        const std::uint32_t color = in.u32();
        const std::uint32_t hatch = in.u32();
        if (!in.ok())
            break;
        MetafileContext::Object object;
        object.type = MetafileContext::Object::Brush;
        object.brush = MetafileContext::makeBrush(style, MetafileContext::colorRef(color), hatch);
        dc.setObject(index, object);
        break;
    }
    case CreateDibPatternBrushPt: {
        const std::uint32_t index = in.u32();
        const std::uint32_t usage = in.u32();
        const std::uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(),
                            cbBits = in.u32();
        if (!in.ok())
            break;
        const QImage pattern = recordBitmap(rec, offBmi, cbBmi, offBits, cbBits, usage, dc);
        MetafileContext::Object object;
        object.type = MetafileContext::Object::Brush;
        object.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
        dc.setObject(index, object);
        break;
    }
    case ExtCreateFontIndirectW: {
        const std::uint32_t index = in.u32();
        const double height = in.i32();
        in.i32(); // width
        const double escapement = in.i32();
        in.i32(); // orientation
        const int weight = in.i32();
        const bool italic = in.u8();
        const bool underline = in.u8();
        const bool strikeOut = in.u8();
        const int charset = in.u8();
        in.skip(4);
        if (!in.ok())
            break;
        QString face;
        for (int i = 0; i < 32 && in.has(2); ++i) {
            const char16_t c = in.u16();
            if (c == 0)
                break;
            face.append(QChar(c));
        }
        dc.setObject(index, MetafileContext::makeFont(height, escapement, weight, italic, underline,
                                                      strikeOut, charset, face));
        break;
    }
    case Polygon:
    case Polyline:
    case PolyBezier:
    case PolyBezierTo:
    case PolylineTo:
    case Polygon16:
    case Polyline16:
    case PolyBezier16:
    case PolyBezierTo16:
    case PolylineTo16: {
        in.skip(16); // bounds
        const std::size_t count = in.u32();
        const bool small = type >= Polygon16;
        const QPolygonF poly = readPoints(in, count, small);
        if (!in.ok())
            break;
        switch (small ? type - (Polygon16 - Polygon) : type) {
        case Polygon:
            dc.polygon(poly);
            break;
        case Polyline:
            dc.polyline(poly);
            break;
        case PolyBezier:
            dc.polyBezier(poly, false);
            break;
        case PolyBezierTo:
            dc.polyBezier(poly, true);
            break;
        case PolylineTo:
            dc.polylineTo(poly);
            break;
        default:
            break;
        }
        break;
    }
    case PolyPolygon:
    case PolyPolyline:
    case PolyPolygon16:
    case PolyPolyline16: {
        in.skip(16);
        const std::size_t polys = in.u32();
        const std::size_t total = in.u32();
        const bool small = type >= PolyPolyline16;
        if (!in.ok() || polys > in.remaining() / 4)
            break;
        std::vector<std::size_t> counts(polys);
        std::size_t sum = 0;
        for (std::size_t& c : counts) {
            c = in.u32();
            sum += c;
        }
        if (sum != total || total > in.remaining() / (small ? 4 : 8))
            break;
        std::vector<QPolygonF> list;
        list.reserve(polys);
        for (std::size_t c : counts)
            list.push_back(readPoints(in, c, small));
        if (!in.ok())
            break;
        if (type == PolyPolygon || type == PolyPolygon16) {
            dc.polyPolygon(list);
        } else {
            for (const QPolygonF& line : list)
                dc.polyline(line);
        }
        break;
    }
    case Rectangle: {
        const QRectF r = rectL(in);
        if (in.ok())
            dc.rectangle(r);
        break;
    }
    case Ellipse: {
        const QRectF r = rectL(in);
        if (in.ok())
            dc.ellipse(r);
        break;
    }
    case RoundRect: {
        const QRectF r = rectL(in);
        const QPointF corner = pointL(in);
        if (in.ok())
            dc.roundRect(r, corner.x(), corner.y());
        break;
    }
    case Arc:
    case Chord:
    case Pie: {
        const QRectF r = rectL(in);
        const QPointF start = pointL(in);
        const QPointF end = pointL(in);
        if (!in.ok())
            break;
        dc.arc(r, start, end,
               type == Arc   ? MetafileContext::ArcKind::Arc
               : type == Pie ? MetafileContext::ArcKind::Pie
                             : MetafileContext::ArcKind::Chord);
        break;
    }
    case ArcTo: {
        const QRectF r = rectL(in);
        const QPointF start = pointL(in);
        const QPointF end = pointL(in);
        if (in.ok())
            dc.arcTo(r, start, end);
        break;
    }
    case AngleArc: {
        const QPointF center = pointL(in);
        const double radius = in.u32();
        const double startAngle = in.f32(), sweepAngle = in.f32();
        if (in.ok())
            dc.angleArc(center, radius, startAngle, sweepAngle);
        break;
    }
    case SetArcDirection:
        dc.setArcDirection(int(in.u32()));
        break;
    case PolyDraw:
    case PolyDraw16: {
        in.skip(16); // bounds
        const std::size_t count = in.u32();
        const bool small = type == PolyDraw16;
        // Each point has its type byte after all the points.
        if (!in.ok() || count > in.remaining() / ((small ? 4 : 8) + 1))
            break;
        const QPolygonF poly = readPoints(in, count, small);
        std::vector<std::uint8_t> kinds(count);
        for (std::uint8_t& k : kinds)
            k = in.u8();
        if (in.ok())
            dc.polyDraw(poly, kinds);
        break;
    }
    case BeginPath:
        dc.beginPath();
        break;
    case EndPath:
        dc.endPath();
        break;
    case CloseFigure:
        dc.closeFigure();
        break;
    case FillPath:
        dc.fillPath();
        break;
    case StrokePath:
        dc.strokePath();
        break;
    case StrokeAndFillPath:
        dc.strokeAndFillPath();
        break;
    case AbortPath:
        dc.abortPath();
        break;
    case ExtTextOutA:
    case ExtTextOutW: {
        in.skip(16); // bounds
        in.u32();    // graphics mode
        in.f32();
        in.f32();
        const QPointF reference = pointL(in);
        const std::uint32_t chars = in.u32();
        const std::uint32_t offString = in.u32();
        const std::uint32_t options = in.u32();
        const QRectF rect = rectL(in);
        if (!in.ok())
            break;
        const std::size_t each = type == ExtTextOutW ? 2 : 1;
        if (chars > rec.size() / each)
            break;
        ByteReader text = rec.slice(offString, chars * each);
        if (!text.ok())
            break;
        QString string;
        if (type == ExtTextOutW) {
            string.reserve(qsizetype(chars));
            for (std::uint32_t i = 0; i < chars; ++i)
                string.append(QChar(char16_t(text.u16())));
        } else {
            string = dc.decodeText(
                QByteArray(reinterpret_cast<const char*>(text.data()), qsizetype(chars)));
        }
        dc.textOut(reference, string, options, &rect);
        break;
    }
    case BitBlt:
    case StretchBlt: {
        in.skip(16);
        const double xDest = in.i32(), yDest = in.i32(), cxDest = in.i32(), cyDest = in.i32();
        const std::uint32_t rop = in.u32();
        const double xSrc = in.i32(), ySrc = in.i32();
        in.skip(24 + 4); // source transform, background
        const std::uint32_t usage = in.u32();
        const std::uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(),
                            cbBits = in.u32();
        double cxSrc = cxDest, cySrc = cyDest;
        if (type == StretchBlt) {
            cxSrc = in.i32();
            cySrc = in.i32();
        }
        if (!in.ok())
            break;
        const QImage image = recordBitmap(rec, offBmi, cbBmi, offBits, cbBits, usage, dc);
        if (cbBmi != 0 && image.isNull())
            break;
        dc.bitBlt(QRectF(xDest, yDest, cxDest, cyDest), image, QRectF(xSrc, ySrc, cxSrc, cySrc),
                  rop);
        break;
    }
    case StretchDiBits:
    case SetDiBitsToDevice: {
        in.skip(16);
        const double xDest = in.i32(), yDest = in.i32(), xSrc = in.i32(), ySrc = in.i32();
        const double cxSrc = in.i32(), cySrc = in.i32();
        const std::uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(),
                            cbBits = in.u32();
        const std::uint32_t usage = in.u32();
        std::uint32_t rop = 0x00CC0020;
        double cxDest = cxSrc, cyDest = cySrc;
        if (type == StretchDiBits) {
            rop = in.u32();
            cxDest = in.i32();
            cyDest = in.i32();
        }
        if (!in.ok())
            break;
        const QImage image = recordBitmap(rec, offBmi, cbBmi, offBits, cbBits, usage, dc);
        if (image.isNull())
            break;
        // The source of a bottom-up bitmap counts from its last row.
        const std::int32_t storedHeight = rec.slice(offBmi + 8, 4).i32();
        double top = ySrc;
        if (storedHeight > 0)
            top = image.height() - ySrc - cySrc;
        dc.bitBlt(QRectF(xDest, yDest, cxDest, cyDest), image, QRectF(xSrc, top, cxSrc, cySrc),
                  rop);
        break;
    }
    default:
        break;
    }
}

} // namespace

void EmfPlayer::play(ByteReader records, MetafileContext& dc)
{
    while (records.has(8)) {
        const std::size_t at = records.pos();
        const std::uint32_t type = records.u32();
        const std::uint32_t size = records.u32();
        if (size < 8 || size % 4 != 0 || size > records.size() - at)
            break;
        if (type == Eof)
            break;
        if (type != Header)
            playRecord(type, records.slice(at, size), dc);
        records.seek(at + size);
    }
}

} // namespace kelvora
