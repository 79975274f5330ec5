// Draws a made-up coastline with a few named places and writes
// DIR/isle-of-kelvora.jpg and DIR/isle-of-kelvora-places.csv (the places in
// picture pixels). Deterministic: the same picture on every run.
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QTextStream>
#include <cmath>
#include <cstdio>

namespace {

constexpr int width = 1400;
constexpr int height = 1000;

struct Place
{
    int x;
    int y;
    const char* name;
    const char16_t* russian;
    const char16_t* description;
};

const Place places[] = {
    {520, 430, "Kelvor", u"Кельвор", u"Столица острова на реке."},
    {830, 610, "Ashmere", u"Ашмир", u"Озёрный город в долине."},
    {400, 690, "Tarn Hollow", u"Тарнова Лощина", u"Деревня у подножия холмов."},
    {960, 330, "Greywatch", u"Серая Стража", u"Маяк на мысе."},
    {690, 250, "Mount Orrin", u"Гора Оррин", u"Высшая точка острова."},
    {1080, 720, "Saltreach", u"Солёный Край", u"Рыбацкий посёлок."},
};

// Radius of the island at angle a: a circle roughened by a few waves.
double coast(double a)
{
    return 1.0 + 0.12 * std::sin(3 * a + 0.5) + 0.08 * std::sin(5 * a + 1.7) +
           0.05 * std::sin(11 * a + 0.2) + 0.025 * std::sin(23 * a + 2.1);
}

QPainterPath island(QPointF centre, double rx, double ry, double grow)
{
    QPainterPath path;
    const int steps = 720;
    for (int i = 0; i <= steps; ++i) {
        const double a = 2 * M_PI * i / steps;
        const double r = coast(a) + grow;
        const QPointF p(centre.x() + rx * r * std::cos(a), centre.y() + ry * r * std::sin(a));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Sea, shallows, land.
    p.fillRect(image.rect(), QColor(96, 148, 190));
    const QPointF centre(720, 500);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(132, 180, 210));
    p.drawPath(island(centre, 440, 330, 0.10));
    p.setBrush(QColor(222, 208, 160));
    p.drawPath(island(centre, 440, 330, 0.015));
    p.setBrush(QColor(150, 184, 112));
    const QPainterPath land = island(centre, 440, 330, 0);
    p.drawPath(land);
    p.setPen(QPen(QColor(70, 60, 40), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(land);

    // Grid of the chart.
    p.setPen(QPen(QColor(255, 255, 255, 60), 1, Qt::DashLine));
    for (int x = 100; x < width; x += 100)
        p.drawLine(x, 0, x, height);
    for (int y = 100; y < height; y += 100)
        p.drawLine(0, y, width, y);

    QRandomGenerator random(20261210);
    // Hills and mountains in the north, forests in the south-west.
    p.setPen(QPen(QColor(90, 70, 50), 2));
    for (int i = 0; i < 26; ++i) {
        const double x = 560 + random.bounded(300);
        const double y = 200 + random.bounded(120);
        const double s = 14 + random.bounded(14);
        if (!land.contains(QPointF(x, y + s)))
            continue;
        const QPolygonF peak{{x - s, y + s}, {x, y - s}, {x + s, y + s}};
        p.setBrush(QColor(160, 140, 110));
        p.drawPolygon(peak);
    }
    p.setPen(QPen(QColor(40, 90, 40), 1));
    p.setBrush(QColor(70, 130, 60));
    for (int i = 0; i < 70; ++i) {
        const double x = 330 + random.bounded(260);
        const double y = 540 + random.bounded(200);
        if (land.contains(QPointF(x, y)))
            p.drawEllipse(QPointF(x, y), 7, 7);
    }

    // A lake and the river to the northern bay.
    p.setPen(QPen(QColor(70, 120, 170), 5, Qt::SolidLine, Qt::RoundCap));
    QPainterPath river(QPointF(830, 590));
    river.cubicTo(760, 520, 640, 520, 560, 420);
    river.cubicTo(530, 380, 500, 300, 470, 190);
    p.setBrush(Qt::NoBrush);
    p.drawPath(river);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(96, 148, 190));
    p.drawEllipse(QPointF(860, 640), 55, 32);

    // The places.
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(22);
    font.setItalic(true);
    p.setFont(font);
    for (const Place& place : places) {
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(QColor(200, 40, 40));
        p.drawEllipse(QPoint(place.x, place.y), 7, 7);
        const QString label = QString::fromUtf16(place.russian);
        p.setPen(QColor(255, 255, 240));
        p.drawText(place.x + 13, place.y + 8, label);
        p.setPen(QColor(30, 25, 20));
        p.drawText(place.x + 12, place.y + 7, label);
    }

    // Title and a simple compass.
    QFont title(QStringLiteral("DejaVu Serif"));
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(240, 235, 210));
    p.drawText(QRect(0, 20, width, 60), Qt::AlignHCenter, QStringLiteral("Остров Кельвора"));
    const QPointF rose(1260, 880);
    p.setPen(QPen(QColor(240, 235, 210), 2));
    p.setBrush(QColor(240, 235, 210));
    p.drawPolygon(
        QPolygonF{{rose.x(), rose.y() - 60}, {rose.x() - 12, rose.y()}, {rose.x() + 12, rose.y()}});
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(rose, 40, 40);
    font.setPixelSize(24);
    font.setItalic(false);
    p.setFont(font);
    p.drawText(QRectF(rose.x() - 20, rose.y() - 96, 40, 30), Qt::AlignCenter, QStringLiteral("N"));
    p.end();

    const QString picture = dir + QStringLiteral("/isle-of-kelvora.jpg");
    if (!image.save(picture, "JPEG", 80)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(picture));
        return 1;
    }
    QFile file(dir + QStringLiteral("/isle-of-kelvora-places.csv"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return 1;
    }
    QTextStream out(&file);
    out << "X;Y;NAME_EN;NAME_RUS;DESC;OBR\n";
    for (const Place& place : places)
        out << place.x << ';' << place.y << ';' << place.name << ';'
            << QString::fromUtf16(place.russian) << ';' << QString::fromUtf16(place.description)
            << ";false\n";
    return 0;
}
