#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
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
        enum Type { None, Pen, Brush, Font, Other } type = None;
        QPen pen;
        QBrush brush;
        QFont font;
        double fontHeight = 0; // logical units, cell height when negative
        double escapement = 0; // tenths of a degree
        int charset = 1;
    };

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

    // Objects: WMF takes the lowest free slot, EMF names the slot.
    void addObject(const Object& object);
    void setObject(std::uint32_t index, const Object& object);
    void selectObject(std::uint32_t index);
    void selectStock(std::uint32_t id);
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
    void save();
    void restore(int which);
    void intersectClip(const QRectF& rect);
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
        std::uint32_t textAlign = 0;
        QPointF position{0, 0};
    };

    QTransform pageTransform() const;
    // Sets the painter to logical coordinates; false when the mapping is
    // degenerate and nothing can be drawn.
    bool applyTransform();
    void drawShape(const QPainterPath& path, bool fill, bool stroke);

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
