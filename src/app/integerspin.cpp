#include "integerspin.h"

#include <QLineEdit>
#include <limits>

namespace kelvora {

IntegerSpin::IntegerSpin(QWidget* parent) : QSpinBox(parent)
{
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setSingleStep(1);
    setValue(0);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

int IntegerSpin::entry() const
{
    bool ok = false;
    const int value = lineEdit()->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

void IntegerSpin::fixup(QString& input) const
{
    bool ok = false;
    input.trimmed().toInt(&ok);
    if (!ok)
        input = QStringLiteral("0");
}

} // namespace kelvora
