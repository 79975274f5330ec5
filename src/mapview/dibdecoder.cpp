#include "dibdecoder.h"

#include "rasterpicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kelvora {

namespace {

struct DibInfo
{
    std::uint32_t headerSize = 0;
    qint64 width = 0;
    qint64 height = 0;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::size_t maskBytes = 0;  // colour masks right after the header
    std::size_t colors = 0;     // colour table entries after the masks
    std::size_t entryBytes = 0; // the size of one
    std::size_t tableBytes = 0; // masks and colour table
};

bool readInfo(ByteReader in, DibInfo& info, bool paletteIndices)
{
    info.headerSize = in.u32();
    if (!in.ok())
        return false;
    std::uint32_t colorsUsed = 0;
    if (info.headerSize == 12) {
        info.width = in.u16();
        info.height = in.u16();
        in.u16();
        info.bitCount = in.u16();
    } else if (info.headerSize >= 40 && info.headerSize <= 124) {
        info.width = in.i32();
        info.height = in.i32();
        in.u16();
        info.bitCount = in.u16();
        info.compression = in.u32();
        in.skip(12);
        colorsUsed = in.u32();
    } else {
        return false;
    }
    if (!in.ok() || info.width <= 0 || info.height == 0)
        return false;
    const qint64 h = std::llabs(info.height);
    if (info.width * h > RasterPicture::maxPixels)
        return false;
    switch (info.bitCount) {
    case 1:
    case 4:
    case 8:
        if (colorsUsed == 0 || colorsUsed > (1u << info.bitCount))
            colorsUsed = 1u << info.bitCount;
        break;
    case 16:
    case 24:
    case 32:
        if (colorsUsed > 256)
            return false;
        break;
    default:
        return false;
    }
    info.colors = colorsUsed;
    info.entryBytes = paletteIndices ? 2 : info.headerSize == 12 ? 3 : 4;
    // Three colour masks follow a plain header for bit-field bitmaps.
    if (info.headerSize == 40 && (info.compression == 3 || info.compression == 6))
        info.maskBytes = info.compression == 3 ? 12 : 16;
    info.tableBytes = info.maskBytes + info.colors * info.entryBytes;
    return true;
}

qint64 rawBitsBytes(const DibInfo& info)
{
    return (info.width * info.bitCount + 31) / 32 * 4 * std::llabs(info.height);
}

// Uncompressed bits must all be present; compressed ones may not claim more
// pixels than a run-length code could plausibly expand its bytes to, so that
// a few bytes cannot make us allocate a huge bitmap.
bool bitsFit(const DibInfo& info, std::size_t bitsBytes)
{
    if (info.compression == 0 || info.compression == 3 || info.compression == 6)
        return qint64(bitsBytes) >= rawBitsBytes(info);
    const qint64 pixels = info.width * std::llabs(info.height);
    return pixels <= std::max<qint64>(qint64(1) << 20, qint64(bitsBytes) * 1024);
}

QImage readBmp(const QByteArray& file)
{
    QByteArray bytes = file;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    RasterPicture::allowLargeQtImages();
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    return image;
}

void putU16(QByteArray& out, std::uint32_t v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

void putU32(QByteArray& out, std::uint32_t v)
{
    putU16(out, v & 0xffff);
    putU16(out, v >> 16);
}

// The header, masks and colour table as a bitmap file holds them: palette
// indices become the palette's colours. `header` holds all of them.
QByteArray fileHeader(ByteReader header, const DibInfo& info,
                      const DibDecoder::PaletteLookup* palette)
{
    const char* bytes = reinterpret_cast<const char*>(header.data());
    if (!palette)
        return QByteArray(bytes, qsizetype(info.tableBytes + info.headerSize));
    QByteArray out(bytes, qsizetype(info.headerSize + info.maskBytes));
    header.seek(info.headerSize + info.maskBytes);
    for (std::size_t i = 0; i < info.colors; ++i) {
        const QRgb color = (*palette)(header.u16());
        out.append(char(qBlue(color)));
        out.append(char(qGreen(color)));
        out.append(char(qRed(color)));
        if (info.headerSize != 12)
            out.append('\0');
    }
    return out;
}

QImage build(const QByteArray& header, const unsigned char* bits, std::size_t bitsBytes)
{
    const std::size_t headerBytes = std::size_t(header.size());
    QByteArray file;
    file.reserve(qsizetype(14 + headerBytes + bitsBytes));
    file.append("BM", 2);
    putU32(file, std::uint32_t(14 + headerBytes + bitsBytes));
    putU32(file, 0);
    putU32(file, std::uint32_t(14 + headerBytes));
    file.append(header);
    file.append(reinterpret_cast<const char*>(bits), qsizetype(bitsBytes));
    return readBmp(file);
}

} // namespace

QImage DibDecoder::decode(ByteReader header, ByteReader bits, const PaletteLookup* palette)
{
    DibInfo info;
    if (!header.ok() || !bits.ok() || !readInfo(header, info, palette != nullptr))
        return {};
    if (header.size() < info.headerSize + info.tableBytes)
        return {};
    if (!bitsFit(info, bits.size()))
        return {};
    return build(fileHeader(header, info, palette), bits.data(), bits.size());
}

bool DibDecoder::fits(ByteReader header, std::size_t bitsBytes)
{
    DibInfo info;
    return header.ok() && readInfo(header, info, false) &&
           header.size() >= info.headerSize + info.tableBytes && bitsFit(info, bitsBytes);
}

QImage DibDecoder::decodePacked(ByteReader packed, const PaletteLookup* palette)
{
    DibInfo info;
    if (!packed.ok() || !readInfo(packed, info, palette != nullptr))
        return {};
    const std::size_t head = info.headerSize + info.tableBytes;
    if (packed.size() < head)
        return {};
    return decode(packed.slice(0, head), packed.slice(head, packed.size() - head), palette);
}

QImage DibDecoder::decodeBitmap16(ByteReader in, QRgb zero, QRgb one)
{
    in.i16(); // type
    const qint64 width = in.i16(), height = in.i16(), widthBytes = in.i16();
    const int planes = in.u8(), bitsPixel = in.u8();
    if (!in.ok() || width <= 0 || height <= 0 || planes != 1 ||
        (bitsPixel != 1 && bitsPixel != 24 && bitsPixel != 32))
        return {};
    if (widthBytes < (width * bitsPixel + 7) / 8 || width * height > RasterPicture::maxPixels)
        return {};
    const std::size_t bytes = std::size_t(widthBytes * height);
    // Some writers keep the structure's 4-byte pointer field ahead of the
    // bits.
    if (in.remaining() == bytes + 4)
        in.skip(4);
    if (!in.has(bytes))
        return {};
    QImage image(int(width), int(height),
                 bitsPixel == 1 ? QImage::Format_Mono : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const unsigned char* row = in.data() + in.pos();
    const int step = bitsPixel / 8;
    for (int y = 0; y < image.height(); ++y, row += widthBytes) {
        if (bitsPixel == 1) {
            std::memcpy(image.scanLine(y), row, std::size_t(width + 7) / 8);
            continue;
        }
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const unsigned char* p = row + x * step;
            out[x] = qRgb(p[2], p[1], p[0]);
        }
    }
    if (bitsPixel == 1)
        image.setColorTable({zero, one});
    return image;
}

} // namespace kelvora
