#include "wmfplayer.h"

#include "dibdecoder.h"
#include "metafilecontext.h"

#include <QPolygonF>
#include <vector>

namespace kelvora {

namespace {

// Record functions.
enum : std::uint16_t {
    Eof = 0x0000,
    SaveDc = 0x001E,
    RealizePalette = 0x0035,
    CreatePalette = 0x00F7,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetRop2 = 0x0104,
    SetPolyFillMode = 0x0106,
    SetStretchBltMode = 0x0107,
    RestoreDc = 0x0127,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    DibCreatePatternBrush = 0x0142,
    DeleteObject = 0x01F0,
    CreatePatternBrush = 0x01F9,
    SetBkColor = 0x0201,
    SetTextColor = 0x0209,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SetViewportOrg = 0x020D,
    SetViewportExt = 0x020E,
    OffsetWindowOrg = 0x020F,
    OffsetViewportOrg = 0x0211,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    OffsetClipRgn = 0x0220,
    SelectPalette = 0x0234,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    Polygon = 0x0324,
    Polyline = 0x0325,
    ScaleWindowExt = 0x0410,
    ScaleViewportExt = 0x0412,
    ExcludeClipRect = 0x0415,
    IntersectClipRect = 0x0416,
    Ellipse = 0x0418,
    Rectangle = 0x041B,
    SetPixel = 0x041F,
    TextOut = 0x0521,
    PolyPolygon = 0x0538,
    RoundRect = 0x061C,
    PatBlt = 0x061D,
    CreateRegion = 0x06FF,
    Arc = 0x0817,
    Pie = 0x081A,
    Chord = 0x0830,
    BitBlt = 0x0922,
    DibBitBlt = 0x0940,
    ExtTextOut = 0x0A32,
    StretchBlt = 0x0B23,
    DibStretchBlt = 0x0B41,
    SetDibToDev = 0x0D33,
    StretchDib = 0x0F43,
};

QPointF yx(ByteReader& in)
{
    const double y = in.i16();
    const double x = in.i16();
    return QPointF(x, y);
}

// The window and viewport records: one point, y first, handed to `set`.
void playPoint(ByteReader& in, MetafileContext& dc, void (MetafileContext::*set)(double, double))
{
    const QPointF p = yx(in);
    if (in.ok())
        (dc.*set)(p.x(), p.y());
}

// Rectangles are stored bottom, right, top, left.
QRectF rectBrtl(ByteReader& in)
{
    const double bottom = in.i16(), right = in.i16(), top = in.i16(), left = in.i16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPolygonF points(ByteReader& in, std::size_t count)
{
    QPolygonF result;
    if (!in.has(count * 4))
        return result;
    result.reserve(qsizetype(count));
    for (std::size_t i = 0; i < count; ++i) {
        const double x = in.i16();
        const double y = in.i16();
        result.append(QPointF(x, y));
    }
    return result;
}

// A packed bitmap; `usage` 1 says its colour table holds palette indices.
QImage packedBitmap(ByteReader packed, std::uint16_t usage, const MetafileContext& dc)
{
    const DibDecoder::PaletteLookup palette = [&dc](std::uint32_t i) {
        return dc.paletteColor(i);
    };
    return DibDecoder::decodePacked(packed, usage == 1 ? &palette : nullptr);
}

// The blits, with a bitmap of either kind or none. Their parameters come in
// reverse order of the call: raster operation, the source's size (for a
// stretch) and origin, the destination's size and origin, then the bitmap.
// A blit without a bitmap has a reserved word after the source origin, and
// its record is exactly as long as its function number says.
void blit(std::uint16_t function, ByteReader in, MetafileContext& dc)
{
    const bool stretch =
        function == StretchBlt || function == DibStretchBlt || function == StretchDib;
    const bool withoutBitmap =
        function != StretchDib && in.size() == std::size_t(function >> 8) * 2;
    const std::uint32_t rop = in.u32();
    const std::uint16_t usage = function == StretchDib ? in.u16() : 0;
    double srcW = 0, srcH = 0;
    if (stretch) {
        srcH = in.i16();
        srcW = in.i16();
    }
    const QPointF src = yx(in);
    if (withoutBitmap)
        in.u16();
    const double dstH = in.i16(), dstW = in.i16();
    const QPointF dst = yx(in);
    if (!in.ok())
        return;
    if (!stretch) {
        srcW = dstW;
        srcH = dstH;
    }
    const QRectF target(dst.x(), dst.y(), dstW, dstH);
    if (withoutBitmap) {
        dc.bitBlt(target, QImage(), QRectF(), rop);
        return;
    }
    const ByteReader bitmap = in.slice(in.pos(), in.remaining());
    double srcY = src.y();
    QImage image;
    if (function == BitBlt || function == StretchBlt) {
        // A monochrome bitmap takes the text and background colours.
        image = DibDecoder::decodeBitmap16(bitmap, dc.textColor().rgb(), dc.bkColor().rgb());
    } else {
        image = packedBitmap(bitmap, usage, dc);
        // The source of a bottom-up bitmap counts from its last row.
        if (function == StretchDib && !image.isNull() && bitmap.slice(8, 4).i32() > 0)
            srcY = image.height() - srcY - srcH;
    }
    if (!image.isNull())
        dc.bitBlt(target, image, QRectF(src.x(), srcY, srcW, srcH), rop);
}

void playRecord(std::uint16_t function, ByteReader in, MetafileContext& dc)
{
    switch (function) {
    case SaveDc:
        dc.save();
        break;
    case RestoreDc:
        dc.restore(in.i16());
        break;
    case SetBkMode:
        dc.setBkMode(in.u16());
        break;
    case SetMapMode:
        dc.setMapMode(in.u16());
        break;
    case SetPolyFillMode:
        dc.setPolyFillMode(in.u16());
        break;
    case SetTextAlign:
        dc.setTextAlign(in.u16());
        break;
    case SetBkColor:
        dc.setBkColor(MetafileContext::colorRef(in.u32()));
        break;
    case SetTextColor:
        dc.setTextColor(MetafileContext::colorRef(in.u32()));
        break;
    case SetWindowOrg:
        playPoint(in, dc, &MetafileContext::setWindowOrg);
        break;
    case SetWindowExt:
        playPoint(in, dc, &MetafileContext::setWindowExt);
        break;
    case SetViewportOrg:
        playPoint(in, dc, &MetafileContext::setViewportOrg);
        break;
    case SetViewportExt:
        playPoint(in, dc, &MetafileContext::setViewportExt);
        break;
    case OffsetWindowOrg:
        playPoint(in, dc, &MetafileContext::offsetWindowOrg);
        break;
    case OffsetViewportOrg:
        playPoint(in, dc, &MetafileContext::offsetViewportOrg);
        break;
    case ScaleWindowExt:
    case ScaleViewportExt: {
        const double yDen = in.i16(), yNum = in.i16(), xDen = in.i16(), xNum = in.i16();
        if (!in.ok())
            break;
        if (function == ScaleWindowExt)
            dc.scaleWindowExt(xNum, xDen, yNum, yDen);
        else
            dc.scaleViewportExt(xNum, xDen, yNum, yDen);
        break;
    }
    case MoveTo: {
        const QPointF p = yx(in);
        if (in.ok())
            dc.moveTo(p);
        break;
    }
    case LineTo: {
        const QPointF p = yx(in);
        if (in.ok())
            dc.lineTo(p);
        break;
    }
    case SetPixel: {
        const QColor color = MetafileContext::colorRef(in.u32());
        const QPointF p = yx(in);
        if (in.ok())
            dc.setPixel(p, color);
        break;
    }
    case Polygon:
    case Polyline: {
        const std::size_t count = in.u16();
        const QPolygonF poly = points(in, count);
        if (!in.ok() || std::size_t(poly.size()) != count)
            break;
        if (function == Polygon)
            dc.polygon(poly);
        else
            dc.polyline(poly);
        break;
    }
    case PolyPolygon: {
        const std::size_t polys = in.u16();
        if (!in.has(polys * 2))
            break;
        std::vector<std::size_t> counts(polys);
        std::size_t total = 0;
        for (std::size_t& c : counts) {
            c = in.u16();
            total += c;
        }
        if (!in.has(total * 4))
            break;
        std::vector<QPolygonF> list;
        list.reserve(polys);
        for (std::size_t c : counts)
            list.push_back(points(in, c));
        dc.polyPolygon(list);
        break;
    }
    case Rectangle: {
        const QRectF r = rectBrtl(in);
        if (in.ok())
            dc.rectangle(r);
        break;
    }
    case Ellipse: {
        const QRectF r = rectBrtl(in);
        if (in.ok())
            dc.ellipse(r);
        break;
    }
    case IntersectClipRect: {
        const QRectF r = rectBrtl(in);
        if (in.ok())
            dc.intersectClip(r);
        break;
    }
    case ExcludeClipRect: {
        const QRectF r = rectBrtl(in);
        if (in.ok())
            dc.excludeClip(r);
        break;
    }
    case OffsetClipRgn: {
        const QPointF by = yx(in);
        if (in.ok())
            dc.offsetClip(by.x(), by.y());
        break;
    }
    case RoundRect: {
        const double h = in.i16(), w = in.i16();
        const QRectF r = rectBrtl(in);
        if (in.ok())
            dc.roundRect(r, w, h);
        break;
    }
    case Arc:
    case Pie:
    case Chord: {
        const QPointF end = yx(in);
        const QPointF start = yx(in);
        const QRectF r = rectBrtl(in);
        if (!in.ok())
            break;
        dc.arc(r, start, end,
               function == Arc   ? MetafileContext::ArcKind::Arc
               : function == Pie ? MetafileContext::ArcKind::Pie
                                 : MetafileContext::ArcKind::Chord);
        break;
    }
    case TextOut: {
        const std::size_t length = in.u16();
        if (!in.has((length + 1) / 2 * 2 + 4))
            break;
        const QByteArray bytes(reinterpret_cast<const char*>(in.data() + in.pos()),
                               qsizetype(length));
        in.skip((length + 1) / 2 * 2);
        const QPointF p = yx(in);
        if (in.ok())
            dc.textOut(p, dc.decodeText(bytes), 0, nullptr);
        break;
    }
    case ExtTextOut: {
        const QPointF p = yx(in);
        const std::size_t length = in.u16();
        const std::uint16_t options = in.u16();
        QRectF rect;
        bool hasRect = false;
        if (options & 0x0006) {
            const double left = in.i16(), top = in.i16(), right = in.i16(), bottom = in.i16();
            rect = QRectF(QPointF(left, top), QPointF(right, bottom));
            hasRect = true;
        }
        if (!in.has(length))
            break;
        const QByteArray bytes(reinterpret_cast<const char*>(in.data() + in.pos()),
                               qsizetype(length));
        dc.textOut(p, dc.decodeText(bytes), options, hasRect ? &rect : nullptr);
        break;
    }
    case CreatePenIndirect: {
        const std::uint16_t style = in.u16();
        const double width = in.i16();
        in.i16();
        const std::uint32_t color = in.u32();
        MetafileContext::Object object;
        object.type = MetafileContext::Object::Pen;
        object.pen = MetafileContext::makePen(style, width, MetafileContext::colorRef(color));
        dc.addObject(object);
        break;
    }
    case CreateBrushIndirect: {
        const std::uint16_t style = in.u16();
        const std::uint32_t color = in.u32();
        const std::uint16_t hatch = in.u16();
        MetafileContext::Object object;
        object.type = MetafileContext::Object::Brush;
        object.brush = MetafileContext::makeBrush(style, MetafileContext::colorRef(color), hatch);
        dc.addObject(object);
        break;
    }
    case DibCreatePatternBrush: {
        const std::uint16_t style = in.u16();
        const std::uint16_t usage = in.u16();
        MetafileContext::Object object;
        object.type = MetafileContext::Object::Brush;
        // A plain pattern brush's bitmap always holds colours.
        const QImage pattern =
            packedBitmap(in.slice(in.pos(), in.remaining()), style == 3 ? 0 : usage, dc);
        object.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
        dc.addObject(object);
        break;
    }
    case CreateFontIndirect: {
        const double height = in.i16();
        in.i16(); // width
        const double escapement = in.i16();
        in.i16(); // orientation
        const int weight = in.i16();
        const bool italic = in.u8();
        const bool underline = in.u8();
        const bool strikeOut = in.u8();
        const int charset = in.u8();
        in.skip(4);
        QByteArray face;
        while (in.has(1) && face.size() < 32) {
            const char c = char(in.u8());
            if (c == 0)
                break;
            face.append(c);
        }
        dc.addObject(MetafileContext::makeFont(height, escapement, weight, italic, underline,
                                               strikeOut, charset, QString::fromLatin1(face)));
        break;
    }
    case CreatePalette: {
        MetafileContext::Object palette = MetafileContext::readPalette(in);
        // A damaged one still takes its slot.
        if (palette.type == MetafileContext::Object::None)
            palette.type = MetafileContext::Object::Other;
        dc.addObject(palette);
        break;
    }
    case SelectPalette:
        dc.selectPalette(in.u16());
        break;
    case CreatePatternBrush:
    case CreateRegion: {
        // Kept as placeholders so that later objects land in their slots.
        MetafileContext::Object object;
        object.type = MetafileContext::Object::Other;
        dc.addObject(object);
        break;
    }
    case SelectObject:
        dc.selectObject(in.u16());
        break;
    case DeleteObject:
        dc.deleteObject(in.u16());
        break;
    case PatBlt: {
        const std::uint32_t rop = in.u32();
        const double h = in.i16(), w = in.i16();
        const QPointF p = yx(in);
        if (in.ok())
            dc.bitBlt(QRectF(p.x(), p.y(), w, h), QImage(), QRectF(), rop);
        break;
    }
    case SetDibToDev: {
        const std::uint16_t usage = in.u16();
        in.u16(); // scan count
        in.u16(); // start scan
        const double srcY = in.i16(), srcX = in.i16(), h = in.i16(), w = in.i16();
        const QPointF p = yx(in);
        if (!in.ok())
            break;
        const QImage image = packedBitmap(in.slice(in.pos(), in.remaining()), usage, dc);
        if (image.isNull())
            break;
        const std::int32_t storedHeight = std::int32_t(in.slice(in.pos() + 8, 4).u32());
        const double top = storedHeight > 0 ? image.height() - srcY - h : srcY;
        dc.bitBlt(QRectF(p.x(), p.y(), w, h), image, QRectF(srcX, top, w, h), 0x00CC0020);
        break;
    }
    case BitBlt:
    case StretchBlt:
    case DibBitBlt:
    case DibStretchBlt:
    case StretchDib:
        blit(function, in, dc);
        break;
    default:
        break;
    }
}

} // namespace

QRectF WmfPlayer::windowFrame(ByteReader records)
{
    QPointF origin(0, 0);
    while (records.has(6)) {
        const std::size_t at = records.pos();
        const std::uint32_t words = records.u32();
        const std::uint16_t function = records.u16();
        if (words < 3 || function == Eof || std::size_t(words) * 2 > records.size() - at)
            break;
        ByteReader params = records.slice(at + 6, std::size_t(words) * 2 - 6);
        if (function == SetWindowOrg)
            origin = yx(params);
        else if (function == SetWindowExt) {
            const QPointF ext = yx(params);
            if (params.ok())
                return QRectF(origin, QSizeF(ext.x(), ext.y()));
        }
        records.seek(at + std::size_t(words) * 2);
    }
    return QRectF();
}

void WmfPlayer::play(ByteReader records, MetafileContext& dc)
{
    while (records.has(6)) {
        const std::size_t at = records.pos();
        const std::uint32_t words = records.u32();
        const std::uint16_t function = records.u16();
        if (words < 3 || function == Eof || std::size_t(words) * 2 > records.size() - at)
            break;
        playRecord(function, records.slice(at + 6, std::size_t(words) * 2 - 6), dc);
        records.seek(at + std::size_t(words) * 2);
    }
}

} // namespace kelvora
