#include "testpictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace kelvora::test {

QByteArray encodeJpeg(const QImage& source, int quality)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    free(buffer);
    return out;
}

QByteArray encodeCmykJpeg(int width, int height, const unsigned char cmyk[4])
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(std::size_t(width) * 4);
    for (int x = 0; x < width; ++x)
        for (int i = 0; i < 4; ++i)
            row[std::size_t(x) * 4 + std::size_t(i)] = cmyk[i];
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    free(buffer);
    return out;
}

QByteArray encodeWithQt(const QImage& image, const char* format)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.write(image);
    return out;
}

QByteArray encodeGif(int width, int height, const QRgb palette[4], const QByteArray& indices)
{
    Bytes b;
    b.raw("GIF89a").u16(unsigned(width)).u16(unsigned(height)).u8(0x91).u8(0).u8(0);
    for (int i = 0; i < 4; ++i)
        b.u8(unsigned(qRed(palette[i])))
            .u8(unsigned(qGreen(palette[i])))
            .u8(unsigned(qBlue(palette[i])));
    b.u8(0x2c).u16(0).u16(0).u16(unsigned(width)).u16(unsigned(height)).u8(0);
    b.u8(2); // minimum code size
    std::vector<unsigned> codes;
    for (qsizetype i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0)
            codes.push_back(4); // clear
        codes.push_back(unsigned(indices[i]) & 3);
    }
    codes.push_back(5); // end of information
    QByteArray packed;
    unsigned bits = 0, count = 0;
    for (unsigned code : codes) {
        bits |= code << count;
        count += 3;
        while (count >= 8) {
            packed.append(char(bits & 0xff));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0)
        packed.append(char(bits & 0xff));
    for (qsizetype at = 0; at < packed.size(); at += 255) {
        const qsizetype n = std::min<qsizetype>(255, packed.size() - at);
        b.u8(unsigned(n)).raw(packed.mid(at, n));
    }
    b.u8(0).u8(0x3b);
    return b.data();
}

QByteArray packedDib(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int stride = (image.width() * 3 + 3) / 4 * 4;
    Bytes b;
    b.u32(40).i32(image.width()).i32(image.height()).u16(1).u16(24).u32(0);
    b.u32(std::uint32_t(stride * image.height())).i32(3780).i32(3780).u32(0).u32(0);
    for (int y = image.height() - 1; y >= 0; --y) {
        int written = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            b.u8(unsigned(qBlue(p))).u8(unsigned(qGreen(p))).u8(unsigned(qRed(p)));
            written += 3;
        }
        for (; written < stride; ++written)
            b.u8(0);
    }
    return b.data();
}

Bytes& Bytes::u8(unsigned v)
{
    data_.append(char(v & 0xff));
    return *this;
}

Bytes& Bytes::u16(unsigned v)
{
    return u8(v).u8(v >> 8);
}

Bytes& Bytes::u32(std::uint32_t v)
{
    return u16(v & 0xffff).u16(v >> 16);
}

Bytes& Bytes::raw(const QByteArray& bytes)
{
    data_.append(bytes);
    return *this;
}

WmfBuilder::WmfBuilder(int left, int top, int right, int bottom, int inch, int objects)
    : objects_(objects)
{
    placeable_.u32(0x9AC6CDD7).u16(0).i16(left).i16(top).i16(right).i16(bottom).u16(unsigned(inch));
    placeable_.u32(0);
    unsigned checksum = 0;
    const QByteArray& d = placeable_.data();
    for (int i = 0; i < 20; i += 2)
        checksum ^= unsigned(uchar(d[i])) | (unsigned(uchar(d[i + 1])) << 8);
    placeable_.u16(checksum);
}

WmfBuilder& WmfBuilder::record(unsigned function, std::initializer_list<int> params)
{
    Bytes p;
    for (int v : params)
        p.i16(v);
    return recordBytes(function, p.data());
}

WmfBuilder& WmfBuilder::recordBytes(unsigned function, const QByteArray& params)
{
    QByteArray padded = params;
    if (padded.size() % 2)
        padded.append('\0');
    records_.u32(std::uint32_t(3 + padded.size() / 2)).u16(function).raw(padded);
    return *this;
}

QByteArray WmfBuilder::finish()
{
    records_.u32(3).u16(0); // end of file
    Bytes out;
    out.raw(placeable_.data());
    out.u16(1).u16(9).u16(0x0300).u32(std::uint32_t(9 + records_.size() / 2));
    out.u16(unsigned(objects_)).u32(0).u16(0);
    out.raw(records_.data());
    return out.data();
}

EmfBuilder::EmfBuilder(int left, int top, int right, int bottom, int handles)
    : frame_{left, top, right, bottom}, handles_(handles)
{}

EmfBuilder& EmfBuilder::record(std::uint32_t type, std::initializer_list<std::int32_t> params)
{
    Bytes p;
    for (std::int32_t v : params)
        p.i32(v);
    return recordBytes(type, p.data());
}

EmfBuilder& EmfBuilder::recordBytes(std::uint32_t type, const QByteArray& params)
{
    QByteArray padded = params;
    while (padded.size() % 4)
        padded.append('\0');
    records_.u32(type).u32(std::uint32_t(8 + padded.size())).raw(padded);
    ++count_;
    return *this;
}

QByteArray EmfBuilder::finish()
{
    Bytes eof;
    eof.u32(14).u32(20).u32(0).u32(16).u32(20);
    const std::uint32_t total = std::uint32_t(88 + records_.size() + eof.size());
    Bytes out;
    out.u32(1).u32(88);
    out.i32(0).i32(0).i32(frame_[2] * 96 / 2540).i32(frame_[3] * 96 / 2540); // bounds
    out.i32(frame_[0]).i32(frame_[1]).i32(frame_[2]).i32(frame_[3]);
    out.u32(0x464D4520).u32(0x10000).u32(total).u32(std::uint32_t(count_ + 2));
    out.u16(unsigned(handles_)).u16(0).u32(0).u32(0).u32(0);
    out.i32(960).i32(960).i32(254).i32(254);
    out.raw(records_.data()).raw(eof.data());
    return out.data();
}

} // namespace kelvora::test
