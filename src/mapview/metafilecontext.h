#pragma once

#include "bytereader.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRegion>
#include <QTransform>
#include <cstdint>
#include <vector>

class QPainter;

namespace kelvora {

// The drawing state a metafile changes record by record (mapping, objects,
// colours, current position, path) and the drawing calls both metafile kinds
// share, in logical coordinates, onto a QPainter.
class MetafileContext
{
public:
    enum MapMode {
        Text = 1,
        LoMetric,
        HiMetric,
        LoEnglish,
        HiEnglish,
        Twips,
        Isotropic,
        Anisotropic
    };

    struct Object
    {
        enum Type { None, Pen, Brush, Font, Palette, Other } type = None;
        QPen pen;
        QBrush brush;
        QFont font;
        double fontHeight = 0; // logical units, cell height when negative
        double escapement = 0; // tenths of a degree
        int charset = 1;
        QList<QRgb> colors; // a palette's entries
    };

    // How a new clipping area combines with the one there is.
    enum ClipMode { ClipAnd = 1, ClipOr, ClipXor, ClipDiff, ClipCopy };

    // `deviceToTarget` maps device units to painter coordinates;
    // `deviceUnitsPerMm` gives the fixed mapping modes their scale.
    MetafileContext(QPainter& painter, const QTransform& deviceToTarget, double deviceUnitsPerMmX,
                    double deviceUnitsPerMmY, std::size_t objectSlots);
    ~MetafileContext();
    MetafileContext(const MetafileContext&) = delete;
    MetafileContext& operator=(const MetafileContext&) = delete;

    static QColor colorRef(std::uint32_t value);
    static QPen makePen(std::uint32_t style, double width, QColor color);
    static QBrush makeBrush(std::uint32_t style, QColor color, std::uint32_t hatch);
    static Object makeFont(double height, double escapement, int weight, bool italic,
                           bool underline, bool strikeOut, int charset, const QString& face);
    // A palette from the structure both metafile kinds store (version,
    // count, then red, green, blue and flags for each entry); an object of
    // no type when it is damaged.
    static Object readPalette(ByteReader logPalette);

    // Objects: WMF takes the lowest free slot, EMF names the slot.
    void addObject(const Object& object);
    void setObject(std::uint32_t index, const Object& object);
    void selectObject(std::uint32_t index);
    void selectStock(std::uint32_t id);
    // Palettes are selected apart from the other objects.
    void selectPalette(std::uint32_t index);
    void selectDefaultPalette();
    // The selected palette's colour at `index`, for bitmaps whose colour
    // table holds palette indices.
    QRgb paletteColor(std::uint32_t index) const;
    void deleteObject(std::uint32_t index);

    // Mapping.
    void setMapMode(int mode);
    void setWindowOrg(double x, double y);
    void setWindowExt(double x, double y);
    void setViewportOrg(double x, double y);
    void setViewportExt(double x, double y);
    void offsetWindowOrg(double dx, double dy);
    void offsetViewportOrg(double dx, double dy);
    void scaleWindowExt(double xNum, double xDen, double yNum, double yDen);
    void scaleViewportExt(double xNum, double xDen, double yNum, double yDen);
    void setWorldTransform(const QTransform& world);
    void modifyWorldTransform(const QTransform& xform, std::uint32_t mode);

    // Simple state.
    void setTextColor(QColor color) { state_.textColor = color; }
    void setBkColor(QColor color) { state_.bkColor = color; }
    void setBkMode(int mode) { state_.bkOpaque = mode == 2; }
    void setTextAlign(std::uint32_t align) { state_.textAlign = align; }
    void setPolyFillMode(int mode) { state_.winding = mode == 2; }
    void setArcDirection(int direction) { state_.clockwise = direction == 2; }
    QColor textColor() const { return state_.textColor; }
    QColor bkColor() const { return state_.bkColor; }
    void save();
    void restore(int which);

