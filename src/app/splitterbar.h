#pragma once

#include <QWidget>

namespace kelvora {

// A thin bar between the map area and the panel: dragging it by dx asks for
// the panel to become dx narrower (the panel sits on its right).
class SplitterBar : public QWidget
{
    Q_OBJECT

public:
    explicit SplitterBar(QWidget* parent = nullptr);

signals:
    void dragged(int dx);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool dragging_ = false;
    int lastX_ = 0;
};

} // namespace kelvora
