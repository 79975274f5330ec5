#include "failure.h"
#include "mappicture.h"
#include "metafilerenderer.h"
#include "testpictures.h"

#include <QImage>
#include <cstdlib>
#include <gtest/gtest.h>

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

// One shape in a red brush and no pen, as both kinds of metafile record it.
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
        c.wmf(wmf);
        EmfBuilder emf(0, 0, 2646, 1323, 2);
        emf.record(39, {1, 0, 0x0000FF, 0});
        emf.record(37, {1});
        emf.record(37, {std::int32_t(0x80000008)});
        c.emf(emf);
        for (const QImage& image :
             {fromBytes(wmf.finish(), "wmf").image(), fromBytes(emf.finish(), "emf").image()}) {
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

} // namespace
} // namespace kelvora
