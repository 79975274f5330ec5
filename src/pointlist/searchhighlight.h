#pragma once

#include <QStyledItemDelegate>
#include <functional>

namespace kelvora {

// Paints cells as usual; the cell `target()` names additionally gets the
// running search text painted over the beginning of its text, black on
// yellow.
class SearchHighlight : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // Returns the search text for `index`, empty when none is shown there.
    using Target = std::function<QString(const QModelIndex& index)>;

    SearchHighlight(Target target, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    Target target_;
};

} // namespace kelvora
