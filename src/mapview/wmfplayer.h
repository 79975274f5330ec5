#pragma once

#include "bytereader.h"

#include <QRectF>

namespace kelvora {

class MetafileContext;

// Plays the records of a 16-bit metafile (WMF).
class WmfPlayer
{
public:
    // The first window origin and extent set by the records, as the frame of
    // a file without a placeable header; an empty rectangle when there is
    // none.
    static QRectF windowFrame(ByteReader records);
    static void play(ByteReader records, MetafileContext& dc);
};

} // namespace kelvora
