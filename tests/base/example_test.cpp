#include "basefile.h"
#include "pointtable.h"

#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

namespace kelvora {
namespace {

// The example base beside the example map holds the places its list names.
TEST(ExampleBase, LoadsWithThePlacesOfItsList)
{
    const QString dir = QStringLiteral(KELVORA_EXAMPLES_DIR);
    QFile list(dir + QStringLiteral("/isle-of-kelvora-places.csv"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    QTextStream in(&list);
    in.setEncoding(QStringConverter::Utf8);
    in.readLine();

    PointTable table(QStringLiteral("PointTable"));
    loadFromFile(table, dir + QStringLiteral("/isle-of-kelvora.Lorvet"), BaseFileFormat());
    int rows = 0;
    for (table.first(); !in.atEnd(); table.next()) {
        const QStringList fields = in.readLine().split(QLatin1Char(';'));
        ASSERT_EQ(fields.size(), 6);
        ASSERT_FALSE(table.eof());
        EXPECT_EQ(table.fieldByName(u"X").asInteger(), fields[0].toInt());
        EXPECT_EQ(table.fieldByName(u"Y").asInteger(), fields[1].toInt());
        EXPECT_EQ(table.fieldByName(u"NAME_EN").asString(), fields[2]);
        EXPECT_EQ(table.fieldByName(u"NAME_RUS").asString(), fields[3]);
        EXPECT_EQ(table.fieldByName(u"DESC").asString(), fields[4]);
        EXPECT_EQ(table.fieldByName(u"OBR").asString().toLower(), fields[5]);
        ++rows;
    }
    EXPECT_EQ(table.recordCount(), rows);
    EXPECT_GT(rows, 0);
}

} // namespace
} // namespace kelvora
