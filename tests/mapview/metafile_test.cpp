#include "failure.h"
#include "mappicture.h"
#include "metafilerenderer.h"
#include "testpictures.h"

#include <QImage>
#include <array>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace kelvora {
namespace {

using test::Bytes;
using test::EmfBuilder;
using test::WmfBuilder;

const QRgb red = qRgb(255, 0, 0);
const QRgb green = qRgb(0, 255, 0);
const QRgb blue = qRgb(0, 0, 255);
const QRgb yellow = qRgb(255, 255, 0);
const QRgb white = qRgb(255, 255, 255);

MapPicture fromBytes(const QByteArray& bytes, const char* extension)
{
    return MapPicture::fromData(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                std::size_t(bytes.size()), QString::fromLatin1(extension));
}

bool near(QRgb a, QRgb b, int tolerance = 40)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// 2 x 2: green and yellow on top, blue below.
QByteArray quadDib()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, green);
    image.setPixel(1, 0, yellow);
    image.setPixel(0, 1, blue);
    image.setPixel(1, 1, blue);
    return test::packedDib(image);
}

// A red square on the left half, the bitmap stretched over the right half.
QByteArray wmfSquareAndBitmap()
{
    WmfBuilder wmf(0, 0, 100, 50, 96, 4);
    wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0}); // solid red brush
    wmf.record(0x012D, {0});
    wmf.record(0x02FA, {5, 0, 0, 0, 0}); // null pen
    wmf.record(0x012D, {1});
    wmf.record(0x041B, {50, 50, 0, 0}); // rectangle 0,0 - 50,50
    Bytes stretch;
    stretch.u32(0x00CC0020).u16(0).i16(2).i16(2).i16(0).i16(0).i16(50).i16(50).i16(0).i16(50);
    stretch.raw(quadDib());
    wmf.recordBytes(0x0F43, stretch.data());
    return wmf.finish();
}

// The same picture through an anisotropic window of 1000 x 500 units.
QByteArray wmfScaledWindow()
{
    WmfBuilder wmf(0, 0, 100, 50, 96, 2);
    wmf.record(0x0103, {8}); // anisotropic
    wmf.record(0x020B, {0, 0});
    wmf.record(0x020C, {500, 1000}); // window extent y, x
    wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});
    wmf.record(0x012D, {0});
    wmf.record(0x041B, {500, 500, 0, 0});
    return wmf.finish();
}

QByteArray emfSquareAndBitmap()
{
    EmfBuilder emf(0, 0, 2646, 1323, 3);
    emf.record(39, {1, 0, 0x0000FF, 0}); // brush 1: solid red
    emf.record(37, {1});
    emf.record(37, {std::int32_t(0x80000008)}); // stock null pen
    emf.record(43, {0, 0, 50, 50});
    const QByteArray dib = quadDib();
    Bytes stretch;
    stretch.i32(50).i32(0).i32(100).i32(50); // bounds
    stretch.i32(50).i32(0).i32(0).i32(0).i32(2).i32(2);
    stretch.u32(80).u32(40).u32(120).u32(std::uint32_t(dib.size() - 40));
    stretch.u32(0).u32(0x00CC0020).i32(50).i32(50);
    stretch.raw(dib);
    emf.recordBytes(81, stretch.data());
    return emf.finish();
}

// Text "WW" at the top left in 20-pixel black letters.
QByteArray wmfText()
{
    WmfBuilder wmf(0, 0, 100, 50, 96, 1);
    Bytes font;
    font.i16(-20).i16(0).i16(0).i16(0).i16(700).u8(0).u8(0).u8(0).u8(0).u32(0).raw("Sans");
    font.u8(0);
    wmf.recordBytes(0x02FB, font.data());
    wmf.record(0x012D, {0});
    wmf.record(0x0102, {1}); // transparent background
    wmf.record(0x0521, {2, 'W' | ('W' << 8), 5, 5});
    return wmf.finish();
}

QByteArray emfText()
{
    EmfBuilder emf(0, 0, 2646, 1323, 2);
    Bytes font;
    font.u32(1).i32(-20).i32(0).i32(0).i32(0).i32(700).u8(0).u8(0).u8(0).u8(1).u32(0);
    for (char c : QByteArray("Sans"))
        font.u16(unsigned(c));
    for (int i = 4; i < 32; ++i)
        font.u16(0);
    emf.recordBytes(82, font.data());
    emf.record(37, {1});
    emf.record(18, {1});
    Bytes text;
    text.i32(0).i32(0).i32(100).i32(50).u32(1).u32(0).u32(0); // bounds, mode, scales
    text.i32(5).i32(5).u32(2).u32(76).u32(0).i32(0).i32(0).i32(0).i32(0).u32(0);
    text.u16('W').u16('W');
    emf.recordBytes(84, text.data());
    return emf.finish();
}

bool hasDarkPixel(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 80)
                return true;
    return false;
}

struct Case
{
    const char* name;
    const char* extension;
    QByteArray (*make)();
};

const Case squareAndBitmap[] = {
    {"wmf", "wmf", wmfSquareAndBitmap},
    {"emf", "emf", emfSquareAndBitmap},
    {"upper-case", "EMF", emfSquareAndBitmap},
};

