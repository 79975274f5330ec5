#pragma once

#include "rasterpicture.h"

#include <cstddef>
#include <cstdio>

namespace kelvora {

// Decodes a JPEG held in memory straight into one RasterPicture buffer
// (baseline, progressive, grey, RGB and CMYK/YCCK).
class JpegDecoder
{
public:
    // Throws Failure when the data is not a JPEG, is damaged or truncated,
    // or describes a picture that is too large or cannot be allocated.
    static RasterPicture decode(const unsigned char* data, std::size_t size);
    // The same, read from an open file in small pieces: a large map then
    // needs no second buffer the size of its file.
    static RasterPicture decodeFile(std::FILE* file);
};

} // namespace kelvora
