#pragma once

#include <QLineEdit>
#include <QPoint>
#include <QRect>
#include <QSize>

class QToolButton;

namespace kelvora {

// Where the folder browser goes for a field at `field` (global coordinates):
// just below it at its left edge; moved left by its own width when it would
// pass the right edge of `screen`, above the field when it would pass the
// bottom. It is then kept inside the screen, so that it never opens out of
// sight.
QPoint folderBrowserPosition(const QRect& field, const QSize& browser, const QRect& screen);

// A read-only directory field with an 18-pixel browse button at its right
// end. The button opens the folder browser (through prompts()) titled
// "Select Directory" at the field's text; a chosen path that differs from
// the text replaces it. The field cannot be typed into.
class DirectoryEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit DirectoryEdit(QWidget* parent = nullptr);

    QToolButton* browseButton() const { return browseButton_; }

    // The size the folder browser is expected to take, for its placement.
    static QSize browserSize() { return {420, 440}; }

    // What the browse button does.
    void browse();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* browseButton_;
};

} // namespace kelvora