TEST(Metafile, DrawsShapesAndStretchedBitmapsAtTheFrameSize)
{
    for (const Case& c : squareAndBitmap) {
        SCOPED_TRACE(c.name);
        const MapPicture picture = fromBytes(c.make(), c.extension);
        ASSERT_EQ(picture.size(), QSize(100, 50));
        const QImage image = picture.image();
        EXPECT_TRUE(near(image.pixel(25, 25), red));
        EXPECT_TRUE(near(image.pixel(60, 8), green));
        EXPECT_TRUE(near(image.pixel(90, 8), yellow));
        EXPECT_TRUE(near(image.pixel(75, 42), blue));
    }
}

TEST(Metafile, CopiesABitmapPartUnscaled)
{
    // The bottom row of the 2 x 2 bitmap (blue) to 10,10, one to one.
    WmfBuilder wmf(0, 0, 100, 50, 96, 0);
    Bytes copy;
    copy.u16(0).u16(2).u16(0).i16(0).i16(0).i16(1).i16(2).i16(10).i16(10).raw(quadDib());
    wmf.recordBytes(0x0D33, copy.data());
    const QImage image = fromBytes(wmf.finish(), "wmf").image();
    EXPECT_EQ(image.pixel(10, 10), blue);
    EXPECT_EQ(image.pixel(11, 10), blue);
    EXPECT_EQ(image.pixel(10, 11), white);
    EXPECT_EQ(image.pixel(12, 10), white);
}

TEST(Metafile, MapsTheWindowOntoTheFrame)
{
    const QImage image = fromBytes(wmfScaledWindow(), "wmf").image();
    EXPECT_EQ(image.pixel(25, 25), red);
    EXPECT_EQ(image.pixel(75, 25), white);
}

TEST(Metafile, DrawsText)
{
    for (const Case& c : {Case{"wmf", "wmf", wmfText}, Case{"emf", "emf", emfText}}) {
        SCOPED_TRACE(c.name);
        const QImage image = fromBytes(c.make(), c.extension).image();
        EXPECT_TRUE(hasDarkPixel(image, QRect(5, 5, 30, 20)));
        EXPECT_FALSE(hasDarkPixel(image, QRect(60, 30, 40, 20)));
    }
}

// An enhanced-metafile path bracket around `figure`, then filled.
void emfFilledPath(EmfBuilder& e, void (*figure)(EmfBuilder&))
{
    e.record(59, {}); // begin path
    figure(e);
    e.record(61, {}); // close figure
    e.record(60, {}); // end path
    e.record(62, {0, 0, 100, 50});
}

// Points and their type bytes as a 16-bit poly-draw record holds them.
QByteArray polyDraw16(std::initializer_list<std::array<int, 3>> points)
{
    Bytes b;
    b.i32(0).i32(0).i32(100).i32(50).u32(std::uint32_t(points.size()));
    for (const auto& p : points)
        b.i16(p[0]).i16(p[1]);
    for (const auto& p : points)
        b.u8(unsigned(p[2]));
    return b.data();
}

// One shape in a red brush and no pen, as both kinds of metafile record it
// (some only the enhanced kind has).
struct ShapeCase
{
    const char* name;
    void (*wmf)(WmfBuilder&);
    void (*emf)(EmfBuilder&);
    QPoint inside;
    QPoint outside;
};

Bytes shorts(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        b.i16(v);
    return b;
}

const ShapeCase shapes[] = {
    {"ellipse",
     [](WmfBuilder& w) {
         w.record(0x0418, {40, 90, 10, 10});
     },
     [](EmfBuilder& e) {
         e.record(42, {10, 10, 90, 40});
     },
     {50, 25},
     {12, 12}},
    {"polygon",
     [](WmfBuilder& w) {
         w.record(0x0324, {3, 10, 10, 90, 10, 10, 40});
     },
     [](EmfBuilder& e) {
         Bytes b;
         b.i32(10).i32(10).i32(90).i32(40).u32(3).raw(shorts({10, 10, 90, 10, 10, 40}).data());
         e.recordBytes(86, b.data());
     },
     {20, 15},
     {80, 35}},
    {"poly-polygon",
     [](WmfBuilder& w) {
         w.record(0x0538, {2, 4, 4, 5, 5, 30, 5, 30, 30, 5, 30, 60, 20, 90, 20, 90, 45, 60, 45});
     },
     [](EmfBuilder& e) {
         Bytes b;
         b.i32(5).i32(5).i32(90).i32(45).u32(2).u32(8).u32(4).u32(4);
         b.raw(shorts({5, 5, 30, 5, 30, 30, 5, 30, 60, 20, 90, 20, 90, 45, 60, 45}).data());
         e.recordBytes(91, b.data());
     },
     {70, 30},
     {50, 10}},
    {"round rectangle",
     [](WmfBuilder& w) {
         w.record(0x061C, {20, 20, 45, 95, 5, 5});
     },
     [](EmfBuilder& e) {
         e.record(44, {5, 5, 95, 45, 20, 20});
     },
     {50, 25},
     {6, 6}},
    {"pie",
     [](WmfBuilder& w) {
         w.record(0x081A, {5, 50, 25, 90, 45, 90, 5, 10});
     },
     [](EmfBuilder& e) {
         e.record(47, {10, 5, 90, 45, 90, 25, 50, 5});
     },
     {65, 18},
     {35, 35}},
    {"chord",
     [](WmfBuilder& w) {
         w.record(0x0830, {25, 10, 25, 90, 45, 90, 5, 10});
     },
     [](EmfBuilder& e) {
         e.record(46, {10, 5, 90, 45, 90, 25, 10, 25});
     },
     {50, 12},
     {50, 38}},
    {"clockwise chord",
     nullptr,
     [](EmfBuilder& e) {
         e.record(57, {2});
         e.record(46, {10, 5, 90, 45, 90, 25, 10, 25});
     },
     {50, 38},
     {50, 12}},
    {"arc to in a path",
     nullptr,
     [](EmfBuilder& e) {
         emfFilledPath(e, [](EmfBuilder& f) {
             f.record(27, {50, 25});
             f.record(55, {10, 5, 90, 45, 90, 25, 50, 5});
         });
     },
     {65, 18},
     {35, 35}},
    {"angle arc in a path",
     nullptr,
     [](EmfBuilder& e) {
         emfFilledPath(e, [](EmfBuilder& f) {
             f.record(27, {50, 25});
             Bytes b;
             b.i32(50).i32(25).u32(20).u32(0x42b40000).u32(0x42b40000); // 90 and 90 degrees
             f.recordBytes(41, b.data());
         });
     },
     {40, 15},
     {60, 15}},
    {"poly-draw in a path",
     nullptr,
     [](EmfBuilder& e) {
         emfFilledPath(e, [](EmfBuilder& f) {
             f.recordBytes(92, polyDraw16({{10, 10, 6}, {90, 10, 2}, {90, 40, 3}}));
         });
     },
     {70, 20},
     {20, 35}},
};

