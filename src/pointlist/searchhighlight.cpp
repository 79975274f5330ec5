#include "searchhighlight.h"

#include <QPainter>

namespace kelvora {

SearchHighlight::SearchHighlight(Target target, QObject* parent)
    : QStyledItemDelegate(parent), target_(std::move(target))
{}

void SearchHighlight::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const QString text = target_ ? target_(index) : QString();
    if (text.isEmpty())
        return;
    painter->save();
    const QRect cell = option.rect.adjusted(2, 1, -2, -1);
    const int width = std::min(cell.width(), option.fontMetrics.horizontalAdvance(text) + 2);
    const QRect box(cell.left(), cell.top(), width, cell.height());
    painter->fillRect(box, Qt::yellow);
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
}

} // namespace kelvora
