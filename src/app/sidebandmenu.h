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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

} // namespace kelvora
