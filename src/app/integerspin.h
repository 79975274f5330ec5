#pragma once

#include <QSpinBox>

namespace kelvora {

// An integer spin field without bounds (the whole 32-bit range): an empty or
// non-integer entry counts as 0.
class IntegerSpin : public QSpinBox
{
    Q_OBJECT

public:
    explicit IntegerSpin(QWidget* parent = nullptr);

    // The number as typed now, 0 when the text is not an integer.
    int entry() const;

protected:
    void fixup(QString& input) const override;
};

} // namespace kelvora
