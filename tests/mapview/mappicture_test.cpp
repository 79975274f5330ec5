#include "failure.h"
#include "mappicture.h"
#include "rasterpicture.h"
#include "testpictures.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

using test::encodeGif;
using test::encodeJpeg;
using test::encodeWithQt;

const QRgb red = qRgb(255, 0, 0);
const QRgb blue = qRgb(0, 0, 255);

// 16 x 16, red on the left half and blue on the right.
QImage halves()
{
    QImage image(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, x < 8 ? red : blue);
    return image;
}

QByteArray gifHalves()
{
    const QRgb palette[4] = {red, blue, qRgb(0, 255, 0), qRgb(255, 255, 255)};
    QByteArray indices;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            indices.append(char(x < 8 ? 0 : 1));
    return encodeGif(16, 16, palette, indices);
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

struct Fixture
{
    const char* extension;
    std::function<QByteArray()> make;
    int tolerance;
};

const Fixture rasterFixtures[] = {
    {"bmp", [] { return encodeWithQt(halves(), "bmp"); }, 0},
    {"ico", [] { return encodeWithQt(halves(), "ico"); }, 0},
    {"gif", gifHalves, 0},
    {"jpg", [] { return encodeJpeg(halves()); }, 12},
    {"jpeg", [] { return encodeJpeg(halves()); }, 12},
};

class MapPictureTest : public ::testing::Test
{
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir dir_;
};

TEST_F(MapPictureTest, DecodesEveryRasterTypeByItsExtension)
{
    for (const Fixture& f : rasterFixtures) {
        SCOPED_TRACE(f.extension);
        const QByteArray bytes = f.make();
        ASSERT_FALSE(bytes.isEmpty());
        const MapPicture picture =
            MapPicture::load(write(QStringLiteral("map.") + f.extension, bytes));
        EXPECT_EQ(picture.size(), QSize(16, 16));
        const QImage image = picture.image();
        EXPECT_TRUE(near(image.pixel(2, 3), red, f.tolerance));
        EXPECT_TRUE(near(image.pixel(13, 12), blue, f.tolerance));
    }
}

TEST_F(MapPictureTest, ExtensionIsCaseInsensitive)
{
    const MapPicture jpg = MapPicture::load(write(QStringLiteral("MAP.JPG"), encodeJpeg(halves())));
    EXPECT_EQ(jpg.size(), QSize(16, 16));
    const MapPicture gif = MapPicture::load(write(QStringLiteral("map.Gif"), gifHalves()));
    EXPECT_EQ(gif.size(), QSize(16, 16));
}

TEST_F(MapPictureTest, RefusesCorruptAndTruncatedFiles)
{
    for (const Fixture& f : rasterFixtures) {
        SCOPED_TRACE(f.extension);
        const QByteArray good = f.make();
        QByteArray corrupt = good;
        for (int i = 0; i < 8; ++i)
            corrupt[i] = 'X';
        EXPECT_THROW(MapPicture::load(write(QStringLiteral("corrupt.") + f.extension, corrupt)),
                     Failure);
        const QByteArray truncated = good.left(good.size() / 2);
        EXPECT_THROW(MapPicture::load(write(QStringLiteral("short.") + f.extension, truncated)),
                     Failure);
    }
}

TEST_F(MapPictureTest, RefusesUnknownExtensionEmptyAndMissingFiles)
{
    const QByteArray jpeg = encodeJpeg(halves());
    EXPECT_THROW(MapPicture::load(write(QStringLiteral("map.txt"), jpeg)), Failure);
    EXPECT_THROW(MapPicture::load(write(QStringLiteral("map"), jpeg)), Failure);
    EXPECT_THROW(MapPicture::load(write(QStringLiteral("empty.jpg"), QByteArray())), Failure);
    EXPECT_THROW(MapPicture::load(dir_.filePath(QStringLiteral("missing.jpg"))), Failure);
}

TEST_F(MapPictureTest, DecoderFollowsTheExtensionNotTheContent)
{
    EXPECT_THROW(MapPicture::load(write(QStringLiteral("map.bmp"), encodeJpeg(halves()))), Failure);
    EXPECT_THROW(MapPicture::load(write(QStringLiteral("map.jpg"), gifHalves())), Failure);
}

TEST_F(MapPictureTest, RefusesJpegLargerThanTheBoundWithoutAllocating)
{
    QByteArray jpeg = encodeJpeg(halves());
    // Patch the frame header to 60000 x 60000.
    const qsizetype sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
    ASSERT_GT(sof, 0);
    for (int i : {5, 7}) {
        jpeg[sof + i] = char(60000 >> 8);
        jpeg[sof + i + 1] = char(60000 & 0xff);
    }
    EXPECT_THROW(MapPicture::fromData(reinterpret_cast<const unsigned char*>(jpeg.constData()),
                                      std::size_t(jpeg.size()), QStringLiteral("jpg")),
                 Failure);
}

TEST_F(MapPictureTest, DecodesGreyJpeg)
{
    QImage grey(16, 8, QImage::Format_Grayscale8);
    grey.fill(200);
    const QImage rgb = grey.convertToFormat(QImage::Format_RGB32);
    const QByteArray bytes = encodeJpeg(rgb);
    const MapPicture picture =
        MapPicture::fromData(reinterpret_cast<const unsigned char*>(bytes.constData()),
                             std::size_t(bytes.size()), QStringLiteral("jpeg"));
    EXPECT_EQ(picture.size(), QSize(16, 8));
    EXPECT_TRUE(near(picture.image().pixel(5, 5), qRgb(200, 200, 200), 3));
}

TEST_F(MapPictureTest, DecodesInvertedCmykJpeg)
{
    // Red: no cyan, full magenta and yellow, no black; stored inverted.
    const unsigned char inverted[4] = {255, 0, 0, 255};
    const QByteArray bytes = test::encodeCmykJpeg(16, 8, inverted);
    const MapPicture picture = MapPicture::load(write(QStringLiteral("cmyk.jpg"), bytes));
    EXPECT_EQ(picture.size(), QSize(16, 8));
    EXPECT_TRUE(near(picture.image().pixel(4, 4), red, 6));
}

TEST(MapPictureEmpty, IsZeroSizedAndDrawsNothing)
{
    const MapPicture empty;
    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(empty.size(), QSize(0, 0));
    QImage target(4, 4, QImage::Format_RGB32);
    target.fill(Qt::green);
    QPainter painter(&target);
    empty.draw(painter, QRectF(0, 0, 4, 4), QRectF(0, 0, 4, 4));
    painter.end();
    EXPECT_EQ(target.pixel(1, 1), qRgb(0, 255, 0));
}

// Every fourth column white, the rest black.
RasterPicture stripes(int width, int height)
{
    RasterPicture picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.image().setPixel(x, y, x % 4 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return picture;
}

TEST(RasterPictureDraw, DrawsTheSourceRectangleAtFullSize)
{
    RasterPicture picture(40, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            picture.image().setPixel(x, y, qRgb(x * 6, y * 6, 0));
    QImage target(20, 20, QImage::Format_RGB32);
    target.fill(Qt::black);
    QPainter painter(&target);
    picture.draw(painter, QRectF(0, 0, 20, 20), QRectF(10, 15, 20, 20));
    painter.end();
    EXPECT_EQ(target.pixel(0, 0), qRgb(60, 90, 0));
    EXPECT_EQ(target.pixel(19, 19), qRgb(29 * 6, 34 * 6, 0));
}

TEST(RasterPictureDraw, SmallZoomsAverageFromAReducedCopy)
{
    const RasterPicture picture = stripes(64, 64);
    QImage target(16, 16, QImage::Format_RGB32);
    QPainter painter(&target);
    picture.draw(painter, QRectF(0, 0, 16, 16), QRectF(0, 0, 64, 64));
    painter.end();
    // A quarter of each 4 x 4 block is white.
    const int grey = qRed(target.pixel(8, 8));
    EXPECT_NEAR(grey, 64, 3);
    const QImage* quarter = picture.reduced(4);
    ASSERT_NE(quarter, nullptr);
    EXPECT_EQ(quarter->size(), QSize(16, 16));
    EXPECT_EQ(picture.reduced(4), quarter); // built once
}

TEST(RasterPictureDraw, HalfZoomAveragesPairs)
{
    RasterPicture picture(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            picture.image().setPixel(x, y, (x + y) % 2 ? qRgb(200, 200, 200) : qRgb(0, 0, 0));
    QImage target(4, 4, QImage::Format_RGB32);
    QPainter painter(&target);
    picture.draw(painter, QRectF(0, 0, 4, 4), QRectF(0, 0, 8, 8));
    painter.end();
    EXPECT_NEAR(qRed(target.pixel(1, 1)), 100, 8);
}

TEST(RasterPictureSize, RefusesEmptyAndOversizedPictures)
{
    EXPECT_THROW(RasterPicture(0, 10, QImage::Format_RGB32), Failure);
    EXPECT_THROW(RasterPicture(65536, 65536, QImage::Format_RGB32), Failure);
}

} // namespace
} // namespace kelvora
