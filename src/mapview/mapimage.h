#pragma once

#include "mappicture.h"

#include <QWidget>

namespace kelvora {

// The map's picture control: draws its picture stretched to its own size
// and reports presses, releases and double clicks in its own pixels. The
// mouse stays captured from press to release, so the release is reported
// even outside. A double click is reported before the second press it
// replaces, which is then reported as a press as well.
class MapImage : public QWidget
{
    Q_OBJECT

public:
    explicit MapImage(QWidget* parent = nullptr);

    const MapPicture& picture() const { return picture_; }
    void setPicture(const MapPicture& picture);
    // The picture's native size; 0 x 0 when there is none.
    QSize pictureSize() const { return picture_.size(); }

signals:
    void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);
    void released(Qt::MouseButton button, QPoint at);
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    MapPicture picture_;
};

} // namespace kelvora
