#include "linklabel.h"

#include "guard.h"
#include "prompts.h"

#include <QMouseEvent>
#include <QPainter>

namespace kelvora {

LinkLabel::LinkLabel(const QString& text, const QString& target, QWidget* parent)
    : QWidget(parent), text_(text), target_(target)
{
    setMouseTracking(true);
}

QFont LinkLabel::linkFont() const
{
    QFont link = font();
    link.setUnderline(true);
    return link;
}

QRect LinkLabel::linkRect() const
{
    const QFontMetrics metrics(linkFont());
    return QRect(0, 0, metrics.horizontalAdvance(text_), metrics.height()).intersected(rect());
}

bool LinkLabel::isOpenable(const QString& target)
{
    return target.contains(QStringLiteral("://")) || target.contains(QStringLiteral("mailto:"));
}

void LinkLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(linkFont());
    painter.setPen(QColor(Qt::blue));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text_);
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (linkRect().contains(event->position().toPoint()))
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event)
{
    unsetCursor();
    QWidget::leaveEvent(event);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (!linkRect().contains(event->position().toPoint()))
        return;
    guarded([&] {
        if (isOpenable(target_))
            prompts().openLink(target_);
    });
}

} // namespace kelvora
