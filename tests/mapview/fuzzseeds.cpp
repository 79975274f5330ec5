// Writes the starting inputs of the metafile and picture fuzzers: small
// well-formed files of every picture type and metafiles that use every
// record the renderer plays, so that mutation starts from deep inside the
// players instead of at their header checks. Each file starts with the byte
// the fuzzer reads to pick the kind or extension.
//
//   kelvora_fuzz_seeds <directory>   writes <directory>/metafile and /picture
#include "testpictures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using kelvora::test::Bytes;
using kelvora::test::EmfBuilder;
using kelvora::test::WmfBuilder;

// The picture fuzzer's extensions, in its order.
enum PictureKind : unsigned char { Bmp, Ico, Gif, Jpg, JpegUpper, Wmf, Emf };

QImage sample(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 40 % 256, y * 60 % 256, (x + y) * 20 % 256));
    return image;
}

// A bottom-up device-independent bitmap of `bits` per pixel with a colour
// table for the palette depths; `compression` 1 is run-length coded 8-bit.
QByteArray dib(int bits, int width, int height, unsigned compression = 0)
{
    const int colours = bits <= 8 ? 1 << bits : 0;
    const int stride = (width * bits + 31) / 32 * 4;
    Bytes pixels;
    if (compression == 1) {
        for (int y = 0; y < height; ++y)
            pixels.u8(unsigned(width)).u8(unsigned(y % colours)).u8(0).u8(0);
        pixels.u8(0).u8(1);
    } else {
        for (int i = 0; i < stride * height; ++i)
            pixels.u8(unsigned(i * 37 % 256));
    }
    Bytes b;
    b.u32(40).i32(width).i32(height).u16(1).u16(unsigned(bits)).u32(compression);
    b.u32(std::uint32_t(pixels.size())).i32(3780).i32(3780).u32(std::uint32_t(colours)).u32(0);
    for (int i = 0; i < colours; ++i)
        b.u8(unsigned(i * 50 % 256)).u8(unsigned(i * 90 % 256)).u8(unsigned(i * 20 % 256)).u8(0);
    b.raw(pixels.data());
    return b.data();
}

std::vector<QByteArray> dibs()
{
    return {kelvora::test::packedDib(sample(3, 2)),
            dib(1, 9, 3),
            dib(4, 5, 3),
            dib(8, 4, 4),
            dib(8, 4, 4, 1),
            dib(16, 3, 3),
            dib(32, 2, 2)};
}

QByteArray wmfFont()
{
    Bytes font;
    font.i16(-12).i16(0).i16(900).i16(0).i16(700).u8(1).u8(1).u8(1).u8(204).u32(0).raw("Sans");
    font.u8(0);
    return font.data();
}

