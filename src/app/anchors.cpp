#include "anchors.h"

#include <QEvent>
#include <QWidget>

namespace kelvora {
namespace {

// One axis: the start and extent for a container extent, given the design.
std::pair<int, int> place(int start, int extent, int designContainer, int container, bool nearEdge,
                          bool farEdge)
{
    const int farGap = designContainer - (start + extent);
    if (nearEdge && farEdge)
        return {start, std::max(0, container - farGap - start)};
    if (farEdge)
        return {container - farGap - extent, extent};
    return {start, extent};
}

} // namespace

Anchors::Anchors(QWidget* container, QSize designSize)
    : QObject(container), container_(container), designSize_(designSize)
{
    container->installEventFilter(this);
}

void Anchors::add(QWidget* child, QRect design, Qt::Edges edges)
{
    entries_.append({child, design, edges});
    apply();
}

void Anchors::apply()
{
    const QSize size = container_->size();
    for (const Entry& entry : entries_) {
        const auto [x, w] =
            place(entry.design.x(), entry.design.width(), designSize_.width(), size.width(),
                  entry.edges.testFlag(Qt::LeftEdge), entry.edges.testFlag(Qt::RightEdge));
        const auto [y, h] =
            place(entry.design.y(), entry.design.height(), designSize_.height(), size.height(),
                  entry.edges.testFlag(Qt::TopEdge), entry.edges.testFlag(Qt::BottomEdge));
        entry.child->setGeometry(x, y, w, h);
    }
}

bool Anchors::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == container_ && event->type() == QEvent::Resize)
        apply();
    return false;
}

} // namespace kelvora
