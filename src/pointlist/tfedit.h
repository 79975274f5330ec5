#pragma once

#include <QDialog>

namespace kelvora {

// The point edit window "Редактирование", shown modally by the add and edit
// commands. For now an empty window.
class TFedit : public QDialog
{
    Q_OBJECT

public:
    explicit TFedit(QWidget* parent = nullptr);
};

} // namespace kelvora