QByteArray wmfEverything()
{
    WmfBuilder w(0, 0, 100, 50, 96, 8);
    w.record(0x001E, {});                      // save
    w.record(0x0102, {1}).record(0x0103, {8}); // background mode, anisotropic
    w.record(0x0104, {13}).record(0x0106, {2}).record(0x0107, {3});
    w.record(0x012E, {24}).record(0x0201, {0x00FF, 0}).record(0x0209, {0, 0x00FF});
    w.record(0x020B, {0, 0}).record(0x020C, {50, 100}).record(0x020D, {0, 0});
    w.record(0x020E, {50, 100}).record(0x020F, {1, 1}).record(0x0211, {1, 1});
    w.record(0x0410, {1, 1, 1, 1}).record(0x0412, {2, 2, 2, 2});
    w.record(0x02FA, {0, 2, 0, 0x00FF, 0}); // pen
    w.record(0x02FC, {2, 0xFF00, 0, 3});    // hatched brush
    w.recordBytes(0x02FB, wmfFont());
    Bytes palette;
    palette.u16(0x0300).u16(2).u32(0x000000FF).u32(0x0000FF00);
    w.recordBytes(0x00F7, palette.data());
    Bytes pattern;
    pattern.u16(5).u16(0).raw(dib(8, 4, 4));
    w.recordBytes(0x0142, pattern.data());
    w.recordBytes(0x06FF, QByteArray(22, '\1'));
    for (int slot = 0; slot < 6; ++slot)
        w.record(0x012D, {slot});
    w.record(0x0035, {});
    w.record(0x0214, {10, 10}).record(0x0213, {20, 30}).record(0x041F, {0x00FF, 0, 5, 5});
    w.record(0x0324, {3, 10, 10, 90, 10, 10, 40}).record(0x0325, {3, 1, 1, 50, 40, 99, 1});
    w.record(0x0538, {2, 3, 3, 5, 5, 30, 5, 30, 30, 60, 20, 90, 20, 90, 45});
    w.record(0x041B, {40, 90, 10, 10}).record(0x0418, {40, 90, 10, 10});
    w.record(0x061C, {20, 20, 45, 95, 5, 5});
    w.record(0x0817, {5, 50, 25, 90, 45, 90, 5, 10}).record(0x081A, {5, 50, 25, 90, 45, 90, 5, 10});
    w.record(0x0830, {25, 10, 25, 90, 45, 90, 5, 10});
    w.record(0x0416, {45, 95, 2, 2}).record(0x0415, {10, 10, 0, 0});
    w.record(0x0521, {2, 'W' | ('a' << 8), 5, 5});
    w.record(0x0A32, {20, 5, 3, 6, 0, 0, 40, 99, 'X' | ('y' << 8), 'z', 4, 4, 4});
    w.record(0x061D, {0x0021, 0x00F0, 10, 10, 0, 0}); // pattern fill
    const std::vector<QByteArray> bitmaps = dibs();
    for (const QByteArray& bitmap : bitmaps) {
        Bytes stretch;
        stretch.u32(0x00CC0020).u16(0).i16(2).i16(2).i16(0).i16(0).i16(20).i16(20).i16(0).i16(50);
        w.recordBytes(0x0F43, stretch.raw(bitmap).data());
    }
    Bytes stretchBlt;
    stretchBlt.u32(0x00CC0020).i16(2).i16(2).i16(0).i16(0).i16(10).i16(10).i16(30).i16(60);
    w.recordBytes(0x0B41, stretchBlt.raw(bitmaps[3]).data());
    Bytes bitBlt;
    bitBlt.u32(0x00CC0020).i16(0).i16(0).i16(2).i16(2).i16(5).i16(70);
    w.recordBytes(0x0940, bitBlt.raw(bitmaps[0]).data());
    Bytes ropOnly;
    ropOnly.u32(0x00550009).i16(0).i16(0).i16(0).i16(8).i16(8).i16(1).i16(1);
    w.recordBytes(0x0940, ropOnly.data());
    Bytes toDevice;
    toDevice.u16(0).u16(2).u16(0).i16(0).i16(0).i16(2).i16(3).i16(40).i16(80);
    w.recordBytes(0x0D33, toDevice.raw(bitmaps[0]).data());
    Bytes bitmap16; // an old blit with a device-dependent bitmap
    bitmap16.u32(0x00CC0020).i16(0).i16(0).i16(2).i16(8).i16(3).i16(3);
    bitmap16.i16(0).i16(8).i16(2).i16(2).u8(1).u8(1).u32(0).u16(0xA5A5).u16(0x5A5A);
    w.recordBytes(0x0922, bitmap16.data());
    w.record(0x01F0, {2}).record(0x0127, {-1});
    return w.finish();
}

QByteArray emfFont()
{
    Bytes font;
    font.u32(3).i32(-14).i32(0).i32(450).i32(0).i32(400).u8(1).u8(0).u8(1).u8(1).u32(0);
    for (char c : QByteArray("Serif"))
        font.u16(unsigned(c));
    for (int i = 5; i < 32; ++i)
        font.u16(0);
    return font.data();
}

QByteArray points32(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        b.i32(v);
    return b.data();
}

QByteArray points16(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        b.i16(v);
    return b.data();
}

QByteArray floats(std::initializer_list<float> values)
{
    Bytes b;
    for (float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        b.u32(bits);
    }
    return b.data();
}

