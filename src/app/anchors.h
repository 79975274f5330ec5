#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

namespace kelvora {

// Keeps children of a container placed by their design rectangles: a child
// anchored to the right (bottom) edge keeps its distance to that edge, one
// anchored to both left and right (top and bottom) stretches with it.
class Anchors : public QObject
{
    Q_OBJECT

public:
    // `designSize` is the container's size the rectangles were laid out for.
    Anchors(QWidget* container, QSize designSize);

    void add(QWidget* child, QRect design, Qt::Edges edges = Qt::LeftEdge | Qt::TopEdge);
    // Places every child for the container's current size.
    void apply();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry
    {
        QWidget* child;
        QRect design;
        Qt::Edges edges;
    };

    QWidget* container_;
    QSize designSize_;
    QList<Entry> entries_;
};

} // namespace kelvora
