#include "splitterbar.h"

#include "guard.h"

#include <QMouseEvent>

namespace kelvora {

SplitterBar::SplitterBar(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
}

void SplitterBar::mousePressEvent(QMouseEvent* event)
{
    guarded([&] {
        if (event->button() != Qt::LeftButton)
            return;
        dragging_ = true;
        lastX_ = int(event->globalPosition().x());
    });
}

void SplitterBar::mouseMoveEvent(QMouseEvent* event)
{
    guarded([&] {
        if (!dragging_)
            return;
        const int x = int(event->globalPosition().x());
        const int dx = x - lastX_;
        lastX_ = x;
        if (dx != 0)
            emit dragged(dx);
    });
}

void SplitterBar::mouseReleaseEvent(QMouseEvent* event)
{
    guarded([&] {
        if (event->button() == Qt::LeftButton)
            dragging_ = false;
    });
}

} // namespace kelvora
