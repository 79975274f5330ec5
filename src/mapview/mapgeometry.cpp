#include "mapgeometry.h"

#include "failure.h"

#include <QStringList>
#include <cmath>
#include <limits>

namespace kelvora {
namespace {

constexpr int markerHalf = 25;

} // namespace

int roundHalfEven(long double value)
{
    if (std::isnan(value))
        throw Failure(QStringLiteral("Invalid floating point operation"));
    // nearbyint rounds ties to even in the default rounding mode.
    const long double rounded = std::nearbyint(value);
    if (rounded >= static_cast<long double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= static_cast<long double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

int scaleRounded(std::int64_t a, std::int64_t b, std::int64_t divisor)
{
    if (divisor == 0)
        throw Failure(QStringLiteral("Floating point division by zero"));
    return roundHalfEven(static_cast<long double>(a * b) / static_cast<long double>(divisor));
}

int viewToImage(int view, int pictureExtent, int viewExtent)
{
    return scaleRounded(view, pictureExtent, viewExtent);
}

int imageToView(int image, int pictureExtent, int viewExtent)
{
    return scaleRounded(image, viewExtent, pictureExtent);
}

QSize zoomHalf(QSize picture)
{
    return {roundHalfEven(picture.width() / 2.0L), roundHalfEven(picture.height() / 2.0L)};
}

QSize zoomThreeQuarters(QSize picture)
{
    return {roundHalfEven(picture.width() / 4.0L * 3), roundHalfEven(picture.height() / 4.0L * 3)};
}

std::optional<QSize> fitSize(QSize picture, QSize client, QSize outer)
{
    const int picW = picture.width();
    const int picH = picture.height();
    if (picH <= 0 || picW <= 0)
        return std::nullopt;
    const long double pictureRatio = static_cast<long double>(picH) / picW;
    // A client area with no width has an infinite ratio: the width branch.
    const long double clientRatio = client.width() > 0
                                        ? static_cast<long double>(client.height()) / client.width()
                                        : std::numeric_limits<long double>::infinity();
    if (pictureRatio >= clientRatio) {
        const int viewH = outer.height() - 4;
        return QSize(scaleRounded(picW, viewH, picH), viewH);
    }
    const int viewW = outer.width() - 4;
    return QSize(viewW, scaleRounded(picH, viewW, picW));
}

int centredPosition(int v, int clientExtent)
{
    return roundHalfEven(static_cast<long double>(v) - clientExtent / 2.0L);
}

int markerOffset(const AxisPlacement& axis)
{
    int offset = axis.position <= 0 ? axis.point - markerHalf : axis.client / 2 - markerHalf;
    if (static_cast<std::int64_t>(axis.client) + axis.position >=
        static_cast<std::int64_t>(axis.range) - 1)
        offset = axis.point - axis.position - markerHalf;
    return offset;
}

QString proximityFilterText(int ix, int iy, int radius)
{
    const QString x = QString::number(ix);
    const QString y = QString::number(iy);
    const QString r2 = QString::number(static_cast<std::int64_t>(radius) * radius);
    return QStringLiteral("(X-") + x + QStringLiteral(")*(X-") + x + QStringLiteral(")+(Y-") + y +
           QStringLiteral(")*(Y-") + y + QStringLiteral(")<=") + r2;
}

QString addPointQuestion(int ix, int iy)
{
    return QStringLiteral("Хотите добавить в базу точку ") + QString::number(ix) +
           QStringLiteral(" x ") + QString::number(iy) + QStringLiteral("?");
}

QString sizeLabel(int width, int height)
{
    return QString::number(width) + QStringLiteral(" x ") + QString::number(height);
}

QString sameNamedBasePath(const QString& picturePath, bool besidePicture,
                          const QString& directoryText, const QString& exeDir)
{
    const qsizetype slash = picturePath.lastIndexOf(QLatin1Char('/'));
    const QString fileName = picturePath.mid(slash + 1);
    QString dir = besidePicture ? picturePath.left(slash + 1) : directoryText;

    // The extension with its dot, as it ends the name; the base name stops at
    // its first occurrence (a.jpg.jpg gives a).
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    QString base = fileName;
    if (dot >= 0)
        base = fileName.left(fileName.indexOf(fileName.mid(dot)));

    bool blank = true;
    for (const QChar c : dir)
        if (c.unicode() > 0x20) {
            blank = false;
            break;
        }
    if (blank) {
        dir = exeDir;
        if (dir.endsWith(QLatin1Char('/')))
            dir.chop(1);
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + base + QStringLiteral(".Lorvet");
}

QString openPictureFilter()
{
    struct Type
    {
        const char* description;
        const char* extension;
    };
    static constexpr Type types[] = {
        {"CompuServe GIF Image", "gif"},
        {"JPEG Image File", "jpg"},
        {"JPEG Image File", "jpeg"},
        {"Bitmaps", "bmp"},
        {"Icons", "ico"},
        {"Enhanced Metafiles", "emf"},
        {"Metafiles", "wmf"},
    };
    QStringList patterns;
    for (const Type& type : types)
        patterns << QStringLiteral("*.") + QLatin1String(type.extension);
    const QString all = patterns.join(QLatin1Char(';'));
    QString filter = QStringLiteral("All (") + all + QStringLiteral(")|") + all;
    for (const Type& type : types) {
        const QString pattern = QStringLiteral("*.") + QLatin1String(type.extension);
        filter += QLatin1Char('|') + QLatin1String(type.description) + QStringLiteral(" (") +
                  pattern + QStringLiteral(")|") + pattern;
    }
    return filter;
}

} // namespace kelvora
