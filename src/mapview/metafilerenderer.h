#pragma once

#include "bytereader.h"

#include <QRectF>
#include <QSize>

class QPainter;

namespace kelvora {

// A metafile (WMF, with or without its placeable header, or EMF)
// held in memory: its size and the drawing of its records. Records are read
// bounds-checked; records it does not know, or finds damaged, are skipped.
class MetafileRenderer
{
public:
    enum class Kind { Wmf, Emf };

    // Reads the header. `dpi` is the screen resolution the picture size is
    // given at. Throws Failure when the data is not a metafile of `kind`, or
    // its frame is empty or too large. The data must outlive the renderer.
    MetafileRenderer(Kind kind, const unsigned char* data, std::size_t size, double dpi);

    // The frame at the screen resolution, in pixels.
    QSize size() const { return size_; }

    // Plays the records with the frame mapped onto `target`.
    void render(QPainter& painter, const QRectF& target) const;

private:
    Kind kind_;
    ByteReader data_;
    QSize size_;
    QRectF frame_; // in device units of the records
    double unitsPerMmX_ = 96 / 25.4;
    double unitsPerMmY_ = 96 / 25.4;
    std::size_t objects_ = 0;
    std::size_t recordsAt_ = 0;
};

} // namespace kelvora