TEST(Metafile, DrawsEachShapeWhereItsRecordSays)
{
    for (const ShapeCase& c : shapes) {
        SCOPED_TRACE(c.name);
        WmfBuilder wmf(0, 0, 100, 50, 96, 2);
        wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});
        wmf.record(0x012D, {0});
        wmf.record(0x02FA, {5, 0, 0, 0, 0});
        wmf.record(0x012D, {1});
        EmfBuilder emf(0, 0, 2646, 1323, 2);
        emf.record(39, {1, 0, 0x0000FF, 0});
        emf.record(37, {1});
        emf.record(37, {std::int32_t(0x80000008)});
        c.emf(emf);
        std::vector<QImage> images{fromBytes(emf.finish(), "emf").image()};
        if (c.wmf) {
            c.wmf(wmf);
            images.push_back(fromBytes(wmf.finish(), "wmf").image());
        }
        for (const QImage& image : images) {
            EXPECT_TRUE(near(image.pixel(c.inside), red));
            EXPECT_EQ(image.pixel(c.outside), white);
        }
    }
}

TEST(Metafile, FrameSizeFollowsInchAndResolution)
{
    // 2 x 1 inches at 1440 units to the inch, played at 96 dpi.
    WmfBuilder wmf(0, 0, 2880, 1440, 1440, 0);
    const QByteArray bytes = wmf.finish();
    const MetafileRenderer renderer(MetafileRenderer::Kind::Wmf,
                                    reinterpret_cast<const unsigned char*>(bytes.constData()),
                                    std::size_t(bytes.size()), 96);
    EXPECT_EQ(renderer.size(), QSize(192, 96));
    const MetafileRenderer at300(MetafileRenderer::Kind::Wmf,
                                 reinterpret_cast<const unsigned char*>(bytes.constData()),
                                 std::size_t(bytes.size()), 300);
    EXPECT_EQ(at300.size(), QSize(600, 300));
}

TEST(Metafile, RefusesCorruptTruncatedAndOversizedFiles)
{
    for (const Case& c : squareAndBitmap) {
        SCOPED_TRACE(c.name);
        const QByteArray good = c.make();
        EXPECT_THROW(fromBytes(good.left(good.size() / 2), c.extension), Failure);
        EXPECT_THROW(fromBytes(good.left(10), c.extension), Failure);
        QByteArray corrupt = good;
        // The placeable header's key is kept but the record header broken;
        // for the enhanced kind the signature.
        const int at = c.extension[0] == 'w' ? 24 : 40;
        corrupt[at] = 'X';
        corrupt[at + 1] = 'X';
        EXPECT_THROW(fromBytes(corrupt, c.extension), Failure);
    }
    WmfBuilder empty(0, 0, 0, 50, 96, 0);
    EXPECT_THROW(fromBytes(empty.finish(), "wmf"), Failure);
    WmfBuilder huge(-32000, -32000, 32000, 32000, 1, 0);
    EXPECT_THROW(fromBytes(huge.finish(), "wmf"), Failure);
}

TEST(Metafile, SkipsDamagedRecordsAndKeepsWhatCameBefore)
{
    QByteArray bytes = wmfSquareAndBitmap();
    // Make the bitmap's header claim a picture far larger than its bits.
    const qsizetype dib = bytes.indexOf(QByteArray("\x28\0\0\0\x02\0\0\0", 8));
    ASSERT_GT(dib, 0);
    bytes[dib + 4] = char(0x7f);
    bytes[dib + 5] = char(0x7f);
    const QImage image = fromBytes(bytes, "wmf").image();
    EXPECT_TRUE(near(image.pixel(25, 25), red));
    EXPECT_EQ(image.pixel(75, 25), white);
}

// Drawing with a 4-pixel black pen that goes on from where the figures
// leave the current position.
struct StrokeCase
{
    const char* name;
    void (*emf)(EmfBuilder&);
    std::vector<QPoint> dark;
    std::vector<QPoint> light;
};

