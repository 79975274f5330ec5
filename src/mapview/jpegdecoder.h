#pragma once

#include "rasterpicture.h"

#include <cstddef>

namespace kelvora {

// Decodes a JPEG held in memory straight into one RasterPicture buffer
// (baseline, progressive, grey, RGB and CMYK/YCCK).
class JpegDecoder
{
public:
    // Throws Failure when the data is not a JPEG, is damaged or truncated,
    // or describes a picture that is too large or cannot be allocated.
    static RasterPicture decode(const unsigned char* data, std::size_t size);
};

} // namespace kelvora
