#pragma once

#include <QString>
#include <QWidget>

class QMouseEvent;
class QPaintEvent;

namespace kelvora {

// A label showing one link: its text drawn underlined and blue in the
// label's font. Over the link text the pointer is a pointing hand; a press
// of any mouse button there hands the target to prompts().openLink, but only
// a target holding "://" or "mailto:". Presses beside the text do nothing.
class LinkLabel : public QWidget
{
    Q_OBJECT

public:
    LinkLabel(const QString& text, const QString& target, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    const QString& target() const { return target_; }
    // Where the link text is drawn, in the label's own pixels.
    QRect linkRect() const;

    // Whether `target` may be handed to the desktop's handler.
    static bool isOpenable(const QString& target);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QFont linkFont() const;

    QString text_;
    QString target_;
};

} // namespace kelvora
