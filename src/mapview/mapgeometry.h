#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

namespace kelvora {

// Arithmetic of the map view: rounding, the two coordinate systems, the zoom
// sizes, the target marker's place and the texts built from a map press.

// Rounds to the nearest integer, ties to the even one (0.5 -> 0, 1.5 -> 2),
// saturating at the int range.
int roundHalfEven(long double value);

// Round(a * b / divisor) with the product in 64 bits, so that pictures tens
// of thousands of pixels wide do not overflow. Throws Failure when the
// divisor is 0.
int scaleRounded(std::int64_t a, std::int64_t b, std::int64_t divisor);

// View pixel -> image pixel and back along one axis; `view` is the displayed
// extent and `picture` the picture's native extent. Throw Failure on a zero
// divisor (no picture loaded, or a 0-wide view).
int viewToImage(int view, int pictureExtent, int viewExtent);
int imageToView(int image, int pictureExtent, int viewExtent);

// The displayed sizes of the zoom commands.
QSize zoomHalf(QSize picture);          // Round(w / 2) x Round(h / 2)
QSize zoomThreeQuarters(QSize picture); // Round(w / 4 * 3) x Round(h / 4 * 3)

// Fit: nothing for an empty picture. Compares the picture's aspect with the
// client area's; the taller (or equal) case fits the height to the outer
// height less 4, the other the width to the outer width less 4.
std::optional<QSize> fitSize(QSize picture, QSize client, QSize outer);

// The scroll position that centres view coordinate `v` in a client extent.
int centredPosition(int v, int clientExtent);

// The scroll state of one axis after a go-to.
struct AxisPlacement
{
    int point = 0;    // the point in view pixels
    int client = 0;   // the client extent
    int position = 0; // the scroll position after the clamp
    int range = 0;    // the displayed picture's extent
};

// The marker's top-left along one axis, relative to the client area: 25
// left of the point near the start of the range, from the client's centre
// in between, and from the point again near the end of the range.
int markerOffset(const AxisPlacement& axis);

// "(X-ix)*(X-ix)+(Y-iy)*(Y-iy)<=r2": the points within radius r of (ix, iy).
QString proximityFilterText(int ix, int iy, int radius);

// The question asked before a point is added at (ix, iy).
QString addPointQuestion(int ix, int iy);

// "W x H" and "X x Y" labels.
QString sizeLabel(int width, int height);

// The base file opened with a picture: in the picture's directory when
// `besidePicture`, else in `directoryText`; a blank directory means the
// executable's (`exeDir`, ending in "/"). The name is the picture's file name
// up to the first occurrence of its extension, then ".Lorvet".
QString sameNamedBasePath(const QString& picturePath, bool besidePicture,
                          const QString& directoryText, const QString& exeDir);

// The filter of the open-picture dialog, as pairs "text|patterns|...".
QString openPictureFilter();

} // namespace kelvora
