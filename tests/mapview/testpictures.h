#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <initializer_list>

namespace kelvora::test {

// Picture files the tests build themselves.
QByteArray encodeJpeg(const QImage& image, int quality = 95);
// A CMYK JPEG of one colour, the four values stored as given (a file with
// the APP14 marker, as libjpeg writes it, stores them inverted).
QByteArray encodeCmykJpeg(int width, int height, const unsigned char cmyk[4]);
QByteArray encodeWithQt(const QImage& image, const char* format);
// A GIF of up to four colours, LZW-coded with a clear code every two pixels
// so that every code stays three bits wide.
QByteArray encodeGif(int width, int height, const QRgb palette[4], const QByteArray& indices);
// A 24-bit bottom-up device-independent bitmap (header and bits).
QByteArray packedDib(const QImage& image);

// Little-endian byte building.
class Bytes
{
public:
    Bytes& u8(unsigned v);
    Bytes& u16(unsigned v);
    Bytes& i16(int v) { return u16(unsigned(v) & 0xffff); }
    Bytes& u32(std::uint32_t v);
    Bytes& i32(std::int32_t v) { return u32(std::uint32_t(v)); }
    Bytes& raw(const QByteArray& bytes);
    QByteArray& data() { return data_; }
    qsizetype size() const { return data_.size(); }

private:
    QByteArray data_;
};

// A 16-bit metafile with a placeable header: records are added one by one.
class WmfBuilder
{
public:
    WmfBuilder(int left, int top, int right, int bottom, int inch, int objects);
    // Adds a record of `function` with 16-bit parameters.
    WmfBuilder& record(unsigned function, std::initializer_list<int> params);
    WmfBuilder& recordBytes(unsigned function, const QByteArray& params);
    QByteArray finish();

private:
    Bytes placeable_;
    Bytes records_;
    int objects_;
};

// An enhanced metafile; the frame is given in hundredths of a millimetre and
// the reference device has 96 pixels to the inch.
class EmfBuilder
{
public:
    EmfBuilder(int left, int top, int right, int bottom, int handles);
    EmfBuilder& record(std::uint32_t type, std::initializer_list<std::int32_t> params);
    EmfBuilder& recordBytes(std::uint32_t type, const QByteArray& params);
    QByteArray finish();

private:
    Bytes records_;
    int frame_[4];
    int handles_;
    int count_ = 0;
};

} // namespace kelvora::test
