#include "targetmarker.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace kelvora {

TargetMarker::TargetMarker(QWidget* parent) : QWidget(parent)
{
    resize(cell, cell);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    const QImage drawn = frameStrip();
    // The strip's bottom-left pixel names the colour that is not drawn.
    const QRgb transparent = drawn.pixel(0, drawn.height() - 1);
    strip_ = drawn.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < strip_.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(strip_.scanLine(y));
        for (int x = 0; x < strip_.width(); ++x)
            if (line[x] == transparent)
                line[x] = 0;
    }
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &TargetMarker::tick);
}

QImage TargetMarker::frameStrip()
{
    QImage strip(2 * cell, cell, QImage::Format_RGB32);
    strip.fill(QColor(0, 0, 255));
    QPainter painter(&strip);
    // Frame 0: nested rings of the large square, 11 to 38.
    const QColor rings[] = {Qt::black, Qt::white, Qt::black, QColor(192, 192, 192)};
    for (int i = 0; i < 4; ++i) {
        painter.setPen(rings[i]);
        painter.drawRect(11 + i, 11 + i, 27 - 2 * i, 27 - 2 * i);
    }
    // Spokes from the middle of each edge to the small square, 10 wide at
    // the edge narrowing to 6, each with a black centre line 2 wide.
    const QPolygon spoke{{20, 0}, {30, 0}, {28, 19}, {22, 19}};
    for (int quarter = 0; quarter < 4; ++quarter) {
        painter.save();
        painter.translate(25, 25);
        painter.rotate(90.0 * quarter);
        painter.translate(-25, -25);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(128, 128, 128));
        painter.drawPolygon(spoke);
        painter.setBrush(Qt::black);
        painter.drawRect(24, 0, 2, 19);
        painter.restore();
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(19, 19, 11, 11);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 0, 0));
    painter.drawPolygon(QPolygon{{25, 21}, {29, 25}, {25, 29}, {21, 25}});
    // Frame 1 stays the transparent colour throughout.
    return strip;
}

void TargetMarker::setFrame(int frame)
{
    if (frame == frame_)
        return;
    frame_ = frame;
    update();
    emit frameChanged();
}

void TargetMarker::start()
{
    timer_.start();
}

void TargetMarker::stop()
{
    if (!timer_.isActive())
        return;
    timer_.stop();
    emit frameChanged();
}

void TargetMarker::tick()
{
    if (!isVisible())
        return;
    frame_ = (frame_ + 1) % 2;
    emit frameChanged();
    update();
}

void TargetMarker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), strip_, QRect(cell * frame_, 0, cell, cell));
}

} // namespace kelvora
