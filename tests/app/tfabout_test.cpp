#include "linklabel.h"
#include "scriptedprompts.h"
#include "tfabout.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

class AboutWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = &prompts();
        setPrompts(&scripted_);
    }
    void TearDown() override { setPrompts(previous_); }

    static void press(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(at), widget->mapToGlobal(QPointF(at)),
                          button, button, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    static void move(QWidget* widget, QPoint at)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    ScriptedPrompts scripted_;
    Prompts* previous_ = nullptr;
    TFabout about_;
};

TEST_F(AboutWindow, IsAFixedToolWindowWithOnlyACloseBox)
{
    EXPECT_EQ(about_.windowTitle(), QStringLiteral("О программе / Помощь"));
    // The designed size, wider only as far as the desktop font's lines need.
    EXPECT_GE(about_.width(), 680);
    EXPECT_EQ(about_.height(), 397);
    EXPECT_EQ(about_.minimumSize(), about_.size());
    EXPECT_EQ(about_.maximumSize(), about_.size());
    const Qt::WindowFlags flags = about_.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
}

TEST_F(AboutWindow, GroupBoxesStandAtTheirPlacesWithTheirTitles)
{
    struct Box
    {
        QGroupBox* box;
        QWidget* parent;
        QRect place;
        QString title;
    };
    const Box boxes[] = {
        {about_.GroupBox1, &about_, QRect(8, 0, 329, 185), QStringLiteral("О программе")},
        {about_.GroupBox2, &about_, QRect(344, 8, 329, 385), QStringLiteral("Краткая помощь")},
        {about_.GroupBox3, about_.GroupBox2, QRect(8, 16, 313, 121),
         QStringLiteral("Перемещение по карте")},
        {about_.GroupBox4, about_.GroupBox2, QRect(8, 144, 313, 73), QStringLiteral("Действия")},
        {about_.GroupBox5, about_.GroupBox2, QRect(8, 224, 313, 137),
         QStringLiteral("Горячие клавиши")},
        {about_.GroupBox6, &about_, QRect(8, 192, 329, 201),
         QStringLiteral("Правила добавления точек в базу")},
    };
    for (const Box& b : boxes) {
        ASSERT_NE(b.box, nullptr);
        EXPECT_EQ(b.box->parentWidget(), b.parent) << b.box->objectName().toStdString();
        SCOPED_TRACE(b.box->objectName().toStdString());
        // Boxes keep their places and heights and widen only to hold their
        // lines whole; the right column moves over by what the left one grew.
        const int leftGrow = about_.GroupBox1->width() - 329;
        const int shift = b.box == about_.GroupBox2 ? leftGrow : 0;
        EXPECT_EQ(b.box->pos(), b.place.topLeft() + QPoint(shift, 0));
        EXPECT_EQ(b.box->height(), b.place.height());
        EXPECT_GE(b.box->width(), b.place.width());
        for (QWidget* child : b.box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const int width =
                qobject_cast<QGroupBox*>(child) ? child->width() : child->sizeHint().width();
            EXPECT_LE(child->x() + width, b.box->width()) << child->objectName().toStdString();
        }
        EXPECT_EQ(b.box->title(), b.title);
    }
    EXPECT_EQ(about_.GroupBox2->geometry().right() + 1 + 7, about_.width());
}