QByteArray emfEverything()
{
    EmfBuilder e(0, 0, 2646, 1323, 8);
    e.record(17, {8}).record(9, {100, 50}).record(10, {0, 0}).record(11, {100, 50});
    e.record(12, {0, 0}).record(31, {1, 1, 1, 1}).record(32, {2, 2, 2, 2});
    e.record(18, {1}).record(19, {2}).record(22, {24}).record(24, {0xFF}).record(25, {0xFF00});
    e.record(33, {});
    Bytes world;
    world.raw(floats({1, 0.1f, 0, 1, 2, 3}));
    e.recordBytes(35, world.data());
    world.u32(4);
    e.recordBytes(36, world.data());
    e.record(38, {1, 1, 2, 0, 0xFF});
    e.record(95, {2, 0, 0, 0, 0, 0x00010000, 3, 0, 0xFF00, 0, 0});
    e.record(39, {3, 0, 0xFF, 0}).record(39, {4, 2, 0xFF0000, 3});
    const QByteArray patternBits = dib(4, 5, 3);
    Bytes pattern;
    pattern.u32(5).u32(0).u32(32).u32(40 + 16 * 4).u32(32 + 40 + 16 * 4);
    pattern.u32(std::uint32_t(patternBits.size() - 40 - 16 * 4)).raw(patternBits);
    e.recordBytes(94, pattern.data());
    e.recordBytes(82, emfFont());
    for (std::int32_t object : {1, 2, 3, 5, 6, std::int32_t(0x80000000), std::int32_t(0x80000005),
                                std::int32_t(0x8000000A)})
        e.record(37, {object});
    e.record(15, {5, 5, 0xFF}).record(27, {1, 1}).record(54, {20, 20});
    e.record(30, {0, 0, 90, 45}).record(75, {0, 5});
    const QByteArray bounds = points32({0, 0, 100, 50});
    for (std::uint32_t type : {2u, 3u, 4u, 5u, 6u}) {
        Bytes b;
        b.raw(bounds).u32(4).raw(points32({10, 10, 90, 10, 50, 40, 10, 30}));
        e.recordBytes(type, b.data());
    }
    for (std::uint32_t type : {85u, 86u, 87u, 88u, 89u}) {
        Bytes b;
        b.raw(bounds).u32(4).raw(points16({10, 10, 90, 10, 50, 40, 10, 30}));
        e.recordBytes(type, b.data());
    }
    for (std::uint32_t type : {7u, 8u}) {
        Bytes b;
        b.raw(bounds).u32(2).u32(6).u32(3).u32(3);
        b.raw(points32({5, 5, 30, 5, 30, 30, 60, 20, 90, 20, 90, 45}));
        e.recordBytes(type, b.data());
    }
    for (std::uint32_t type : {90u, 91u}) {
        Bytes b;
        b.raw(bounds).u32(2).u32(6).u32(3).u32(3);
        b.raw(points16({5, 5, 30, 5, 30, 30, 60, 20, 90, 20, 90, 45}));
        e.recordBytes(type, b.data());
    }
    e.record(43, {10, 10, 90, 40}).record(42, {10, 10, 90, 40}).record(44, {5, 5, 95, 45, 20, 20});
    for (std::uint32_t type : {45u, 46u, 47u})
        e.record(type, {10, 5, 90, 45, 90, 25, 50, 5});
    e.record(59, {}).record(27, {10, 10}).record(54, {50, 40}).record(54, {90, 10});
    e.record(61, {}).record(60, {});
    for (std::uint32_t type : {62u, 63u, 64u})
        e.recordBytes(type, bounds);
    e.record(59, {}).record(54, {1, 1}).record(68, {});
    Bytes textW;
    textW.raw(bounds).u32(1).u32(0).u32(0);
    textW.i32(5).i32(5).u32(3).u32(76).u32(4).raw(points32({0, 0, 60, 20})).u32(0);
    textW.u16(0x0416).u16('b').u16('c').u16(0);
    e.recordBytes(84, textW.data());
    Bytes textA;
    textA.raw(bounds).u32(1).u32(0).u32(0);
    textA.i32(5).i32(25).u32(3).u32(76).u32(0).raw(points32({0, 0, 0, 0})).u32(84);
    textA.raw(QByteArray("\xC0\xE1\xE2\0", 4)).raw(points32({6, 6, 6}));
    e.recordBytes(83, textA.data());
    for (const QByteArray& bitmap : dibs()) {
        const std::uint32_t header = bitmap.at(14) <= 8 ? 40u + (4u << bitmap.at(14)) : 40u;
        Bytes stretch;
        stretch.raw(bounds).i32(50).i32(0).i32(0).i32(0).i32(2).i32(2);
        stretch.u32(80).u32(header).u32(80 + header).u32(std::uint32_t(bitmap.size()) - header);
        stretch.u32(0).u32(0x00CC0020).i32(50).i32(50).raw(bitmap);
        e.recordBytes(81, stretch.data());
        Bytes toDevice;
        toDevice.raw(bounds).i32(60).i32(10).i32(0).i32(0).i32(2).i32(2);
        toDevice.u32(76).u32(header).u32(76 + header).u32(std::uint32_t(bitmap.size()) - header);
        toDevice.u32(0).u32(0).u32(2).raw(bitmap);
        e.recordBytes(80, toDevice.data());
        for (std::uint32_t type : {76u, 77u}) {
            const std::uint32_t at = type == 76 ? 100 : 108;
            Bytes blt;
            blt.raw(bounds).i32(70).i32(20).i32(20).i32(20).u32(0x00CC0020).i32(0).i32(0);
            blt.raw(floats({1, 0, 0, 1, 0, 0})).u32(0xFFFFFF).u32(0);
            blt.u32(at).u32(header).u32(at + header).u32(std::uint32_t(bitmap.size()) - header);
            if (type == 77)
                blt.i32(2).i32(2);
            e.recordBytes(type, blt.raw(bitmap).data());
        }
    }
    Bytes patBlt; // a blit with no source: a fill of the destination
    patBlt.raw(bounds).i32(0).i32(0).i32(10).i32(10).u32(0x00F00021).i32(0).i32(0);
    patBlt.raw(floats({1, 0, 0, 1, 0, 0})).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
    e.recordBytes(76, patBlt.data());
    e.record(40, {2}).record(34, {-1});
    return e.finish();
}

