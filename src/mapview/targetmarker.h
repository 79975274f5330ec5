#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

namespace kelvora {

// The blinking target marker: a 50 x 50 control showing one of two frames of
// a 100 x 50 strip (frame 0 a reticle, frame 1 blank); pixels of the strip's
// bottom-left colour are not drawn. Hidden and stopped at first. While
// running, a tick every 100 ms advances the frame. frameChanged follows
// every change of the shown frame: a tick, stopping a running animation and
// setting a different frame.
class TargetMarker : public QWidget
{
    Q_OBJECT

public:
    static constexpr int cell = 50;
    static constexpr int intervalMs = 100;

    explicit TargetMarker(QWidget* parent = nullptr);

    // The frame strip as drawn at start.
    static QImage frameStrip();

    int frame() const { return frame_; }
    void setFrame(int frame);
    bool isRunning() const { return timer_.isActive(); }
    void start();
    void stop();
    // One animation step, what the timer runs: nothing while the marker is
    // not shown on screen, else the next frame.
    void tick();

signals:
    void frameChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage strip_; // with the transparent colour made fully transparent
    QTimer timer_;
    int frame_ = 0;
};

} // namespace kelvora