Bytes angleArc(int x, int y, int radius, std::uint32_t startBits, std::uint32_t sweepBits)
{
    Bytes b;
    b.i32(x).i32(y).u32(std::uint32_t(radius)).u32(startBits).u32(sweepBits);
    return b;
}

const StrokeCase strokes[] = {
    {"angle arc",
     [](EmfBuilder& e) {
         e.record(27, {70, 25});
         e.recordBytes(41, angleArc(50, 25, 20, 0, 0x43340000).data()); // 0 and 180 degrees
         e.record(54, {30, 48});
     },
     {{50, 5}, {30, 40}},
     {{50, 45}, {70, 40}}},
    {"arc to",
     [](EmfBuilder& e) {
         e.record(27, {10, 45});
         e.record(55, {30, 5, 70, 45, 70, 25, 30, 25});
         e.record(54, {30, 48});
     },
     {{40, 35}, {50, 5}, {30, 40}},
     {{50, 45}, {70, 40}}},
    {"clockwise arc to",
     [](EmfBuilder& e) {
         e.record(57, {2});
         e.record(27, {10, 45});
         e.record(55, {30, 5, 70, 45, 70, 25, 30, 25});
         e.record(54, {30, 10});
     },
     {{50, 45}, {30, 15}},
     {{50, 5}}},
    {"poly-draw",
     [](EmfBuilder& e) {
         e.recordBytes(
             92,
             polyDraw16(
                 {{10, 10, 6}, {40, 10, 2}, {40, 40, 3}, {60, 40, 4}, {80, 40, 4}, {90, 40, 4}}));
         e.record(54, {90, 10});
     },
     {{25, 10}, {25, 25}, {65, 40}, {90, 25}},
     {{25, 40}, {60, 25}}},
    {"poly-draw of 32-bit points",
     [](EmfBuilder& e) {
         Bytes b;
         b.i32(0).i32(0).i32(100).i32(50).u32(2);
         b.i32(10).i32(25).i32(90).i32(25).u8(6).u8(2);
         e.recordBytes(56, b.data());
     },
     {{50, 25}},
     {{50, 10}}},
    {"poly-draw with a Bézier short of points draws nothing",
     [](EmfBuilder& e) {
         e.record(27, {10, 10});
         e.recordBytes(92, polyDraw16({{40, 40, 2}, {60, 40, 4}, {80, 40, 4}}));
         e.record(54, {90, 10});
     },
     {{50, 10}},
     {{25, 25}, {70, 40}}},
};

TEST(Metafile, FiguresDrawOnFromTheCurrentPositionAndMoveIt)
{
    for (const StrokeCase& c : strokes) {
        SCOPED_TRACE(c.name);
        EmfBuilder emf(0, 0, 2646, 1323, 2);
        emf.record(38, {1, 0, 4, 0, 0}); // black pen 4 wide
        emf.record(37, {1});
        c.emf(emf);
        const QImage image = fromBytes(emf.finish(), "emf").image();
        for (const QPoint& p : c.dark)
            EXPECT_TRUE(hasDarkPixel(image, QRect(p - QPoint(1, 1), QSize(3, 3))))
                << p.x() << "," << p.y();
        for (const QPoint& p : c.light)
            EXPECT_FALSE(hasDarkPixel(image, QRect(p - QPoint(2, 2), QSize(5, 5))))
                << p.x() << "," << p.y();
    }
}

// Clipping set up by `emf` or `wmf`, then the whole frame filled red.
struct ClipCase
{
    const char* name;
    void (*emf)(EmfBuilder&);
    void (*wmf)(WmfBuilder&);
    std::vector<QPoint> red;
    std::vector<QPoint> white;
};

// A region of device rectangles (left, top, right, bottom) and its mode.
QByteArray region(int mode, std::initializer_list<std::array<int, 4>> rects)
{
    const auto count = std::uint32_t(rects.size());
    Bytes b;
    b.u32(32 + 16 * count).u32(std::uint32_t(mode));
    b.u32(32).u32(1).u32(count).u32(16 * count).i32(0).i32(0).i32(100).i32(50);
    for (const auto& r : rects)
        b.i32(r[0]).i32(r[1]).i32(r[2]).i32(r[3]);
    return b.data();
}

