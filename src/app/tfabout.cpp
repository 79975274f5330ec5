#include "tfabout.h"

#include "linklabel.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>

namespace kelvora {

const QString TFabout::webAddress = QStringLiteral("https://kelvora.example");
const QString TFabout::mailAddress = QStringLiteral("team@kelvora.example");
const QString TFabout::releaseDate = QStringLiteral("01.12.2026");

namespace {

// The right edge both links end at.
constexpr int linkRight = 313;

QGroupBox* groupBox(QWidget* parent, const char* name, const QRect& place, const QString& title)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(place);
    return box;
}

// A transparent plain-text label; spaces are kept as written, so the help
// lines stay aligned under each other.
QLabel* label(QWidget* parent, const char* name, QPoint at, const QStringList& lines,
              bool bold = false)
{
    auto* control = new QLabel(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setTextFormat(Qt::PlainText);
    control->setAutoFillBackground(false);
    if (bold) {
        QFont font = control->font();
        font.setBold(true);
        control->setFont(font);
    }
    control->setText(lines.join(QLatin1Char('\n')));
    control->move(at);
    control->adjustSize();
    return control;
}

// A link label at its design place; a link text wider than the place grows
// it to the left, so that it still ends where the design ends it.
LinkLabel* link(QWidget* parent, const char* name, const QRect& place, const QString& text,
                const QString& target)
{
    auto* control = new LinkLabel(text, target, parent);
    control->setObjectName(QString::fromLatin1(name));
    QFont font = control->font();
    font.setBold(true);
    control->setFont(font);
    QRect rect = place;
    QFont underlined = font;
    underlined.setUnderline(true);
    const int needed = QFontMetrics(underlined).horizontalAdvance(text) + 1;
    if (needed > rect.width())
        rect.setLeft(rect.right() + 1 - needed);
    control->setGeometry(rect);
    return control;
}

} // namespace

QPixmap TFabout::bannerPicture()
{
    QPixmap picture(300, 120);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sea(0, 0, 300, 120);
    sea.setColorAt(0, QColor(0x1d, 0x4e, 0x6f));
    sea.setColorAt(1, QColor(0x3a, 0x86, 0x9c));
    painter.fillRect(picture.rect(), sea);

    // A coast line and a few grid lines, like a chart.
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
    for (int x = 25; x < 300; x += 50)
        painter.drawLine(x, 0, x, 120);
    for (int y = 20; y < 120; y += 40)
        painter.drawLine(0, y, 300, y);
    QPainterPath land;
    land.moveTo(0, 120);
    land.cubicTo(40, 80, 90, 110, 130, 86);
    land.cubicTo(170, 62, 230, 104, 300, 78);
    land.lineTo(300, 120);
    land.closeSubpath();
    painter.fillPath(land, QColor(0xc9, 0xb7, 0x7c));

    // A map pin.
    QPainterPath pin;
    pin.moveTo(40, 78);
    pin.cubicTo(22, 54, 22, 26, 40, 22);
    pin.cubicTo(58, 26, 58, 54, 40, 78);
    painter.fillPath(pin, QColor(0xd6, 0x3b, 0x2f));
    painter.setBrush(Qt::white);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(40, 40), 7, 7);

