#pragma once

#include <QMenu>

namespace kelvora {

// A popup menu with a vertical band along its left edge that carries a
// caption in white bold italic, read from bottom to top.
class SideBandMenu : public QMenu
{
    Q_OBJECT

public:
    static constexpr int bandWidth = 22;
    static const QColor bandColor;

    explicit SideBandMenu(const QString& caption, QWidget* parent = nullptr);

    const QString& caption() const { return caption_; }
    // The band's rectangle in the menu's own pixels.
    QRect bandRect() const;
    // Tall enough for the caption to stand in the band whole.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont captionFont() const;

    QString caption_;
};

} // namespace kelvora