const ClipCase clips[] = {
    {"region",
     [](EmfBuilder& e) {
         e.recordBytes(75, region(5, {{10, 10, 40, 40}}));
     },
     nullptr,
     {{20, 20}, {39, 39}},
     {{60, 20}, {5, 5}, {40, 20}}},
    {"region of two rectangles",
     [](EmfBuilder& e) {
         e.recordBytes(75, region(5, {{0, 0, 20, 50}, {80, 0, 100, 50}}));
     },
     nullptr,
     {{10, 25}, {90, 25}},
     {{50, 25}}},
    {"region and rectangle",
     [](EmfBuilder& e) {
         e.record(30, {0, 0, 500, 500}); // logical: the left half
         e.recordBytes(75, region(1, {{25, 0, 100, 50}}));
     },
     nullptr,
     {{35, 25}},
     {{10, 25}, {75, 25}}},
    {"region or region",
     [](EmfBuilder& e) {
         e.recordBytes(75, region(5, {{0, 0, 20, 50}}));
         e.recordBytes(75, region(2, {{80, 0, 100, 50}}));
     },
     nullptr,
     {{10, 25}, {90, 25}},
     {{50, 25}}},
    {"region xor region",
     [](EmfBuilder& e) {
         e.recordBytes(75, region(5, {{0, 0, 60, 50}}));
         e.recordBytes(75, region(3, {{40, 0, 100, 50}}));
     },
     nullptr,
     {{20, 25}, {80, 25}},
     {{50, 25}}},
    {"region less region",
     [](EmfBuilder& e) {
         e.recordBytes(75, region(5, {{0, 0, 100, 50}}));
         e.recordBytes(75, region(4, {{40, 0, 60, 50}}));
     },
     nullptr,
     {{20, 25}, {80, 25}},
     {{50, 25}}},
    {"excluded rectangle",
     [](EmfBuilder& e) {
         e.record(29, {400, 0, 600, 500});
     },
     nullptr,
     {{20, 25}, {80, 25}},
     {{50, 25}}},
    {"offset region",
     [](EmfBuilder& e) {
         e.recordBytes(75, region(5, {{0, 0, 20, 50}}));
         e.record(26, {600, 0}); // logical
     },
     nullptr,
     {{70, 25}},
     {{10, 25}, {50, 25}}},
    {"region reset",
     [](EmfBuilder& e) {
         e.recordBytes(75, region(5, {{0, 0, 20, 50}}));
         e.record(75, {0, 5});
     },
     nullptr,
     {{10, 25}, {50, 25}},
     {}},
    {"region undone by restoring",
     [](EmfBuilder& e) {
         e.record(33, {});
         e.recordBytes(75, region(5, {{0, 0, 20, 50}}));
         e.record(34, {-1});
     },
     nullptr,
     {{10, 25}, {50, 25}},
     {}},
    {"wmf excluded rectangle",
     nullptr,
     [](WmfBuilder& w) {
         w.record(0x0415, {50, 60, 0, 40});
     },
     {{20, 25}, {80, 25}},
     {{50, 25}}},
    {"wmf offset rectangle",
     nullptr,
     [](WmfBuilder& w) {
         w.record(0x0416, {50, 20, 0, 0});
         w.record(0x0220, {0, 60});
     },
     {{70, 25}},
     {{10, 25}}},
};

TEST(Metafile, ClipsToRegionsAndRectangles)
{
    for (const ClipCase& c : clips) {
        SCOPED_TRACE(c.name);
        QImage image;
        if (c.emf) {
            // Ten logical units to a device unit, so that region rectangles
            // show they are taken in device units.
            EmfBuilder emf(0, 0, 2646, 1323, 2);
            emf.record(17, {8});
            emf.record(9, {1000, 500});
            emf.record(11, {100, 50});
            emf.record(39, {1, 0, 0x0000FF, 0});
            emf.record(37, {1});
            emf.record(37, {std::int32_t(0x80000008)});
            c.emf(emf);
            emf.record(43, {0, 0, 1000, 500});
            image = fromBytes(emf.finish(), "emf").image();
        } else {
            WmfBuilder wmf(0, 0, 100, 50, 96, 2);
            wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});
            wmf.record(0x012D, {0});
            wmf.record(0x02FA, {5, 0, 0, 0, 0});
            wmf.record(0x012D, {1});
            c.wmf(wmf);
            wmf.record(0x041B, {50, 100, 0, 0});
            image = fromBytes(wmf.finish(), "wmf").image();
        }
        for (const QPoint& p : c.red)
            EXPECT_EQ(image.pixel(p), red) << p.x() << "," << p.y();
        for (const QPoint& p : c.white)
            EXPECT_EQ(image.pixel(p), white) << p.x() << "," << p.y();
    }
}

// A device-dependent bitmap of 16-bit metafiles, rows top down.
QByteArray bitmap16(int width, int height, int bitsPixel, const QByteArray& bits,
                    bool pointerField = false)
{
    const int widthBytes = (width * bitsPixel + 15) / 16 * 2;
    Bytes b;
    b.i16(0).i16(width).i16(height).i16(widthBytes).u8(1).u8(unsigned(bitsPixel));
    if (pointerField)
        b.u32(0);
    b.raw(bits);
    return b.data();
}

// 2 x 2 colours in 24 bits: green and yellow on top, blue and red below.
QByteArray bitmap16Colors()
{
    Bytes bits;
    bits.u8(0).u8(255).u8(0).u8(0).u8(255).u8(255);
    bits.u8(255).u8(0).u8(0).u8(0).u8(0).u8(255);
    return bitmap16(2, 2, 24, bits.data());
}

struct BlitCase
{
    const char* name;
    void (*wmf)(WmfBuilder&);
    std::vector<std::pair<QPoint, QRgb>> expected;
};

