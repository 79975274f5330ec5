#pragma once

#include <QByteArrayView>
#include <QString>

namespace kelvora {

// Decodes 8-bit text of the Windows-1251 code page, the code page of the
// Russian bases' 8-bit text. The one unassigned byte, 98 hex, maps to U+0098.
QString fromWindows1251(QByteArrayView bytes);

} // namespace kelvora
