#include "failure.h"
#include "mappicture.h"
#include "testpictures.h"

#include <QImage>
#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace kelvora {
namespace {

using test::Bytes;
using test::EmfBuilder;
using test::WmfBuilder;

QImage checker()
{
    QImage image(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

QByteArray gif()
{
    const QRgb palette[4] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(0, 0, 0)};
    QByteArray indices;
    for (int i = 0; i < 256; ++i)
        indices.append(char(i % 3));
    return test::encodeGif(16, 16, palette, indices);
}

QByteArray wmf()
{
    WmfBuilder file(0, 0, 100, 100, 96, 0);
    file.record(0x041B, {80, 80, 10, 10}); // a rectangle
    file.record(0x041B, {90, 90, 50, 50});
    return file.finish();
}

QByteArray emf()
{
    EmfBuilder file(0, 0, 2646, 2646, 1);
    file.record(43, {10, 10, 80, 80}); // a rectangle
    file.record(43, {50, 50, 90, 90});
    return file.finish();
}

struct Type
{
    const char* extension;
    std::function<QByteArray()> make;
};

const Type types[] = {
    {"bmp",
     [] {
         return test::encodeWithQt(checker(), "bmp");
     }},
    {"ico",
     [] {
         return test::encodeWithQt(checker(), "ico");
     }},
    {"gif", gif},
    {"jpg",
     [] {
         return test::encodeJpeg(checker());
     }},
    {"jpeg",
     [] {
         return test::encodeJpeg(checker(), 50);
     }},
    {"wmf", wmf},
    {"emf", emf},
};

// A load of damaged bytes either throws Failure or gives a whole picture;
// anything else (another exception, an empty picture) is a fault.
::testing::AssertionResult failsCleanly(const QByteArray& bytes, const char* extension)
{
    try {
        const MapPicture picture =
            MapPicture::fromData(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                 std::size_t(bytes.size()), QString::fromLatin1(extension));
        if (picture.isNull() || picture.size().isEmpty() || picture.image().isNull())
            return ::testing::AssertionFailure() << "an empty picture was accepted";
        if (picture.image().size() != picture.size())
            return ::testing::AssertionFailure() << "pixels and size disagree";
        return ::testing::AssertionSuccess();
    } catch (const Failure&) {
        return ::testing::AssertionSuccess();
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "unexpected exception: " << e.what();
    }
}

class BadPicture : public ::testing::TestWithParam<Type>
{
};

TEST_P(BadPicture, TheIntactFileLoads)
{
    const QByteArray good = GetParam().make();
    const MapPicture picture =
        MapPicture::fromData(reinterpret_cast<const unsigned char*>(good.constData()),
                             std::size_t(good.size()), QString::fromLatin1(GetParam().extension));
    EXPECT_FALSE(picture.size().isEmpty());
}

TEST_P(BadPicture, TruncatedAtEveryOffset)
{
    const QByteArray good = GetParam().make();
    for (qsizetype cut = 0; cut < good.size(); ++cut)
        EXPECT_TRUE(failsCleanly(good.left(cut), GetParam().extension)) << "cut at " << cut;
}

TEST_P(BadPicture, RandomByteFlips)
{
    const QByteArray good = GetParam().make();
    std::mt19937 random(20261210);
    for (int round = 0; round < 400; ++round) {
        QByteArray bad = good;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i)
            bad[qsizetype(random() % std::uint32_t(bad.size()))] = char(random() & 0xff);
        EXPECT_TRUE(failsCleanly(bad, GetParam().extension)) << "round " << round;
    }
}

TEST_P(BadPicture, JunkAndEmptyFilesFail)
{
    std::mt19937 random(7);
    QByteArray junk(4096, '\0');
    for (char& c : junk)
        c = char(random() & 0xff);
    for (const QByteArray& bytes : {QByteArray(), QByteArray(1, '\0'), junk}) {
        EXPECT_THROW(MapPicture::fromData(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                          std::size_t(bytes.size()),
                                          QString::fromLatin1(GetParam().extension)),
                     Failure);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryType, BadPicture, ::testing::ValuesIn(types),
                         [](const auto& info) { return std::string(info.param.extension); });

void putLe32(QByteArray& bytes, qsizetype at, std::uint32_t value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void putBe16(QByteArray& bytes, qsizetype at, std::uint16_t value)
{
    qToBigEndian(value, bytes.data() + at);
}

// Headers that claim a huge picture are refused before the pixels are
// allocated, with a Failure like any picture that cannot be decoded.
TEST(HugePicture, HeadersClaimingHugeSizesFailLikeUndecodablePictures)
{
    QByteArray bmp = test::encodeWithQt(checker(), "bmp");
    putLe32(bmp, 18, 100000);
    putLe32(bmp, 22, 100000);

    QByteArray jpeg = test::encodeJpeg(checker());
    const qsizetype sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
    ASSERT_GT(sof, 0);
    putBe16(jpeg, sof + 5, 65535); // the most a frame header holds
    putBe16(jpeg, sof + 7, 65535);

    QByteArray gifBytes = gif();
    for (qsizetype at : {6, 8}) // the logical screen
        qToLittleEndian(std::uint16_t(65535), gifBytes.data() + at);
    const qsizetype descriptor = gifBytes.indexOf(',');
    ASSERT_GT(descriptor, 0);
    for (qsizetype at : {5, 7}) // the image's own size
        qToLittleEndian(std::uint16_t(65535), gifBytes.data() + descriptor + at);

    // 100000 pixels at 96 to the inch, in hundredths of a millimetre.
    const int hundredths = 100000 * 2540 / 96;
    EmfBuilder emfFile(0, 0, hundredths, hundredths, 1);
    emfFile.record(43, {10, 10, 80, 80});
    WmfBuilder wmfFile(0, 0, 30000, 30000, 28, 0); // 30000 units at 28 to the inch: 100000 pixels
    wmfFile.record(0x041B, {80, 80, 10, 10});

    const struct
    {
        const char* extension;
        QByteArray bytes;
    } cases[] = {
        {"bmp", bmp},
        {"jpg", jpeg},
        {"gif", gifBytes},
        {"emf", emfFile.finish()},
        {"wmf", wmfFile.finish()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extension);
        EXPECT_THROW(MapPicture::fromData(reinterpret_cast<const unsigned char*>(c.bytes.data()),
                                          std::size_t(c.bytes.size()),
                                          QString::fromLatin1(c.extension)),
                     Failure);
    }
}

} // namespace
} // namespace kelvora