const BlitCase blits[] = {
    {"monochrome bitmap in the text and background colours",
     [](WmfBuilder& w) {
         w.record(0x0209, {0, 0x00FF}); // text blue
         w.record(0x0201, {0xFFFF, 0}); // background yellow
         Bytes b;
         b.u32(0x00CC0020).i16(0).i16(0).i16(2).i16(2).i16(10).i16(10);
         b.raw(bitmap16(2, 2, 1, QByteArray("\x40\0\x80\0", 4)));
         w.recordBytes(0x0922, b.data());
     },
     {{{10, 10}, blue}, {{11, 10}, yellow}, {{10, 11}, yellow}, {{11, 11}, blue}, {{12, 10}, red}}},
    {"colour bitmap stretched",
     [](WmfBuilder& w) {
         Bytes b;
         b.u32(0x00CC0020).i16(2).i16(2).i16(0).i16(0).i16(50).i16(50).i16(0).i16(50);
         b.raw(bitmap16Colors());
         w.recordBytes(0x0B23, b.data());
     },
     {{{60, 10}, green}, {{90, 10}, yellow}, {{60, 40}, blue}, {{90, 40}, red}, {{25, 25}, red}}},
    {"colour bitmap after a pointer field",
     [](WmfBuilder& w) {
         Bytes bits;
         bits.u8(255).u8(0).u8(0).u8(0).u8(255).u8(0);
         Bytes b;
         b.u32(0x00CC0020).i16(0).i16(0).i16(1).i16(2).i16(10).i16(10);
         b.raw(bitmap16(2, 1, 24, bits.data(), true));
         w.recordBytes(0x0922, b.data());
     },
     {{{10, 10}, blue}, {{11, 10}, green}}},
    {"pattern fill without a bitmap",
     [](WmfBuilder& w) {
         w.record(0x02FC, {0, 0xFF00, 0x0000, 0}); // brush 2: green
         w.record(0x012D, {2});
         Bytes b;
         b.u32(0x00F00021).i16(0).i16(0).i16(0).i16(20).i16(30).i16(10).i16(10);
         w.recordBytes(0x0922, b.data());
     },
     {{{20, 20}, green}, {{39, 29}, green}, {{45, 20}, red}, {{20, 35}, red}}},
    {"stretched fill without a bitmap",
     [](WmfBuilder& w) {
         Bytes b;
         b.u32(0x00000042).i16(7).i16(7).i16(0).i16(0).i16(0).i16(20).i16(30).i16(10).i16(10);
         w.recordBytes(0x0B23, b.data());
     },
     {{{20, 20}, qRgb(0, 0, 0)}, {{45, 20}, red}, {{20, 35}, red}}},
    {"bitmap blit without a bitmap",
     [](WmfBuilder& w) {
         Bytes b;
         b.u32(0x00FF0062).i16(0).i16(0).i16(0).i16(20).i16(30).i16(10).i16(10);
         w.recordBytes(0x0940, b.data());
     },
     {{{20, 20}, white}, {{39, 29}, white}, {{45, 20}, red}, {{20, 35}, red}}},
    {"bitmap stretch without a bitmap",
     [](WmfBuilder& w) {
         Bytes b;
         b.u32(0x00000042).i16(7).i16(7).i16(0).i16(0).i16(0).i16(20).i16(30).i16(10).i16(10);
         w.recordBytes(0x0B41, b.data());
     },
     {{{20, 20}, qRgb(0, 0, 0)}, {{45, 20}, red}, {{20, 35}, red}}},
};

TEST(Metafile, BlitsOldBitmapsAndFillsWithoutOne)
{
    for (const BlitCase& c : blits) {
        SCOPED_TRACE(c.name);
        // On a red ground, so that what a blit leaves shows.
        WmfBuilder wmf(0, 0, 100, 50, 96, 3);
        wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});
        wmf.record(0x012D, {0});
        wmf.record(0x02FA, {5, 0, 0, 0, 0});
        wmf.record(0x012D, {1});
        wmf.record(0x041B, {50, 100, 0, 0});
        c.wmf(wmf);
        const QImage image = fromBytes(wmf.finish(), "wmf").image();
        for (const auto& [p, color] : c.expected)
            EXPECT_TRUE(near(image.pixel(p), color, 8)) << p.x() << "," << p.y();
    }
}

// A bitmap with a plain header, the given masks or colour table, and bits.
struct Dib
{
    QByteArray bytes;
    std::uint32_t bitsAt;
};

Dib dib(int width, int height, int bitCount, std::uint32_t compression, std::uint32_t colorsUsed,
        const QByteArray& table, const QByteArray& bits)
{
    Bytes b;
    b.u32(40).i32(width).i32(height).u16(1).u16(unsigned(bitCount)).u32(compression);
    b.u32(std::uint32_t(bits.size())).i32(3780).i32(3780).u32(colorsUsed).u32(0);
    b.raw(table).raw(bits);
    return {b.data(), std::uint32_t(40 + table.size())};
}

QByteArray rgbTable(std::initializer_list<QRgb> colors)
{
    Bytes b;
    for (QRgb c : colors)
        b.u8(unsigned(qBlue(c))).u8(unsigned(qGreen(c))).u8(unsigned(qRed(c))).u8(0);
    return b.data();
}

QByteArray indexTable(std::initializer_list<unsigned> indices)
{
    Bytes b;
    for (unsigned i : indices)
        b.u16(i);
    return b.data();
}

QByteArray bytes(std::initializer_list<unsigned> values)
{
    Bytes b;
    for (unsigned v : values)
        b.u8(v);
    return b.data();
}

QByteArray words(std::initializer_list<std::uint32_t> values)
{
    Bytes b;
    for (std::uint32_t v : values)
        b.u32(v);
    return b.data();
}

