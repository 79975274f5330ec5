#include "icons.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resource lives in a static library: it must be registered by hand.
static void registerIconResource()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)once;
}

namespace kelvora {

QIcon kelvoraIcon(const QString& name, int size)
{
    registerIconResource();
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
    if (!renderer.isValid())
        return {};
    QIcon icon;
    // Drawn at the plain and at the doubled size, for high-density screens.
    for (const int scale : {1, 2}) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace kelvora
