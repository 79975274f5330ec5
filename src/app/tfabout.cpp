#include "tfabout.h"

namespace kelvora {

TFabout::TFabout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Fabout"));
    setWindowTitle(QStringLiteral("О программе / Помощь"));
}

} // namespace kelvora