    QFont title = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    title.setStyleHint(QFont::SansSerif);
    title.setBold(true);
    title.setPixelSize(40);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(68, 14, 226, 52), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Kelvora"));
    QFont subtitle = title;
    subtitle.setBold(false);
    subtitle.setPixelSize(13);
    painter.setFont(subtitle);
    painter.drawText(QRect(70, 62, 226, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("точки на карте"));
    return picture;
}

TFabout::TFabout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Fabout"));
    setWindowTitle(QStringLiteral("О программе / Помощь"));
    setWindowFlags(Qt::Tool | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);
    setFixedSize(clientWidth, clientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    GroupBox1 = groupBox(this, "GroupBox1", QRect(8, 0, 329, 185), QStringLiteral("О программе"));
    Image2 = new QLabel(GroupBox1);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(15, 13, 300, 120);
    Image2->setPixmap(bannerPicture());
    Label4 = label(GroupBox1, "Label4", QPoint(16, 136),
                   {QStringLiteral("Relese Date :"), releaseDate, QStringLiteral("V1.0")}, true);
    Label4->resize(Label4->size().expandedTo(QSize(79, 39)));
    Label1 = label(GroupBox1, "Label1", QPoint(128, 136), {QStringLiteral("Inet:")}, true);
    LinkLabel1 =
        link(GroupBox1, "LinkLabel1", QRect(160, 136, linkRight - 160, 17), webAddress, webAddress);
    Label2 = label(GroupBox1, "Label2", QPoint(117, 152), {QStringLiteral("E-Mail:")}, true);
    LinkLabel2 = link(GroupBox1, "LinkLabel2", QRect(232, 152, linkRight - 232, 17), mailAddress,
                      QStringLiteral("mailto:") + mailAddress);

    GroupBox2 =
        groupBox(this, "GroupBox2", QRect(344, 8, 329, 385), QStringLiteral("Краткая помощь"));
    GroupBox3 = groupBox(GroupBox2, "GroupBox3", QRect(8, 16, 313, 121),
                         QStringLiteral("Перемещение по карте"));
    Label3 = label(GroupBox3, "Label3", QPoint(8, 16),
                   {QStringLiteral("[Ctrl] + Клавишими 1-9 на цифровой части "),
                    QStringLiteral("           (при включенном NUM Lock)")});
    Label5 = label(GroupBox3, "Label5", QPoint(8, 43),
                   {QStringLiteral("Мышкой: Нажмите левую кнопку, "),
                    QStringLiteral("                и, удерживая, переместите в другую точку")});
    Label7 = label(GroupBox3, "Label7", QPoint(8, 70),
                   {QStringLiteral("Двойной клик по карте, если не в режиме 100% - "),
                    QStringLiteral("               Увеличение, перемещение в указанную точку")});
    Label8 = label(GroupBox3, "Label8", QPoint(8, 98),
                   {QStringLiteral("Поиск точки из базы - F3 или двойной клик по записи")});

    GroupBox4 =
        groupBox(GroupBox2, "GroupBox4", QRect(8, 144, 313, 73), QStringLiteral("Действия"));
    Label6 = label(GroupBox4, "Label6", QPoint(8, 16),
                   {QStringLiteral("Добавить точку: левой кнопкой мыши"),
                    QStringLiteral("Поиск по базе:   просто набирайте слово в том поле, "),
                    QStringLiteral("                             в котором вы хотите найти"),
                    QStringLiteral("Сортировка:        Нажмите на заголовке поля")});
    Label9 = label(GroupBox4, "Label9", QPoint(8, 32), {});

    GroupBox5 = groupBox(GroupBox2, "GroupBox5", QRect(8, 224, 313, 137),
                         QStringLiteral("Горячие клавиши"));
    Label10 =
        label(GroupBox5, "Label10", QPoint(8, 16),
              {QStringLiteral("[Ctrl] + NUM 1-9  + (NUM Lock ON) - передвижение по карте"),
               QStringLiteral("F1 - Вызов этой справки"),
               QStringLiteral("F3 - Режим поиск ближайщих точек (Фильтр)"),
               QStringLiteral("F4 - Режим добавления точек"), QStringLiteral("F5 - Сброс фильтров"),
               QStringLiteral("F6 - Редактирование точки"),
               QStringLiteral("F7 - Поиск точки на карте из текущей записи"),
               QStringLiteral("F8 - Удаление точки"), QStringLiteral("F10 - Настройки")});

    GroupBox6 = groupBox(this, "GroupBox6", QRect(8, 192, 329, 201),
                         QStringLiteral("Правила добавления точек в базу"));
    Label11 = label(GroupBox6, "Label11", QPoint(8, 16),
                    {QStringLiteral("1. Если название определяет точное место на карте, "),
                     QStringLiteral("    то указывайте точку центра значка условного обозначения"),
                     QStringLiteral("    (Пример : город, с указанным местоположением)"),
                     QStringLiteral("2. Если точного местоположения нет, то указывайте точку"),
                     QStringLiteral("    левого нижнего угла первого символа названия"),
                     QStringLiteral("    (пример: Название моря, острова)"),
                     QStringLiteral("3. Если название населенного пункта совпадает "),
                     QStringLiteral("    с названием местности или государства,"),
                     QStringLiteral("    то запись следует делать так:"),
                     QStringLiteral("    Наименование ORIGIN: \"Название города, city\""),
                     QStringLiteral("    Наименование RUS: \"Название города\""),
                     QStringLiteral("    Пример: Остров - \"Schallsea\","),
                     QStringLiteral("                    город   -  \"Schallsea, city\"")});
    fitToCaptions();
}

namespace {

constexpr int boxMargin = 8;

// Widens `box` until every caption in it shows whole; returns by how much.
int widenToCaptions(QGroupBox* box)
{
    int needed = box->width();
    for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        auto* inner = qobject_cast<QGroupBox*>(child);
        const int width =
            inner ? child->width() : std::max(child->width(), child->sizeHint().width());
        needed = std::max(needed, child->x() + width + boxMargin);
    }
    const int grow = needed - box->width();
    box->resize(needed, box->height());
    return grow;
}

} // namespace

// The layout was drawn for a narrower font than the desktop's: the boxes
// widen to hold their lines whole, the right column moves over and the
// window grows by as much. With a font that fits, nothing moves.
void TFabout::fitToCaptions()
{
    int inner = 0;
    for (QGroupBox* box : {GroupBox3, GroupBox4, GroupBox5})
        inner = std::max(inner, box->width() + widenToCaptions(box));
    for (QGroupBox* box : {GroupBox3, GroupBox4, GroupBox5})
        box->resize(inner, box->height());
    const int rightGrow = widenToCaptions(GroupBox2);
    const int leftGrow = std::max(widenToCaptions(GroupBox1), widenToCaptions(GroupBox6));
    const int left = std::max(GroupBox1->width(), GroupBox6->width());
    GroupBox1->resize(left, GroupBox1->height());
    GroupBox6->resize(left, GroupBox6->height());
    GroupBox2->move(GroupBox2->x() + leftGrow, GroupBox2->y());
    setFixedSize(clientWidth + leftGrow + rightGrow, clientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace kelvora
