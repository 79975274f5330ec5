#pragma once

#include "bytereader.h"

#include <QImage>

namespace kelvora {

// Decodes device-independent bitmaps as metafiles embed them.
class DibDecoder
{
public:
    // A bitmap whose header (with its colour table) and pixel bits are
    // given apart. A null image when they are damaged or too large.
    static QImage decode(ByteReader header, ByteReader bits);
    // Whether the header is sound and, for uncompressed bits, `bitsBytes`
    // holds all of them; decodes nothing.
    static bool fits(ByteReader header, std::size_t bitsBytes);
    // A packed bitmap: header, colour table and bits in one range.
    static QImage decodePacked(ByteReader packed);
};

} // namespace kelvora