bool write(const QString& path, unsigned char kind, const QByteArray& file)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return out.write(QByteArray(1, char(kind)) + file) == file.size() + 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString metafiles = root + QStringLiteral("/metafile/");
    const QString pictures = root + QStringLiteral("/picture/");
    if (!QDir().mkpath(metafiles) || !QDir().mkpath(pictures))
        return 1;

    const QByteArray wmf = wmfEverything();
    const QByteArray emf = emfEverything();
    const QRgb palette[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)};
    const unsigned char cmyk[4] = {10, 200, 30, 0};
    QImage indexed = sample(6, 5).convertToFormat(QImage::Format_Indexed8);
    QImage alpha = sample(4, 4).convertToFormat(QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(1, 2, 3, 0));

    bool ok = write(metafiles + QStringLiteral("everything.wmf"), 0, wmf) &&
              write(metafiles + QStringLiteral("everything.emf"), 1, emf);
    const struct
    {
        const char* name;
        PictureKind kind;
        QByteArray file;
    } files[] = {
        {"rgb.bmp", Bmp, kelvora::test::encodeWithQt(sample(5, 3), "bmp")},
        {"indexed.bmp", Bmp, kelvora::test::encodeWithQt(indexed, "bmp")},
        {"alpha.ico", Ico, kelvora::test::encodeWithQt(alpha, "ico")},
        {"rgb.ico", Ico, kelvora::test::encodeWithQt(sample(16, 16), "ico")},
        {"four.gif", Gif, kelvora::test::encodeGif(3, 2, palette, QByteArray("\0\1\2\3\2\1", 6))},
        {"rgb.jpg", Jpg, kelvora::test::encodeJpeg(sample(17, 9), 80)},
        {"grey.jpg", Jpg,
         kelvora::test::encodeJpeg(sample(8, 8).convertToFormat(QImage::Format_Grayscale8), 50)},
        {"cmyk.JPEG", JpegUpper, kelvora::test::encodeCmykJpeg(9, 9, cmyk)},
        {"everything.wmf", Wmf, wmf},
        {"everything.emf", Emf, emf},
    };
    for (const auto& f : files)
        ok = ok && !f.file.isEmpty() &&
             write(pictures + QString::fromLatin1(f.name), f.kind, f.file);
    return ok ? 0 : 1;
}
