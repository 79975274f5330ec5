#include "tfedit.h"

namespace kelvora {

TFedit::TFedit(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Fedit"));
    setWindowTitle(QStringLiteral("Редактирование"));
}

} // namespace kelvora