// A bitmap of two rows and what it shows, top row first; drawn over the
// whole frame, with the palette records given before it.
struct DibCase
{
    const char* name;
    Dib (*make)();
    std::uint32_t usage;
    std::vector<std::vector<QRgb>> rows;
    void (*emfPalette)(EmfBuilder&);
    void (*wmfPalette)(WmfBuilder&);
};

const QRgb grey = qRgb(0x80, 0x80, 0x80);

// Yellow and blue as a palette of both metafile kinds.
QByteArray logPalette()
{
    Bytes b;
    b.u16(0x300).u16(2).u8(255).u8(255).u8(0).u8(0).u8(0).u8(0).u8(255).u8(0);
    return b.data();
}

const DibCase dibs[] = {
    {"1-bit",
     [] {
         return dib(2, 2, 1, 0, 0, rgbTable({red, blue}), bytes({0x80, 0, 0, 0, 0x40, 0, 0, 0}));
     },
     0,
     {{red, blue}, {blue, red}},
     nullptr,
     nullptr},
    {"4-bit with three colours",
     [] {
         return dib(2, 2, 4, 0, 3, rgbTable({red, green, blue}),
                    bytes({0x20, 0, 0, 0, 0x01, 0, 0, 0}));
     },
     0,
     {{red, green}, {blue, red}},
     nullptr,
     nullptr},
    {"8-bit",
     [] {
         QByteArray table = rgbTable({qRgb(0, 0, 0)}).repeated(256);
         table.replace(5 * 4, 4, rgbTable({green}));
         table.replace(200 * 4, 4, rgbTable({yellow}));
         return dib(2, 2, 8, 0, 0, table, bytes({200, 5, 0, 0, 5, 200, 0, 0}));
     },
     0,
     {{green, yellow}, {yellow, green}},
     nullptr,
     nullptr},
    {"8-bit run-length coded",
     [] {
         return dib(4, 2, 8, 1, 3, rgbTable({red, green, blue}),
                    bytes({2, 2, 2, 0, 0, 0, 0, 4, 0, 1, 2, 1, 0, 1}));
     },
     0,
     {{red, green, blue, green}, {blue, blue, red, red}},
     nullptr,
     nullptr},
    {"4-bit run-length coded",
     [] {
         return dib(4, 2, 4, 2, 3, rgbTable({red, green, blue}),
                    bytes({4, 0x21, 0, 0, 0, 4, 0x01, 0x20, 0, 1}));
     },
     0,
     {{red, green, blue, red}, {blue, green, blue, green}},
     nullptr,
     nullptr},
    {"16-bit",
     [] {
         return dib(2, 2, 16, 0, 0, {}, words({0x001F7FFF, 0x03E07C00}));
     },
     0,
     {{red, green}, {white, blue}},
     nullptr,
     nullptr},
    {"16-bit bit fields",
     [] {
         return dib(2, 2, 16, 3, 0, words({0xF800, 0x07E0, 0x001F}),
                    words({0x001FFFFF, 0x07E0F800}));
     },
     0,
     {{red, green}, {white, blue}},
     nullptr,
     nullptr},
    {"32-bit bit fields",
     [] {
         return dib(2, 2, 32, 3, 0, words({0x000000FF, 0x0000FF00, 0x00FF0000}),
                    words({0x00FF0000, 0x0000FFFF, 0x000000FF, 0x0000FF00}));
     },
     0,
     {{red, green}, {blue, yellow}},
     nullptr,
     nullptr},
    {"palette indices into the selected palette",
     [] {
         return dib(2, 2, 8, 0, 2, indexTable({1, 0}), bytes({0, 1, 0, 0, 1, 0, 0, 0}));
     },
     1,
     {{yellow, blue}, {blue, yellow}},
     [](EmfBuilder& e) {
         Bytes b;
         b.u32(1).raw(logPalette());
         e.recordBytes(49, b.data());
         e.record(48, {1});
     },
     [](WmfBuilder& w) {
         w.recordBytes(0x00F7, logPalette());
         w.record(0x0234, {0});
     }},
    {"palette indices into the default palette",
     [] {
         return dib(2, 2, 8, 0, 3, indexTable({13, 16, 300}), bytes({2, 0, 0, 0, 0, 1, 0, 0}));
     },
     1,
     {{red, blue}, {grey, red}},
     nullptr,
     nullptr},
    {"palette indices past a damaged palette",
     [] {
         return dib(2, 2, 8, 0, 2, indexTable({13, 16}), bytes({1, 0, 0, 0, 0, 1, 0, 0}));
     },
     1,
     {{red, blue}, {blue, red}},
     [](EmfBuilder& e) {
         Bytes b;
         b.u32(1).u16(0x300).u16(3).u32(0x00FFFF);
         e.recordBytes(49, b.data());
         e.record(48, {1});
     },
     [](WmfBuilder& w) {
         w.recordBytes(0x00F7, Bytes().u16(0x300).u16(3).u32(0x00FFFF).data());
         w.record(0x0234, {0});
     }},
};

