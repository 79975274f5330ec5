#include "mapimage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace kelvora {

MapImage::MapImage(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    // The picture covers the whole control; nothing behind it needs drawing.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapImage::setPicture(const MapPicture& picture)
{
    picture_ = picture;
    update();
}

void MapImage::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    const QSize native = picture_.size();
    if (picture_.isNull() || native.isEmpty() || width() <= 0 || height() <= 0) {
        painter.fillRect(area, palette().window());
        return;
    }
    // Only the exposed part is drawn, from the matching part of the picture.
    const qreal sx = static_cast<qreal>(native.width()) / width();
    const qreal sy = static_cast<qreal>(native.height()) / height();
    const QRectF source(area.x() * sx, area.y() * sy, area.width() * sx, area.height() * sy);
    picture_.draw(painter, QRectF(area), source);
}

void MapImage::mousePressEvent(QMouseEvent* event)
{
    emit pressed(event->button(), event->modifiers(), event->position().toPoint());
}

void MapImage::mouseReleaseEvent(QMouseEvent* event)
{
    emit released(event->button(), event->position().toPoint());
}

void MapImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of the pair arrives as this event alone.
    emit doubleClicked();
    emit pressed(event->button(), event->modifiers(), event->position().toPoint());
}

} // namespace kelvora