    // Clipping: rectangles and offsets in logical units, regions in device
    // units.
    void intersectClip(const QRectF& rect);
    void excludeClip(const QRectF& rect);
    void offsetClip(double dx, double dy);
    void selectClipRegion(const std::vector<QRectF>& deviceRects, int mode);
    void resetClip();

    // Drawing.
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    QPointF currentPosition() const { return state_.position; }
    void polyline(const QPolygonF& points);
    void polylineTo(const QPolygonF& points);
    void polygon(const QPolygonF& points);
    void polyPolygon(const std::vector<QPolygonF>& polygons);
    void polyBezier(const QPolygonF& points, bool fromCurrent);
    void rectangle(const QRectF& rect);
    void roundRect(const QRectF& rect, double width, double height);
    void ellipse(const QRectF& rect);
    enum class ArcKind { Arc, Chord, Pie };
    void arc(const QRectF& rect, QPointF start, QPointF end, ArcKind kind);
    // A line from the current position to the arc's start, then the arc; the
    // current position moves to its end.
    void arcTo(const QRectF& rect, QPointF start, QPointF end);
    void angleArc(QPointF center, double radius, double startDegrees, double sweepDegrees);
    // Points each with a type (move, line, Bézier, close flag), drawn on from
    // the current position; nothing when the types do not make figures.
    void polyDraw(const QPolygonF& points, const std::vector<std::uint8_t>& types);
    void setPixel(QPointF p, QColor color);
    void textOut(QPointF reference, const QString& text, std::uint32_t options, const QRectF* rect);
    // Draws `image` (its `source` part) onto the logical `dest` rectangle with a
    // raster operation; a null image fills with the brush (pattern blits).
    void bitBlt(const QRectF& dest, const QImage& image, const QRectF& source, std::uint32_t rop);

    // Path bracket: drawing between begin and end builds the path instead.
    void beginPath();
    void endPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void abortPath();

    QString decodeText(const QByteArray& bytes) const;

private:
    struct State
    {
        int mapMode = Text;
        QPointF windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
        QTransform world;
        QPen pen{QColor(Qt::black), 0};
        QBrush brush{Qt::white};
        Object font;
        QColor textColor{Qt::black};
        QColor bkColor{Qt::white};
        bool bkOpaque = true;
        bool winding = false;
        bool clockwise = false;
        std::uint32_t textAlign = 0;
        QPointF position{0, 0};
        bool clipped = false;
        QRegion clip;        // in target pixels, when clipped
        QList<QRgb> palette; // empty for the default palette
    };

    QTransform pageTransform() const;
    // Logical to target coordinates; false when the mapping is degenerate.
    bool logicalToTarget(QTransform& full) const;
    // Sets the painter to logical coordinates; false when the mapping is
    // degenerate and nothing can be drawn.
    bool applyTransform();
    void drawShape(const QPainterPath& path, bool fill, bool stroke);
    // The start angle and sweep of the arc from `start` to `end` on the
    // ellipse in `rect`, in the arc direction, as Qt counts degrees.
    bool arcAngles(const QRectF& rect, QPointF start, QPointF end, double& from,
                   double& sweep) const;
    // Figures drawn on from the current position: begin gives the path to
    // extend (the open path bracket or `local`), end strokes it unless in a
    // bracket and moves the current position to `last`.
    QPainterPath& beginFromCurrent(QPainterPath& local);
    void endFromCurrent(const QPainterPath& figure, QPointF last);
    // The target pixels of a logical rectangle; false when the mapping is
    // degenerate.
    bool logicalRegion(const QRectF& rect, QRegion& area) const;
    void combineClip(const QRegion& area, int mode);

    QPainter& painter_;
    QTransform deviceToTarget_;
    double unitsPerMmX_;
    double unitsPerMmY_;
    std::vector<Object> objects_;
    State state_;
    std::vector<State> saved_;
    int painterSaves_ = 0;
    bool inPath_ = false;
    QPainterPath path_;
    QPainterPath finishedPath_;
};

} // namespace kelvora