TEST_F(AboutWindow, EveryLabelHoldsItsTextLineByLineAtItsPlace)
{
    struct Text
    {
        QLabel* label;
        QWidget* parent;
        QPoint at;
        bool bold;
        QStringList lines;
    };
    const QString q = QStringLiteral("\"");
    const Text texts[] = {
        {about_.Label4,
         about_.GroupBox1,
         {16, 136},
         true,
         {QStringLiteral("Relese Date :"), QStringLiteral("01.12.2026"), QStringLiteral("V1.0")}},
        {about_.Label1, about_.GroupBox1, {128, 136}, true, {QStringLiteral("Inet:")}},
        {about_.Label2, about_.GroupBox1, {117, 152}, true, {QStringLiteral("E-Mail:")}},
        {about_.Label3,
         about_.GroupBox3,
         {8, 16},
         false,
         {QStringLiteral("[Ctrl] + Клавишими 1-9 на цифровой части "),
          QString(11, QLatin1Char(' ')) + QStringLiteral("(при включенном NUM Lock)")}},
        {about_.Label5,
         about_.GroupBox3,
         {8, 43},
         false,
         {QStringLiteral("Мышкой: Нажмите левую кнопку, "),
          QString(16, QLatin1Char(' ')) +
              QStringLiteral("и, удерживая, переместите в другую точку")}},
        {about_.Label7,
         about_.GroupBox3,
         {8, 70},
         false,
         {QStringLiteral("Двойной клик по карте, если не в режиме 100% - "),
          QString(15, QLatin1Char(' ')) +
              QStringLiteral("Увеличение, перемещение в указанную точку")}},
        {about_.Label8,
         about_.GroupBox3,
         {8, 98},
         false,
         {QStringLiteral("Поиск точки из базы - F3 или двойной клик по записи")}},
        {about_.Label6,
         about_.GroupBox4,
         {8, 16},
         false,
         {QStringLiteral("Добавить точку: левой кнопкой мыши"),
          QStringLiteral("Поиск по базе:") + QString(3, QLatin1Char(' ')) +
              QStringLiteral("просто набирайте слово в том поле, "),
          QString(29, QLatin1Char(' ')) + QStringLiteral("в котором вы хотите найти"),
          QStringLiteral("Сортировка:") + QString(8, QLatin1Char(' ')) +
              QStringLiteral("Нажмите на заголовке поля")}},
        {about_.Label9, about_.GroupBox4, {8, 32}, false, {QString()}},
        {about_.Label10,
         about_.GroupBox5,
         {8, 16},
         false,
         {QStringLiteral("[Ctrl] + NUM 1-9") + QString(2, QLatin1Char(' ')) +
              QStringLiteral("+ (NUM Lock ON) - передвижение по карте"),
          QStringLiteral("F1 - Вызов этой справки"),
          QStringLiteral("F3 - Режим поиск ближайщих точек (Фильтр)"),
          QStringLiteral("F4 - Режим добавления точек"), QStringLiteral("F5 - Сброс фильтров"),
          QStringLiteral("F6 - Редактирование точки"),
          QStringLiteral("F7 - Поиск точки на карте из текущей записи"),
          QStringLiteral("F8 - Удаление точки"), QStringLiteral("F10 - Настройки")}},
        {about_.Label11,
         about_.GroupBox6,
         {8, 16},
         false,
         {QStringLiteral("1. Если название определяет точное место на карте, "),
          QString(4, QLatin1Char(' ')) +
              QStringLiteral("то указывайте точку центра значка условного обозначения"),
          QString(4, QLatin1Char(' ')) +
              QStringLiteral("(Пример : город, с указанным местоположением)"),
          QStringLiteral("2. Если точного местоположения нет, то указывайте точку"),
          QString(4, QLatin1Char(' ')) +
              QStringLiteral("левого нижнего угла первого символа названия"),
          QString(4, QLatin1Char(' ')) + QStringLiteral("(пример: Название моря, острова)"),
          QStringLiteral("3. Если название населенного пункта совпадает "),
          QString(4, QLatin1Char(' ')) + QStringLiteral("с названием местности или государства,"),
          QString(4, QLatin1Char(' ')) + QStringLiteral("то запись следует делать так:"),
          QString(4, QLatin1Char(' ')) + QStringLiteral("Наименование ORIGIN: ") + q +
              QStringLiteral("Название города, city") + q,
          QString(4, QLatin1Char(' ')) + QStringLiteral("Наименование RUS: ") + q +
              QStringLiteral("Название города") + q,
          QString(4, QLatin1Char(' ')) + QStringLiteral("Пример: Остров - ") + q +
              QStringLiteral("Schallsea") + q + QStringLiteral(","),
          QString(20, QLatin1Char(' ')) + QStringLiteral("город") + QString(3, QLatin1Char(' ')) +
              QStringLiteral("-") + QString(2, QLatin1Char(' ')) + q +
              QStringLiteral("Schallsea, city") + q}},
    };
    for (const Text& t : texts) {
        ASSERT_NE(t.label, nullptr);
        const std::string name = t.label->objectName().toStdString();
        EXPECT_EQ(t.label->parentWidget(), t.parent) << name;
        EXPECT_EQ(t.label->pos(), t.at) << name;
        EXPECT_EQ(t.label->font().bold(), t.bold) << name;
        EXPECT_EQ(t.label->textFormat(), Qt::PlainText) << name;
        EXPECT_FALSE(t.label->autoFillBackground()) << name;
        const QStringList lines = t.label->text().split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), t.lines.size()) << name;
        for (qsizetype i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i], t.lines[i]) << name << " line " << i + 1;
    }
    EXPECT_GE(about_.Label4->width(), 79);
    EXPECT_GE(about_.Label4->height(), 39);
}

TEST_F(AboutWindow, TheBannerIsOurOwnPictureAtItsPlace)
{
    ASSERT_NE(about_.Image2, nullptr);
    EXPECT_EQ(about_.Image2->parentWidget(), about_.GroupBox1);
    EXPECT_EQ(about_.Image2->geometry(), QRect(15, 13, 300, 120));
    const QPixmap banner = about_.Image2->pixmap();
    ASSERT_FALSE(banner.isNull());
    EXPECT_EQ(banner.size(), QSize(300, 120));
    const QImage image = banner.toImage();
    // Not one flat colour: the name and the artwork are drawn on it.
    EXPECT_NE(image.pixel(5, 5), image.pixel(5, 115));
}

