#include "dibdecoder.h"

#include "rasterpicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <cstdlib>

namespace kelvora {

namespace {

struct DibInfo
{
    std::uint32_t headerSize = 0;
    qint64 width = 0;
    qint64 height = 0;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::size_t tableBytes = 0; // colour table and masks after the header
};

bool readInfo(ByteReader in, DibInfo& info)
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
    info.tableBytes = std::size_t(colorsUsed) * (info.headerSize == 12 ? 3 : 4);
    // Three colour masks follow a plain header for bit-field bitmaps.
    if (info.headerSize == 40 && (info.compression == 3 || info.compression == 6))
        info.tableBytes += info.compression == 3 ? 12 : 16;
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

QImage build(const unsigned char* header, std::size_t headerBytes, const unsigned char* bits,
             std::size_t bitsBytes)
{
    QByteArray file;
    file.reserve(qsizetype(14 + headerBytes + bitsBytes));
    file.append("BM", 2);
    putU32(file, std::uint32_t(14 + headerBytes + bitsBytes));
    putU32(file, 0);
    putU32(file, std::uint32_t(14 + headerBytes));
    file.append(reinterpret_cast<const char*>(header), qsizetype(headerBytes));
    file.append(reinterpret_cast<const char*>(bits), qsizetype(bitsBytes));
    return readBmp(file);
}

} // namespace

QImage DibDecoder::decode(ByteReader header, ByteReader bits)
{
    DibInfo info;
    if (!header.ok() || !bits.ok() || !readInfo(header, info))
        return {};
    if (header.size() < info.headerSize + info.tableBytes)
        return {};
    if (!bitsFit(info, bits.size()))
        return {};
    return build(header.data(), info.headerSize + info.tableBytes, bits.data(), bits.size());
}

bool DibDecoder::fits(ByteReader header, std::size_t bitsBytes)
{
    DibInfo info;
    return header.ok() && readInfo(header, info) &&
           header.size() >= info.headerSize + info.tableBytes && bitsFit(info, bitsBytes);
}

QImage DibDecoder::decodePacked(ByteReader packed)
{
    DibInfo info;
    if (!packed.ok() || !readInfo(packed, info))
        return {};
    const std::size_t head = info.headerSize + info.tableBytes;
    if (packed.size() < head)
        return {};
    if (!bitsFit(info, packed.size() - head))
        return {};
    return build(packed.data(), head, packed.data() + head, packed.size() - head);
}

} // namespace kelvora
