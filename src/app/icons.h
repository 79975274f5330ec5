#pragma once

#include <QIcon>
#include <QString>

namespace kelvora {

// The program's own icon artwork, drawn from the SVG files of the icon
// resource at the given size. `name` is the file name without ".svg"; an
// unknown name gives a null icon.
QIcon kelvoraIcon(const QString& name, int size);

} // namespace kelvora