TEST_F(AboutWindow, LinksShowTheirAddressesAndEndAtTheirPlaces)
{
    ASSERT_NE(about_.LinkLabel1, nullptr);
    ASSERT_NE(about_.LinkLabel2, nullptr);
    EXPECT_EQ(about_.LinkLabel1->text(), QStringLiteral("https://kelvora.example"));
    EXPECT_EQ(about_.LinkLabel1->target(), QStringLiteral("https://kelvora.example"));
    EXPECT_EQ(about_.LinkLabel2->text(), QStringLiteral("team@kelvora.example"));
    EXPECT_EQ(about_.LinkLabel2->target(), QStringLiteral("mailto:team@kelvora.example"));
    for (LinkLabel* link : {about_.LinkLabel1, about_.LinkLabel2}) {
        EXPECT_EQ(link->parentWidget(), about_.GroupBox1);
        EXPECT_TRUE(link->font().bold());
        EXPECT_EQ(link->geometry().right(), 312);
        EXPECT_EQ(link->height(), 17);
        // The whole link text is inside the label.
        const QFontMetrics metrics(link->font());
        EXPECT_GE(link->linkRect().width(), metrics.horizontalAdvance(link->text()));
    }
    EXPECT_EQ(about_.LinkLabel1->y(), 136);
    EXPECT_LE(about_.LinkLabel1->x(), 160);
    EXPECT_EQ(about_.LinkLabel2->y(), 152);
    EXPECT_LE(about_.LinkLabel2->x(), 232);
}

TEST_F(AboutWindow, OnlyAPressOnTheLinkTextOpensItsTarget)
{
    about_.show();
    press(about_.Label1, QPoint(3, 5));
    press(about_.Label2, QPoint(3, 5));
    EXPECT_TRUE(scripted_.textsOf(ScriptedPrompts::Kind::Link).isEmpty());

    press(about_.LinkLabel1, about_.LinkLabel1->linkRect().center());
    press(about_.LinkLabel2, about_.LinkLabel2->linkRect().center(), Qt::RightButton);
    EXPECT_EQ(scripted_.textsOf(ScriptedPrompts::Kind::Link),
              QStringList({QStringLiteral("https://kelvora.example"),
                           QStringLiteral("mailto:team@kelvora.example")}));
}

TEST(LinkLabel, PointsAndOpensOverItsTextOnly)
{
    ScriptedPrompts scripted;
    Prompts* previous = &prompts();
    setPrompts(&scripted);
    LinkLabel link(QStringLiteral("ab"), QStringLiteral("https://a.example"));
    link.resize(200, 17);
    ASSERT_LT(link.linkRect().right(), 150);

    QMouseEvent over(QEvent::MouseMove, QPointF(link.linkRect().center()),
                     QPointF(link.linkRect().center()), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&link, &over);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    QMouseEvent beside(QEvent::MouseMove, QPointF(180, 8), QPointF(180, 8), Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&link, &beside);
    EXPECT_EQ(link.cursor().shape(), Qt::ArrowCursor);

    QMouseEvent pressBeside(QEvent::MouseButtonPress, QPointF(180, 8), QPointF(180, 8),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&link, &pressBeside);
    EXPECT_TRUE(scripted.textsOf(ScriptedPrompts::Kind::Link).isEmpty());
    setPrompts(previous);
}

TEST(LinkLabel, HandsOverOnlyWebAndMailTargets)
{
    struct Case
    {
        QString target;
        bool opened;
    };
    const Case cases[] = {
        {QStringLiteral("https://kelvora.example"), true},
        {QStringLiteral("ftp://kelvora.example/file"), true},
        {QStringLiteral("mailto:team@kelvora.example"), true},
        {QStringLiteral("team@kelvora.example"), false},
        {QStringLiteral("kelvora.example"), false},
        {QStringLiteral("http:/kelvora.example"), false},
        {QString(), false},
    };
    for (const Case& c : cases) {
        ScriptedPrompts scripted;
        Prompts* previous = &prompts();
        setPrompts(&scripted);
        LinkLabel link(QStringLiteral("link"), c.target);
        link.resize(100, 17);
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(2, 5), QPointF(2, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&link, &event);
        EXPECT_EQ(scripted.textsOf(ScriptedPrompts::Kind::Link).size(), c.opened ? 1 : 0)
            << c.target.toStdString();
        setPrompts(previous);
    }
}

} // namespace
} // namespace kelvora
