#include "failure.h"
#include "mapgeometry.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kelvora {
namespace {

TEST(MapGeometry, RoundsHalfToEven)
{
    const struct
    {
        long double value;
        int rounded;
    } cases[] = {{0.5L, 0},     {1.5L, 2},     {2.5L, 2},          {3.5L, 4},
                 {-0.5L, 0},    {-1.5L, -2},   {0.49L, 0},         {0.51L, 1},
                 {600.5L, 600}, {500.5L, 500}, {1e30L, 2147483647}};
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(c.value), c.rounded) << static_cast<double>(c.value);
}

TEST(MapGeometry, ConvertsBetweenViewAndImage)
{
    // 1000 x 800 shown at 500 x 400: view (50, 20) is image (100, 40).
    EXPECT_EQ(viewToImage(50, 1000, 500), 100);
    EXPECT_EQ(viewToImage(20, 800, 400), 40);
    // 3 x 1 / 6 = 0.5 rounds to 0.
    EXPECT_EQ(viewToImage(1, 3, 6), 0);
    // 1001 x 1000 / 2000 = 500.5 rounds to 500.
    EXPECT_EQ(imageToView(1001, 2000, 1000), 500);
    // The product of a 50000-pixel picture's coordinates exceeds 32 bits.
    EXPECT_EQ(viewToImage(49999, 50000, 50000), 49999);
    EXPECT_EQ(imageToView(45000, 50000, 50000), 45000);
    EXPECT_THROW(imageToView(10, 0, 0), Failure);
    EXPECT_THROW(viewToImage(10, 100, 0), Failure);
}

TEST(MapGeometry, ZoomSizes)
{
    EXPECT_EQ(zoomHalf(QSize(101, 103)), QSize(50, 52));
    EXPECT_EQ(zoomThreeQuarters(QSize(6, 10)), QSize(4, 8));
    EXPECT_EQ(zoomThreeQuarters(QSize(2, 14)), QSize(2, 10));
    EXPECT_EQ(zoomHalf(QSize(0, 0)), QSize(0, 0));
}

TEST(MapGeometry, Fit)
{
    const QSize client(600, 400);
    const QSize outer(604, 404);
    EXPECT_EQ(fitSize(QSize(1000, 500), client, outer), QSize(600, 300));
    EXPECT_EQ(fitSize(QSize(500, 1000), client, outer), QSize(200, 400));
    // Equal ratios take the height branch.
    EXPECT_EQ(fitSize(QSize(1200, 800), client, outer), QSize(600, 400));
    EXPECT_EQ(fitSize(QSize(1200, 800), client, QSize(700, 404)), QSize(600, 400));
    EXPECT_EQ(fitSize(QSize(0, 0), client, outer), std::nullopt);
    EXPECT_EQ(fitSize(QSize(10, 0), client, outer), std::nullopt);
}

TEST(MapGeometry, MarkerPlacement)
{
    struct Case
    {
        const char* what;
        int point, client, range;
        int position, offset;
    };
    // The position is what the clamp leaves of the centred one.
    const Case cases[] = {
        {"2000 wide, centred on 1000", 1000, 800, 2000, 600, 375},
        {"1500 high, centred on 700", 700, 600, 1500, 400, 275},
        {"2000 wide, 1900 clamped at the end", 1900, 800, 2000, 1200, 675},
        {"1500 high, 100 clamped at the start", 100, 600, 1500, 0, 75},
        {"801-wide client", 1001, 801, 2000, 600, 375},
        {"picture smaller than the client", 120, 800, 300, 0, 95},
        {"point at the origin", 0, 800, 2000, 0, -25},
    };
    for (const Case& c : cases) {
        const int wanted = centredPosition(c.point, c.client);
        const int position = std::clamp(wanted, 0, std::max(0, c.range - c.client));
        EXPECT_EQ(position, c.position) << c.what;
        EXPECT_EQ(markerOffset({c.point, c.client, position, c.range}), c.offset) << c.what;
    }
}

TEST(MapGeometry, Texts)
{
    EXPECT_EQ(proximityFilterText(120, 45, 10),
              QStringLiteral("(X-120)*(X-120)+(Y-45)*(Y-45)<=100"));
    EXPECT_EQ(proximityFilterText(0, 7, 0), QStringLiteral("(X-0)*(X-0)+(Y-7)*(Y-7)<=0"));
    EXPECT_EQ(addPointQuestion(100, 40), QStringLiteral("Хотите добавить в базу точку 100 x 40?"));
    EXPECT_EQ(sizeLabel(2000, 1500), QStringLiteral("2000 x 1500"));
}

TEST(MapGeometry, SameNamedBasePath)
{
    const QString exe = QStringLiteral("/opt/k/");
    const struct
    {
        const char* picture;
        bool beside;
        const char* directory;
        const char* base;
    } cases[] = {
        {"/maps/a.jpg.jpg", true, "", "/maps/a.Lorvet"},
        {"/maps/map.JPG", true, "/else", "/maps/map.Lorvet"},
        {"/maps/map.jpg", false, "/opt/k/bases", "/opt/k/bases/map.Lorvet"},
        {"/maps/map.jpg", false, "/b/", "/b/map.Lorvet"},
        {"/maps/map.jpg", false, "", "/opt/k/map.Lorvet"},
        {"/maps/map.jpg", false, " \t ", "/opt/k/map.Lorvet"},
        {"/maps/x.gif.bmp", false, " d", " d/x.gif.Lorvet"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sameNamedBasePath(QString::fromUtf8(c.picture), c.beside,
                                    QString::fromUtf8(c.directory), exe),
                  QString::fromUtf8(c.base))
            << c.picture;
}

TEST(MapGeometry, OpenPictureFilter)
{
    const QString all = QStringLiteral("*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf");
    EXPECT_EQ(openPictureFilter(),
              QStringLiteral("All (") + all + QStringLiteral(")|") + all +
                  QStringLiteral("|CompuServe GIF Image (*.gif)|*.gif|JPEG Image File (*.jpg)|*.jpg"
                                 "|JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp"
                                 "|Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf"
                                 "|Metafiles (*.wmf)|*.wmf"));
}

} // namespace
} // namespace kelvora
