#include "sidebandmenu.h"

#include "guard.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace kelvora {

const QColor SideBandMenu::bandColor(40, 64, 120);

SideBandMenu::SideBandMenu(const QString& caption, QWidget* parent)
    : QMenu(parent), caption_(caption)
{
    // The items start right of the band.
    setContentsMargins(bandWidth, 0, 0, 0);
}

QRect SideBandMenu::bandRect() const
{
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    return QRect(frame, frame, bandWidth, height() - 2 * frame);
}

QFont SideBandMenu::captionFont() const
{
    QFont bold = font();
    bold.setBold(true);
    bold.setItalic(true);
    return bold;
}

QSize SideBandMenu::sizeHint() const
{
    QSize size = QMenu::sizeHint();
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    const int caption = QFontMetrics(captionFont()).horizontalAdvance(caption_) + 12;
    size.setHeight(std::max(size.height(), caption + 2 * frame));
    return size;
}

void SideBandMenu::paintEvent(QPaintEvent* event)
{
    QMenu::paintEvent(event);
    guarded([&] {
        QPainter painter(this);
        const QRect band = bandRect();
        painter.fillRect(band, bandColor);

        painter.setFont(captionFont());
        painter.setPen(Qt::white);
        // Turned a quarter left: the caption runs up the band from its foot.
        painter.translate(band.left(), band.bottom() + 1);
        painter.rotate(-90);
        const QRect turned(4, 0, band.height() - 8, band.width());
        painter.drawText(turned, Qt::AlignLeft | Qt::AlignVCenter, caption_);
    });
}

} // namespace kelvora
