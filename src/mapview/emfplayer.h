#pragma once

#include "bytereader.h"

namespace kelvora {

class MetafileContext;

// Plays the records of an enhanced metafile, the header record included.
class EmfPlayer
{
public:
    static void play(ByteReader records, MetafileContext& dc);
};

} // namespace kelvora
