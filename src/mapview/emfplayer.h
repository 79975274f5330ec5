#pragma once

#include "bytereader.h"

namespace kelvora {

class GdiContext;

// Plays the records of an enhanced metafile, the header record included.
class EmfPlayer
{
public:
    static void play(ByteReader records, GdiContext& gdi);
};

} // namespace kelvora
