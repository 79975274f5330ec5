#pragma once

#include <QDialog>

namespace kelvora {

// The about and help window "О программе / Помощь", shown modally by F1 and
// its tool button. For now an empty window.
class TFabout : public QDialog
{
    Q_OBJECT

public:
    explicit TFabout(QWidget* parent = nullptr);
};

} // namespace kelvora