TEST(Metafile, DecodesEveryKindOfBitmap)
{
    for (const DibCase& c : dibs) {
        SCOPED_TRACE(c.name);
        const auto [bitmap, bitsAt] = c.make();
        const int width = int(c.rows.front().size());
        EmfBuilder emf(0, 0, 2646, 1323, 2);
        if (c.emfPalette)
            c.emfPalette(emf);
        Bytes stretch;
        stretch.i32(0).i32(0).i32(100).i32(50);
        stretch.i32(0).i32(0).i32(0).i32(0).i32(width).i32(2);
        stretch.u32(80).u32(bitsAt).u32(80 + bitsAt).u32(std::uint32_t(bitmap.size()) - bitsAt);
        stretch.u32(c.usage).u32(0x00CC0020).i32(100).i32(50);
        stretch.raw(bitmap);
        emf.recordBytes(81, stretch.data());

        WmfBuilder wmf(0, 0, 100, 50, 96, 1);
        if (c.wmfPalette)
            c.wmfPalette(wmf);
        Bytes dibStretch;
        dibStretch.u32(0x00CC0020).u16(c.usage).i16(2).i16(width).i16(0).i16(0);
        dibStretch.i16(50).i16(100).i16(0).i16(0).raw(bitmap);
        wmf.recordBytes(0x0F43, dibStretch.data());

        for (const QImage& image :
             {fromBytes(emf.finish(), "emf").image(), fromBytes(wmf.finish(), "wmf").image()}) {
            for (int row = 0; row < 2; ++row) {
                for (int col = 0; col < width; ++col) {
                    const QPoint at((2 * col + 1) * 50 / width, 12 + 25 * row);
                    EXPECT_TRUE(
                        near(image.pixel(at), c.rows[std::size_t(row)][std::size_t(col)], 12))
                        << "pixel " << col << "," << row << " " << std::hex << image.pixel(at);
                }
            }
        }
    }
}

// A damaged record amid drawing that fills the frame red: it is skipped, so
// the frame stays red all over.
struct DamagedCase
{
    const char* name;
    void (*emf)(EmfBuilder&);
    void (*wmf)(WmfBuilder&);
};

void emfRedFrame(EmfBuilder& e)
{
    e.record(43, {0, 0, 100, 50});
}

void wmfRedFrame(WmfBuilder& w)
{
    w.record(0x041B, {50, 100, 0, 0});
}

const DamagedCase damaged[] = {
    {"region counting more rectangles than it holds",
     [](EmfBuilder& e) {
         QByteArray r = region(5, {{0, 0, 20, 50}});
         r[16] = 2;
         e.recordBytes(75, r);
         emfRedFrame(e);
     },
     nullptr},
    {"region header longer than the region",
     [](EmfBuilder& e) {
         QByteArray r = region(5, {{0, 0, 20, 50}});
         r[8] = char(0xe8);
         r[9] = 0x03;
         e.recordBytes(75, r);
         emfRedFrame(e);
     },
     nullptr},
    {"region longer than its record",
     [](EmfBuilder& e) {
         QByteArray r = region(5, {{0, 0, 20, 50}});
         r[1] = 0x10;
         e.recordBytes(75, r);
         emfRedFrame(e);
     },
     nullptr},
    {"excluded rectangle cut short",
     [](EmfBuilder& e) {
         e.record(29, {0, 0});
         emfRedFrame(e);
     },
     [](WmfBuilder& w) {
         w.record(0x0415, {50, 60});
         wmfRedFrame(w);
     }},
    {"poly-draw counting more points than it holds",
     [](EmfBuilder& e) {
         QByteArray r = polyDraw16({{0, 0, 6}, {100, 50, 2}});
         r[18] = 0x10;
         e.recordBytes(92, r);
         emfRedFrame(e);
     },
     nullptr},
    {"old bitmap with fewer rows than it says", nullptr,
     [](WmfBuilder& w) {
         wmfRedFrame(w);
         Bytes b;
         b.u32(0x00CC0020).i16(0).i16(0).i16(40).i16(40).i16(5).i16(5);
         QByteArray bitmap = bitmap16Colors();
         bitmap[4] = 40;
         w.recordBytes(0x0922, b.raw(bitmap).data());
     }},
    {"old bitmap of a depth without colours", nullptr,
     [](WmfBuilder& w) {
         wmfRedFrame(w);
         Bytes b;
         b.u32(0x00CC0020).i16(0).i16(0).i16(40).i16(40).i16(5).i16(5);
         w.recordBytes(0x0922, b.raw(bitmap16(2, 2, 8, QByteArray(4, '\x07'))).data());
     }},
};

TEST(Metafile, SkipsEachDamagedRecordAndDrawsOn)
{
    for (const DamagedCase& c : damaged) {
        SCOPED_TRACE(c.name);
        std::vector<QImage> images;
        if (c.emf) {
            EmfBuilder emf(0, 0, 2646, 1323, 2);
            emf.record(39, {1, 0, 0x0000FF, 0});
            emf.record(37, {1});
            emf.record(37, {std::int32_t(0x80000008)});
            c.emf(emf);
            images.push_back(fromBytes(emf.finish(), "emf").image());
        }
        if (c.wmf) {
            WmfBuilder wmf(0, 0, 100, 50, 96, 2);
            wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});
            wmf.record(0x012D, {0});
            wmf.record(0x02FA, {5, 0, 0, 0, 0});
            wmf.record(0x012D, {1});
            c.wmf(wmf);
            images.push_back(fromBytes(wmf.finish(), "wmf").image());
        }
        for (const QImage& image : images) {
            for (const QPoint p : {QPoint(10, 10), QPoint(20, 20), QPoint(50, 25), QPoint(90, 40)})
                EXPECT_EQ(image.pixel(p), red) << p.x() << "," << p.y();
        }
    }
}

} // namespace
} // namespace kelvora
