#pragma once

#include "bytereader.h"

#include <QImage>
#include <functional>

namespace kelvora {

// Decodes device-independent bitmaps as metafiles embed them.
class DibDecoder
{
public:
    // The colour of a palette index, for bitmaps whose colour table holds
    // 16-bit indices into the palette of the device instead of colours.
    using PaletteLookup = std::function<QRgb(std::uint32_t)>;

    // A bitmap whose header (with its colour table) and pixel bits are
    // given apart. A null image when they are damaged or too large.
    static QImage decode(ByteReader header, ByteReader bits,
                         const PaletteLookup* palette = nullptr);
    // Whether the header is sound and, for uncompressed bits, `bitsBytes`
    // holds all of them; decodes nothing.
    static bool fits(ByteReader header, std::size_t bitsBytes);
    // A packed bitmap: header, colour table and bits in one range.
    static QImage decodePacked(ByteReader packed, const PaletteLookup* palette = nullptr);
    // A device-dependent bitmap of the 16-bit metafiles: a monochrome one
    // draws its 0 bits in `zero` and its 1 bits in `one`; 24- and 32-bit
    // ones hold colours.
    static QImage decodeBitmap16(ByteReader bitmap, QRgb zero, QRgb one);
};

} // namespace kelvora
