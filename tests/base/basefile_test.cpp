#include "basefile.h"
#include "failure.h"
#include "pointtable.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

QT_BEGIN_NAMESPACE
// Readable failure output for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace kelvora {
namespace {

// Builds base file bytes by hand, independently of the writer.
struct Bytes
{
    QByteArray data;

    Bytes& hex(const char* text)
    {
        data += QByteArray::fromHex(text);
        return *this;
    }
    Bytes& str(const QByteArray& ascii)
    {
        data += char(0x06);
        data += char(ascii.size());
        data += ascii;
        return *this;
    }
    Bytes& byte(int value)
    {
        data += char(value);
        return *this;
    }
    // One definition entry of the current version.
    Bytes& def(const QByteArray& name, const QByteArray& type, const char* size, const char* width)
    {
        return str(name)
            .str(type)
            .hex(size)
            .str(name)
            .hex("0600")
            .hex(width)
            .hex("0808")
            .str("Data")
            .hex("0600");
    }
    Bytes& pointDefs()
    {
        return hex("01")
            .def("X", "Integer", "0200", "020A")
            .def("Y", "Integer", "0200", "020A")
            .def("NAME_EN", "String", "03FF00", "03FF00")
            .def("NAME_RUS", "String", "03FF00", "03FF00")
            .def("DESC", "Memo", "0200", "020A")
            .def("OBR", "Boolean", "0200", "0205")
            .hex("00");
    }
};

const QString closedMessage = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString readError = QStringLiteral("Stream read error");
const QString badValue = QStringLiteral("Invalid property value");

QString failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const DatabaseError& error) {
        return error.message();
    }
    return QStringLiteral("<no failure>");
}

class BaseFileTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    QByteArray saved(PointTable& source, const QString& name = QStringLiteral("saved.Lorvet"))
    {
        saveToFile(source, path(name), format);
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("input.Lorvet"))
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path(name);
    }
    // Loads `bytes` into `target`; returns the failure's message, or empty.
    QString load(const QByteArray& bytes, PointTable& target)
    {
        const QString file = write(bytes);
        try {
            loadFromFile(target, file, format);
        } catch (const DatabaseError& error) {
            return error.message();
        }
        return {};
    }

    struct Point
    {
        std::optional<int> x, y;
        std::optional<QString> nameEn, nameRus, desc;
        std::optional<bool> obr;
    };
    static void add(PointTable& target, const Point& point)
    {
        target.append();
        if (point.x)
            target.fieldByName(u"X").setAsInteger(*point.x);
        if (point.y)
            target.fieldByName(u"Y").setAsInteger(*point.y);
        if (point.nameEn)
            target.fieldByName(u"NAME_EN").setAsString(*point.nameEn);
        if (point.nameRus)
            target.fieldByName(u"NAME_RUS").setAsString(*point.nameRus);
        if (point.desc)
            target.fieldByName(u"DESC").setAsString(*point.desc);
        if (point.obr)
            target.fieldByName(u"OBR").setAsBoolean(*point.obr);
        target.post();
    }
    // Every stored record of the row order, field by field as text ("<null>" for null).
    static QStringList dump(const PointTable& source)
    {
        QStringList rows;
        const RecordStore& store = source.store();
        for (const Slot slot : source.rowOrder()) {
            QStringList values{QString::number(store.status(slot))};
            for (int field = 0; field < source.fieldCount(); ++field) {
                if (store.isNull(field, slot)) {
                    values << QStringLiteral("<null>");
                    continue;
                }
                switch (store.field(field).type) {
                case FieldType::Integer:
                    values << QString::number(store.integer(field, slot));
                    break;
                case FieldType::Boolean:
                    values << (store.boolean(field, slot) ? QStringLiteral("T")
                                                          : QStringLiteral("F"));
                    break;
                case FieldType::Float:
                    values << QString::number(store.real(field, slot), 'g',
                                              QLocale::FloatingPointShortest);
                    break;
                case FieldType::String:
                case FieldType::Memo:
                    values << QLatin1Char('"') + store.text(field, slot).toString() +
                                  QLatin1Char('"');
                    break;
                }
            }
            rows << values.join(QLatin1Char('|'));
        }
        return rows;
    }
    static QStringList fieldNames(const PointTable& source)
    {
        QStringList names;
        for (const FieldDef& def : source.fields())
            names << def.name + QLatin1Char(':') + def.typeName + QLatin1Char(':') +
                         QString::number(def.size);
        return names;
    }

    QTemporaryDir dir;
    BaseFileFormat format;
    PointTable table{QStringLiteral("PointTable")};
    PointTable loaded{QStringLiteral("IMPBase")};
};

QByteArray workedExample()
{
    Bytes b;
    b.hex("54504630 03FB00").pointDefs().hex("0100 01");
    b.hex("01 0200 080205 08032C01 0806024131");
    b.hex("0814 0A000000 D09FD183D0BDD0BAD182 09 0808 00 00");
    return b.data;
}

TEST_F(BaseFileTest, WorkedExampleIsWrittenByteForByteAndLoadsBack)
{
    table.open();
    add(table, {5, 300, QStringLiteral("A1"), QStringLiteral("Пункт"), {}, false});
    const QByteArray bytes = saved(table);
    EXPECT_EQ(bytes.size(), 269);
    EXPECT_EQ(bytes.toHex(' '), workedExample().toHex(' '));

    ASSERT_EQ(load(bytes, loaded), QString());
    EXPECT_EQ(loaded.state(), PointTable::State::Browse);
    EXPECT_EQ(fieldNames(loaded), fieldNames(table));
    EXPECT_EQ(dump(loaded), QStringList{QStringLiteral("0|5|300|\"A1\"|\"Пункт\"|<null>|F")});
    EXPECT_EQ(loaded.fieldByName(u"NAME_RUS").asString(), QStringLiteral("Пункт"));
    EXPECT_EQ(loaded.fields()[2].displayName(), QStringLiteral("NAME_EN"));
    EXPECT_EQ(loaded.fields()[2].effectiveDisplayWidth(), 255);
    // Saving what was loaded gives the same file again.
    EXPECT_EQ(saved(loaded, QStringLiteral("again.Lorvet")), bytes);
}

TEST_F(BaseFileTest, EmptyTableIs234Bytes)
{
    table.open();
    Bytes expected;
    expected.hex("54504630 03FB00").pointDefs().hex("0100 0100");
    const QByteArray bytes = saved(table);
    EXPECT_EQ(bytes.size(), 234);
    EXPECT_EQ(bytes.toHex(' '), expected.data.toHex(' '));
    // Saving twice without changes gives identical files.
    EXPECT_EQ(saved(table, QStringLiteral("twice.Lorvet")), bytes);
}

// The bytes of the first record's fields after the status (01 02 00 ...), up to its end.
QByteArray recordBody(const QByteArray& file)
{
    return file.mid(0xEC, file.size() - 0xEC - 2);
}

TEST_F(BaseFileTest, IntegersTakeTheShortestTag)
{
    const struct
    {
        int value;
        const char* bytes;
    } cases[] = {
        {0, "0200"},
        {127, "027F"},
        {-128, "0280"},
        {128, "038000"},
        {-129, "037FFF"},
        {32767, "03FF7F"},
        {-32768, "030080"},
        {32768, "0400800000"},
        {40000, "04409C0000"},
        {-32769, "04FF7FFFFF"},
        {2147483647, "04FFFFFF7F"},
        {-2147483647 - 1, "0400000080"},
    };
    for (const auto& c : cases) {
        PointTable source(QStringLiteral("T"));
        source.open();
        add(source, {c.value, {}, {}, {}, {}, {}});
        const QByteArray body = recordBody(saved(source));
        const QByteArray expected = QByteArray::fromHex("08") + QByteArray::fromHex(c.bytes) +
                                    QByteArray::fromHex("0909090909");
        EXPECT_EQ(body.toHex(' '), expected.toHex(' ')) << c.value;
        ASSERT_EQ(load(saved(source), loaded), QString());
        EXPECT_EQ(loaded.fieldByName(u"X").asInteger(), c.value);
    }
}

TEST_F(BaseFileTest, TextsTakeTheirTagByTheAsciiRule)
{
    const struct
    {
        QString desc;
        QByteArray bytes; // DESC's items
    } cases[] = {
        {QString(255, QLatin1Char('a')), QByteArray::fromHex("0806FF") + QByteArray(255, 'a')},
        {QString(256, QLatin1Char('b')),
         QByteArray::fromHex("080C00010000") + QByteArray(256, 'b')},
        {QStringLiteral("é"), QByteArray::fromHex("081402000000C3A9")},
        {QStringLiteral("Ж1"), QByteArray::fromHex("081403000000D09631")},
        {QStringLiteral("\U0001F600"), QByteArray::fromHex("081404000000F09F9880")},
        {QString(), QByteArray::fromHex("09")},
        {QStringLiteral(""), QByteArray::fromHex("09")},
    };
    for (const auto& c : cases) {
        PointTable source(QStringLiteral("T"));
        source.open();
        add(source, {{}, {}, QStringLiteral(""), {}, c.desc, {}});
        const QByteArray expected =
            QByteArray::fromHex("090908060009") + c.bytes + QByteArray::fromHex("09");
        EXPECT_EQ(recordBody(saved(source)).toHex(' '), expected.toHex(' '))
            << c.desc.toStdString();
        ASSERT_EQ(load(saved(source), loaded), QString());
        EXPECT_FALSE(loaded.fieldByName(u"NAME_EN").isNull());
        EXPECT_EQ(loaded.fieldByName(u"DESC").isNull(), c.desc.isEmpty());
        EXPECT_EQ(loaded.fieldByName(u"DESC").asString(), c.desc);
    }
}

TEST_F(BaseFileTest, RoundTripKeepsNullsEmptyTextsAndOrder)
{
    table.open();
    add(table, {});
    add(table, {-1, 70000, QStringLiteral(""), QStringLiteral("Москва"), QStringLiteral(""), true});
    add(table,
        {1, 2, QStringLiteral("Latin"), QStringLiteral(""), QString(5000, QChar(0x416)), false});
    add(table, {{}, 3, QString(300, QLatin1Char('z')), {}, QStringLiteral("line\r\nnext"), {}});
    const QByteArray bytes = saved(table);
    ASSERT_EQ(load(bytes, loaded), QString());
    EXPECT_EQ(dump(loaded), dump(table));
    EXPECT_EQ(dump(loaded)[0], QStringLiteral("0|<null>|<null>|<null>|<null>|<null>|<null>"));
    EXPECT_EQ(dump(loaded)[1], QStringLiteral("0|-1|70000|\"\"|\"Москва\"|<null>|T"));
    EXPECT_EQ(loaded.fieldByName(u"X").isNull(), true); // the first record is current
    EXPECT_EQ(saved(loaded, QStringLiteral("again.Lorvet")), bytes);
}

TEST_F(BaseFileTest, EightBitTextIsReadAsWindows1251AndWideTextAsUtf16)
{
    Bytes b;
    b.hex("54504630 03FB00 01").def("NAME", "String", "0205", "0205").hex("00 0100 01");
    b.hex("01 0200 08 0603 CFF3ED").hex("00"); // "Пун", cut to 5 leaves it whole
    b.hex("01 0200 08 12 03000000 1F04 4304 3D04").hex("00");
    b.hex("01 0200 08 0C 07000000 41424344454647").hex("00"); // cut to 5
    b.hex("00");
    ASSERT_EQ(load(b.data, loaded), QString());
    EXPECT_EQ(dump(loaded), (QStringList{QStringLiteral("0|\"Пун\""), QStringLiteral("0|\"Пун\""),
                                         QStringLiteral("0|\"ABCDE\"")}));
}

TEST_F(BaseFileTest, Utf8TextDecodesAsQtDecodesIt)
{
    // Valid text of one- to four-byte forms, and malformed bytes mixed in.
    QRandomGenerator random(3);
    std::vector<QByteArray> texts{QByteArray("\xEF\xBB\xBF"
                                             "bom"),
                                  QByteArray("\xC0\x80"), QByteArray("\xED\xA0\x80"),
                                  QByteArray("\xE2\x84"), QByteArray("\xF0\x9F\x98\x80 \xD0")};
    const char32_t ranges[] = {0x41, 0x416, 0x2116, 0xFFFD, 0x1F600};
    for (int i = 0; i < 500; ++i) {
        QString text;
        for (int c = 1 + int(random.bounded(12)); c > 0; --c) {
            const char32_t code = ranges[random.bounded(5)] + char32_t(random.bounded(40));
            text += QString::fromUcs4(&code, 1);
        }
        QByteArray bytes = text.toUtf8();
        if (i % 4 == 0)
            bytes[int(random.bounded(int(bytes.size())))] = char(random.bounded(256));
        texts.push_back(bytes);
    }
    Bytes b;
    b.hex("54504630 03FB00 01").def("M", "Memo", "0200", "020A").hex("00 0100 01");
    for (const QByteArray& text : texts) {
        b.hex("01 0200 08 14");
        for (int shift = 0; shift < 32; shift += 8)
            b.byte(int(text.size() >> shift) & 0xFF);
        b.data += text;
        b.hex("00");
    }
    b.hex("00");
    ASSERT_EQ(load(b.data, loaded), QString());
    ASSERT_EQ(loaded.rowOrder().size(), texts.size());
    // A leading byte order mark is kept as a character, not dropped.
    for (std::size_t i = 0; i < texts.size(); ++i) {
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless |
                                   QStringConverter::Flag::ConvertInitialBom);
        const QString expected = decoder.decode(texts[i]);
        EXPECT_EQ(loaded.store().text(0, loaded.rowOrder()[i]).toString(), expected)
            << texts[i].toHex().toStdString();
    }
    EXPECT_EQ(loaded.store().text(0, loaded.rowOrder()[0]), QStringView(u"\uFEFFbom"));
}

// A two-field base (X Integer, NAME String(10)) with two records, laid out as
// `version` lays it out; the second record has a null NAME where null flags exist.
QByteArray olderFile(int version)
{
    Bytes b;
    b.hex("54504630");
    if (version != 100)
        b.hex("03").byte(version & 0xFF).byte(version >> 8);
    auto def = [&](const QByteArray& name, const QByteArray& type, const char* size) {
        b.str(name).str(type).hex(size).str(name).hex("0600").hex("020A").hex("0808");
        if (version >= 250)
            b.str("Data");
        if (version >= 251)
            b.hex("0600");
    };
    b.hex("01");
    def("X", "Integer", "0200");
    def("NAME", "String", "020A");
    b.hex("00");
    if (version >= 200)
        b.hex("0100");
    b.hex("01");
    for (int record = 0; record < 2; ++record) {
        if (version >= 230)
            b.hex("01 0200");
        if (version >= 249)
            b.hex("08");
        b.hex(record == 0 ? "0207" : "03E803");
        if (version >= 249)
            b.hex(record == 0 ? "08" : "09");
        if (record == 0 || version < 249)
            b.str("one");
        if (version >= 230)
            b.hex("00");
    }
    b.hex("00");
    return b.data;
}

TEST_F(BaseFileTest, OlderVersionsLoad)
{
    for (const int version : {100, 199, 200, 229, 230, 248, 249, 250, 251}) {
        PointTable target(QStringLiteral("T"));
        ASSERT_EQ(load(olderFile(version), target), QString()) << version;
        EXPECT_EQ(fieldNames(target),
                  (QStringList{QStringLiteral("X:Integer:0"), QStringLiteral("NAME:String:10")}))
            << version;
        const QString second =
            version >= 249 ? QStringLiteral("0|1000|<null>") : QStringLiteral("0|1000|\"one\"");
        EXPECT_EQ(dump(target), (QStringList{QStringLiteral("0|7|\"one\""), second})) << version;
        EXPECT_EQ(target.fields()[1].kind, QStringLiteral("Data"));
    }
}

TEST_F(BaseFileTest, LaterStatusGroupsOfARecordAreDropped)
{
    Bytes b;
    b.hex("54504630 03FB00 01")
        .def("X", "Integer", "0200", "020A")
        .def("N", "String", "020A", "020A");
    b.hex("00 0100 01");
    // Status 1 with 5 and "first", then two older groups of the same record.
    b.hex("01 0201 0802 05 08").str("first").hex("0200 0802 06 08").str("older").hex("0201 09 08");
    b.str("oldest").hex("00");
    b.hex("01 0200 0802 08 09 00 00");
    ASSERT_EQ(load(b.data, loaded), QString());
    EXPECT_EQ(dump(loaded),
              (QStringList{QStringLiteral("1|5|\"first\""), QStringLiteral("0|8|<null>")}));
}

TEST_F(BaseFileTest, EveryAcceptedTypeLoadsAndSavesBack)
{
    Bytes b;
    b.hex("54504630 03FB00 01");
    const char* names[] = {"SmallInt",  "Word",       "AutoInc",  "Float",        "LargeInt",
                           "Currency",  "BCD",        "Date",     "Time",         "DateTime",
                           "FixedChar", "Bytes",      "VarBytes", "Blob",         "Graphic",
                           "FmtMemo",   "ParadoxOle", "dBaseOle", "TypedBinary",  "ADT",
                           "Array",     "HugeBlob",   "HugeClob", "SQLTimeStamp", "FMTBcdField"};
    for (const char* name : names) {
        const bool fixed = std::strcmp(name, "SmallInt") == 0 || std::strcmp(name, "Word") == 0 ||
                           std::strcmp(name, "AutoInc") == 0;
        b.def(QByteArray("F_") + name, name, fixed ? "0200" : "0204", "020A");
    }
    b.hex("00 0100 01 01 0200");
    b.hex("08 0285 08 03FFFF 08 0201");  // integers: -123, -1, 1
    b.hex("08 05 00000000000000C0FF3F"); // Float 1.5
    b.hex("08 13 0000000000000080");     // LargeInt as a 64-bit integer: -2^63
    b.hex("08 05 ");                     // Currency 1.23456 -> 1.2346
    {
        // 1.23456 as an extended value, built from the double.
        const double value = 1.23456;
        std::uint64_t bits;
        std::memcpy(&bits, &value, 8);
        const std::uint64_t mantissa = 0x8000000000000000ull | (bits & 0xFFFFFFFFFFFFFull) << 11;
        const unsigned exponent = unsigned((bits >> 52) & 0x7FF) - 1023 + 16383;
        for (int i = 0; i < 8; ++i)
            b.byte(int(mantissa >> (8 * i)) & 0xFF);
        b.byte(int(exponent & 0xFF)).byte(int(exponent >> 8));
    }
    b.hex("08 03 2C01");                     // BCD 300
    b.hex("08 0200 08 0201 08 04 80A90000"); // Date 0 -> null, Time 1, DateTime 43392
    b.hex("08 0606 616263646566 08 0600");   // FixedChar cut to its size 4; empty Bytes -> null
    for (int i = 0; i < 13; ++i)
        b.hex("09");
    b.hex("00 00");
    ASSERT_EQ(load(b.data, loaded), QString());
    ASSERT_EQ(loaded.fieldCount(), 25);
    EXPECT_EQ(loaded.fields()[0].type, FieldType::Integer);
    EXPECT_EQ(loaded.fields()[3].type, FieldType::Float);
    EXPECT_EQ(loaded.fields()[7].typeName, QStringLiteral("Date"));
    EXPECT_EQ(loaded.fields()[10].type, FieldType::String);
    EXPECT_EQ(loaded.fields()[11].type, FieldType::Memo);
    EXPECT_EQ(dump(loaded)[0],
              QStringLiteral("0|-123|-1|1|1.5|-9223372036854776000|1.2346|300|<null>|1|"
                             "43392|\"abcd\"|<null>|<null>|<null>|<null>|<null>|<null>|"
                             "<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>"));
    // The held types keep their names, so the table saves back what it loaded.
    const QByteArray again = saved(loaded);
    PointTable third(QStringLiteral("T"));
    ASSERT_EQ(load(again, third), QString());
    EXPECT_EQ(fieldNames(third), fieldNames(loaded));
    EXPECT_EQ(dump(third), dump(loaded));
}

TEST_F(BaseFileTest, ExtendedValuesRoundToTheNearestDouble)
{
    // Random patterns over the whole exponent range, the subnormal edge and
    // the overflow edge; the machine's long double (when it is the 80-bit
    // format) is the oracle.
    if (LDBL_MANT_DIG != 64)
        GTEST_SKIP() << "long double is not the 80-bit format here";
    QRandomGenerator random(42);
    std::vector<std::array<std::uint8_t, 10>> patterns;
    const int exponents[] = {0,
                             1,
                             16383 - 1022 - 64,
                             16383 - 1075,
                             16383 - 1074,
                             16383 - 1076,
                             16383 - 1022,
                             16383 - 1023,
                             16383,
                             16383 + 1023,
                             16383 + 1024,
                             0x7FFE};
    for (int i = 0; i < 4000; ++i) {
        std::array<std::uint8_t, 10> bytes{};
        std::uint64_t mantissa = random.generate64() | 0x8000000000000000ull;
        if (i % 3 == 0)
            mantissa &=
                ~((std::uint64_t(1) << (random.bounded(63))) - 1); // ties and short mantissas
        unsigned exponent = i < 2000 ? exponents[i % 12] + unsigned(random.bounded(3)) - 1
                                     : unsigned(random.bounded(0x7FFF));
        exponent &= 0x7FFF;
        if (exponent == 0x7FFF)
            exponent = 0x7FFE;
        if (exponent == 0)
            mantissa &= 0x7FFFFFFFFFFFFFFFull;
        if (random.bounded(2))
            exponent |= 0x8000;
        std::memcpy(bytes.data(), &mantissa, 8);
        bytes[8] = std::uint8_t(exponent);
        bytes[9] = std::uint8_t(exponent >> 8);
        patterns.push_back(bytes);
    }
    Bytes b;
    b.hex("54504630 03FB00 01").def("F", "Float", "0200", "020A").hex("00 0100 01");
    for (const auto& bytes : patterns) {
        b.hex("01 0200 08 05");
        b.data.append(reinterpret_cast<const char*>(bytes.data()), 10);
        b.hex("00");
    }
    b.hex("00");
    ASSERT_EQ(load(b.data, loaded), QString());
    ASSERT_EQ(loaded.store().slotCount(), patterns.size());
    int mismatches = 0;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        long double wide = 0;
        std::memcpy(&wide, patterns[i].data(), 10);
        const double expected = double(wide);
        const double got = loaded.store().real(0, loaded.rowOrder()[i]);
        if (std::memcmp(&expected, &got, 8) != 0 && ++mismatches < 5)
            ADD_FAILURE() << "pattern " << i << ": " << got << " != " << expected;
    }
    EXPECT_EQ(mismatches, 0);

    // Every double, special values included, survives a save and a load.
    PointTable again(QStringLiteral("T"));
    const double specials[] = {0.0,      -0.0,     1e-310,    -4.9e-324, DBL_MIN,    DBL_MAX,
                               -DBL_MAX, HUGE_VAL, -HUGE_VAL, 0.1,       -123456.789};
    ASSERT_EQ(load(b.data, again), QString());
    for (const double value : specials) {
        again.append();
        again.fieldByName(u"F").setAsFloat(value);
        again.post();
    }
    const QByteArray bytes = saved(again);
    PointTable back(QStringLiteral("T"));
    ASSERT_EQ(load(bytes, back), QString());
    ASSERT_EQ(back.store().slotCount(), again.store().slotCount());
    for (std::size_t i = 0; i < back.rowOrder().size(); ++i) {
        const double a = again.store().real(0, again.rowOrder()[i]);
        const double c = back.store().real(0, back.rowOrder()[i]);
        EXPECT_EQ(std::memcmp(&a, &c, 8), 0) << a;
    }
}

TEST_F(BaseFileTest, DefinitionFailuresKeepTheFieldsBeforeThem)
{
    auto file = [](const char* secondType, const char* secondSize, const QByteArray& secondName) {
        Bytes b;
        b.hex("54504630 03FB00 01").def("X", "Integer", "0200", "020A");
        b.def(secondName, secondType, secondSize, "020A").hex("00 0100 0100");
        return b.data;
    };
    const struct
    {
        QByteArray bytes;
        QString message;
    } cases[] = {
        {file("Guid", "0200", "G"), QStringLiteral("Unknown field type (Guid)")},
        {file("WideString", "0200", "G"), QStringLiteral("Unknown field type (WideString)")},
        {file("integer", "0200", "G"), QStringLiteral("Unknown field type (integer)")},
        {file("Integer", "0200", ""), QStringLiteral("Field name missing")},
        {file("Integer", "0200", "x"), QStringLiteral("A component named x already exists")},
        {file("Integer", "0204", "G"), QStringLiteral("Invalid field size")},
        {file("Boolean", "0201", "G"), QStringLiteral("Invalid field size")},
        {file("String", "02FF", "G"), QStringLiteral("Invalid field size")},
    };
    for (const auto& c : cases) {
        PointTable target(QStringLiteral("T"));
        target.open();
        add(target, {1, 2, {}, {}, {}, {}});
        EXPECT_EQ(load(c.bytes, target), c.message);
        EXPECT_TRUE(target.isOpen());
        EXPECT_EQ(fieldNames(target), QStringList{QStringLiteral("X:Integer:0")})
            << c.message.toStdString();
        EXPECT_EQ(target.store().slotCount(), 0u);
    }
    for (const char* refused : {"Unknown", "Cursor", "WideString", "Reference", "DataSet",
                                "Variant", "Interface", "Dispatch", "Guid"}) {
        Bytes b;
        b.hex("54504630 03FB00 01").def("X", refused, "0200", "020A").hex("00 0100 0100");
        PointTable target(QStringLiteral("T"));
        target.open();
        EXPECT_EQ(load(b.data, target), QStringLiteral("There must be at least one field"))
            << refused;
        EXPECT_FALSE(target.isOpen());
        EXPECT_EQ(target.fieldCount(), 0);
    }
    Bytes badSize;
    badSize.hex("54504630 03FB00 01").def("X", "Integer", "0201", "020A").hex("00 0100 0100");
    EXPECT_EQ(load(badSize.data, table), QStringLiteral("Invalid field size"));
    EXPECT_FALSE(table.isOpen());
    EXPECT_EQ(table.fieldCount(), 0);
}

TEST_F(BaseFileTest, HeaderFailuresLeaveTheTableUntouched)
{
    const struct
    {
        QByteArray bytes;
        QString message;
    } cases[] = {
        {QByteArray(), readError},
        {QByteArray("TPF"), readError},
        {QByteArray("TPF0"), readError},
        {QByteArray::fromHex("5450463003FB"), readError},
        {QByteArray("TPF1\x03\xFB\x00", 7), QStringLiteral("Invalid stream format")},
        {QByteArray("<html>"), QStringLiteral("Invalid stream format")},
        {QByteArray::fromHex("54504630 0603323531"), badValue},
        {QByteArray::fromHex("54504630 08"), badValue},
    };
    for (const auto& c : cases) {
        PointTable target(QStringLiteral("T"));
        target.open();
        add(target, {1, 2, QStringLiteral("a"), {}, {}, true});
        add(target, {3, 4, QStringLiteral("b"), {}, {}, false});
        target.next();
        target.edit();
        target.fieldByName(u"X").setAsInteger(9);
        QSignalSpy resets(&target, &PointTable::reset);
        EXPECT_EQ(load(c.bytes, target), c.message) << c.bytes.toHex().toStdString();
        EXPECT_EQ(target.state(), PointTable::State::Edit);
        EXPECT_EQ(target.fieldByName(u"X").asInteger(), 9);
        EXPECT_EQ(dump(target).size(), 2);
        EXPECT_EQ(fieldNames(target).size(), 6);
        EXPECT_EQ(resets.count(), 0);
    }
    PointTable closed(QStringLiteral("T"));
    EXPECT_EQ(
        failureOf([&] { loadFromFile(closed, path(QStringLiteral("missing.Lorvet")), format); }),
        QStringLiteral("Cannot open file \"%1\". No such file or directory")
            .arg(path(QStringLiteral("missing.Lorvet"))));
    EXPECT_EQ(failureOf([&] { loadFromFile(closed, dir.path(), format); }),
              QStringLiteral("Cannot open file \"%1\". Is a directory").arg(dir.path()));
    // A pipe without a writer must not hang the load.
    const QString pipe = path(QStringLiteral("pipe.Lorvet"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(failureOf([&] { loadFromFile(closed, pipe, format); }),
              QStringLiteral("Cannot open file \"%1\". Invalid argument").arg(pipe));
    EXPECT_FALSE(closed.isOpen());
    EXPECT_EQ(closed.fieldCount(), 6);
}

TEST_F(BaseFileTest, BadValuesKeepTheRecordsReadBefore)
{
    auto withRecords = [](const char* tail) {
        Bytes b;
        b.hex("54504630 03FB00 01")
            .def("X", "Integer", "0200", "020A")
            .def("N", "String", "0205", "0205");
        b.hex("00 0100 01  01 0200 08 0201 08 0600 00").hex(tail);
        return b.data;
    };
    const struct
    {
        const char* tail;
        QString message;
    } cases[] = {
        {"01 0200 08 0601 00", badValue},              // text where an integer belongs
        {"01 0200 08 0202 08 0202", badValue},         // integer where a text belongs
        {"02 00", badValue},                           // a record that is not a list
        {"01 0600", badValue},                         // a status that is not an integer
        {"01 02FF 09 09 00", badValue},                // a status no record can have
        {"01 0200 08 0202 08 14 FFFFFF7F", readError}, // a length beyond the file
        {"01 0200 08 0202 08 0C 10000000 4142", readError},
        {"01 0200 08 0202 08 12 FFFFFFFF", readError},
        {"01 0200 08 0202 08 0601 41", readError}, // the file ends inside the record
        {"", readError},
    };
    for (const auto& c : cases) {
        PointTable target(QStringLiteral("T"));
        QSignalSpy resets(&target, &PointTable::reset);
        EXPECT_EQ(load(withRecords(c.tail), target), c.message) << c.tail;
        EXPECT_EQ(target.state(), PointTable::State::Browse);
        EXPECT_EQ(dump(target), QStringList{QStringLiteral("0|1|\"\"")}) << c.tail;
        EXPECT_EQ(target.fieldByName(u"X").asInteger(), 1); // the first record is current
        EXPECT_EQ(resets.count(), 1);
    }
}

TEST_F(BaseFileTest, ATruncatedFileFailsCleanlyAtEveryOffset)
{
    table.open();
    add(table, {5, 300, QStringLiteral("A1"), QStringLiteral("Пункт"), {}, false});
    add(table, {-7, 40000, QStringLiteral(""), {}, QString(300, QLatin1Char('d')), true});
    add(table, {});
    const QByteArray full = saved(table);

    // Where each definition entry and each record ends: files with fewer fields or records.
    std::vector<qsizetype> entryEnds;
    for (int fields = 1; fields <= 6; ++fields) {
        PointTable part(QStringLiteral("T"));
        std::vector<FieldDef> defs = pointFields();
        defs.resize(std::size_t(fields));
        part.setFields(defs);
        part.open();
        entryEnds.push_back(saved(part, QStringLiteral("part.Lorvet")).size() - 5);
    }
    std::vector<qsizetype> recordEnds;
    {
        PointTable part(QStringLiteral("T"));
        part.open();
        recordEnds.push_back(-1);
        add(part, {5, 300, QStringLiteral("A1"), QStringLiteral("Пункт"), {}, false});
        recordEnds[0] = saved(part, QStringLiteral("part.Lorvet")).size() - 1;
        add(part, {-7, 40000, QStringLiteral(""), {}, QString(300, QLatin1Char('d')), true});
        recordEnds.push_back(saved(part, QStringLiteral("part.Lorvet")).size() - 1);
        add(part, {});
        recordEnds.push_back(saved(part, QStringLiteral("part.Lorvet")).size() - 1);
    }
    ASSERT_EQ(recordEnds.back(), full.size() - 1);
    const QStringList allRows = dump(table);

    for (qsizetype cut = 0; cut < full.size(); ++cut) {
        PointTable target(QStringLiteral("T"));
        target.open();
        add(target, {1, 1, {}, {}, {}, {}});
        const QString message = load(full.left(cut), target);
        const std::string where = "cut at " + std::to_string(cut);
        if (cut <= 8) {
            // Inside the header or before the first entry: nothing changed.
            EXPECT_EQ(message, readError) << where;
            EXPECT_TRUE(target.isOpen()) << where;
            EXPECT_EQ(dump(target).size(), 1) << where;
        } else if (cut < entryEnds[0]) {
            EXPECT_EQ(message, QStringLiteral("There must be at least one field")) << where;
            EXPECT_FALSE(target.isOpen()) << where;
            EXPECT_EQ(target.fieldCount(), 0) << where;
        } else {
            EXPECT_EQ(message, readError) << where;
            EXPECT_TRUE(target.isOpen()) << where;
            const int fields = int(std::count_if(entryEnds.begin(), entryEnds.end(),
                                                 [&](qsizetype end) { return end <= cut; }));
            EXPECT_EQ(target.fieldCount(), fields) << where;
            const int records = int(std::count_if(recordEnds.begin(), recordEnds.end(),
                                                  [&](qsizetype end) { return end <= cut; }));
            EXPECT_EQ(dump(target), allRows.mid(0, records)) << where;
            EXPECT_EQ(target.currentSlot() >= 0, records > 0) << where;
        }
    }
}

TEST_F(BaseFileTest, AnEmptyDefinitionSectionKeepsTheFields)
{
    Bytes b;
    b.hex("54504630 03FB00 0100 0100 01 01 0200 08 0209 09 09 09 09 09 00 00");
    table.open();
    add(table, {1, 1, {}, {}, {}, {}});
    ASSERT_EQ(load(b.data, table), QString());
    EXPECT_EQ(dump(table).size(), 2);
    EXPECT_EQ(dump(table)[1], QStringLiteral("0|9|<null>|<null>|<null>|<null>|<null>"));
    PointTable closed(QStringLiteral("T"));
    EXPECT_EQ(load(b.data, closed), closedMessage);
    EXPECT_FALSE(closed.isOpen());
}

TEST_F(BaseFileTest, SaveWritesStoredValuesInTheCurrentOrderAndSkipsDeleted)
{
    // A loaded record with status 3 is never visible and never saved.
    Bytes b;
    b.hex("54504630 03FB00").pointDefs().hex("0100 01");
    b.hex("01 0200 08 0201 09 09 09 09 09 00");
    b.hex("01 0203 08 0202 09 09 09 09 09 00");
    b.hex("01 0202 08 0203 09 09 09 09 09 00 00");
    ASSERT_EQ(load(b.data, table), QString());
    EXPECT_EQ(table.recordCount(), 2);

    // An edit in progress is saved with the stored values and stays pending.
    table.edit();
    table.fieldByName(u"X").setAsInteger(100);
    PointTable back(QStringLiteral("T"));
    ASSERT_EQ(load(saved(table), back), QString());
    EXPECT_EQ(dump(back), (QStringList{QStringLiteral("0|1|<null>|<null>|<null>|<null>|<null>"),
                                       QStringLiteral("2|3|<null>|<null>|<null>|<null>|<null>")}));
    EXPECT_EQ(table.state(), PointTable::State::Edit);
    EXPECT_EQ(table.fieldByName(u"X").asInteger(), 100);
    table.post();

    // A record being inserted is not in the table yet.
    table.append();
    table.fieldByName(u"X").setAsInteger(50);
    ASSERT_EQ(load(saved(table), back), QString());
    EXPECT_EQ(dump(back).size(), 2);
    EXPECT_EQ(table.state(), PointTable::State::Insert);
}

// A reversed row order as the sort order, enough to see that the save walks it.
class Reversed : public SortPlacement
{
public:
    std::size_t placeFor(const RecordStore&, std::span<const Slot>, Slot) const override
    {
        return 0;
    }
    bool dependsOn(int) const override { return false; }
};

TEST_F(BaseFileTest, SaveFollowsTheSortOrderAndLoadGivesItAsRowOrder)
{
    table.open();
    for (int i = 1; i <= 3; ++i)
        add(table, {i, {}, {}, {}, {}, {}});
    HugeArray<Slot> order;
    for (auto it = table.rowOrder().rbegin(); it != table.rowOrder().rend(); ++it)
        order.push_back(*it);
    table.installSortOrder(std::move(order), std::make_unique<Reversed>());
    ASSERT_EQ(load(saved(table), loaded), QString());
    EXPECT_FALSE(loaded.hasSortOrder());
    EXPECT_EQ(loaded.store().integer(0, loaded.rowOrder()[0]), 3);
    EXPECT_EQ(loaded.store().integer(0, loaded.rowOrder()[2]), 1);
    EXPECT_TRUE(table.hasSortOrder());
}

// The filter language is not compiled yet, so no filter text can be in
// force; an empty text with filtering on still takes the save through
// switching filtering off and on again.
TEST_F(BaseFileTest, SaveWhileFilteredWritesAllAndMakesTheFirstCurrent)
{
    table.open();
    for (int i = 1; i <= 10; ++i)
        add(table, {i, {}, {}, {}, {}, {}});
    table.setFiltered(true);
    table.setCurrentRow(5);
    QSignalSpy resets(&table, &PointTable::reset);
    ASSERT_EQ(load(saved(table), loaded), QString());
    EXPECT_EQ(dump(loaded).size(), 10);
    EXPECT_TRUE(table.filtered());
    EXPECT_EQ(table.currentRow(), 0);
    EXPECT_EQ(resets.count(), 1);

    table.setFiltered(false);
    table.setCurrentRow(5);
    saved(table);
    EXPECT_EQ(table.currentRow(), 5); // without filtering the cursor stays
}

TEST_F(BaseFileTest, SaveFailuresLeaveThePreviousFile)
{
    PointTable closed(QStringLiteral("T"));
    EXPECT_EQ(failureOf([&] { saveToFile(closed, path(QStringLiteral("c.Lorvet")), format); }),
              closedMessage);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("c.Lorvet"))));

    table.open();
    for (int i = 0; i < 2000; ++i)
        add(table, {i, i, QStringLiteral("Point %1").arg(i), {}, {}, {}});
    const QString target = path(QStringLiteral("old.Lorvet"));
    const QByteArray old = workedExample();
    write(old, QStringLiteral("old.Lorvet"));

    // A full disk, as the file size limit makes every write past 4 KiB fail.
    struct sigaction ignore
    {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{}, limited{};
    getrlimit(RLIMIT_FSIZE, &saved);
    limited = saved;
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    const QString message = failureOf([&] { saveToFile(table, target, format); });
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(message, QStringLiteral("Stream write error"));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.Lorvet")});

    // A target that is a directory, and a directory that is a file.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("sub/inner")));
    EXPECT_EQ(failureOf([&] { saveToFile(table, path(QStringLiteral("sub")), format); }),
              QStringLiteral("Cannot create file \"%1\". Is a directory")
                  .arg(path(QStringLiteral("sub"))));
    EXPECT_EQ(failureOf([&] { saveToFile(table, QString(), format); }),
              QStringLiteral("Cannot create file \"\". No such file or directory"));
    const QString underFile = path(QStringLiteral("old.Lorvet/x.Lorvet"));
    EXPECT_EQ(failureOf([&] { saveToFile(table, underFile, format); }),
              QStringLiteral("Cannot create file \"%1\". Not a directory").arg(underFile));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A save that succeeds replaces the old content.
    saveToFile(table, target, format);
    loadFromFile(loaded, target, format);
    EXPECT_EQ(dump(loaded).size(), 2000);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(BaseFileTest, BufferSizeIsAtLeast16384AndChangesNoByte)
{
    BaseFileFormat small;
    small.setBufferSize(100);
    EXPECT_EQ(small.bufferSize(), 16384);
    EXPECT_TRUE(small.has(BaseFileFormat::Setting::SaveFiltered));
    table.open();
    for (int i = 0; i < 3000; ++i)
        add(table, {i,
                    -i,
                    QStringLiteral("Имя %1").arg(i),
                    {},
                    QString(i % 50, QLatin1Char('x')),
                    i % 2 == 0});
    const QByteArray normal = saved(table);
    BaseFileFormat large;
    large.setBufferSize(1 << 20);
    saveToFile(table, path(QStringLiteral("large.Lorvet")), large);
    QFile file(path(QStringLiteral("large.Lorvet")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), normal);
    loadFromFile(loaded, path(QStringLiteral("large.Lorvet")), large);
    EXPECT_EQ(dump(loaded), dump(table));
}

// Inputs the fuzzer found worth keeping: each must load or fail with a
// message, never crash, and leave a table that saves.
TEST_F(BaseFileTest, KeptFuzzInputsLoadOrFailCleanly)
{
    QStringList names;
    QDirIterator it(QStringLiteral(KELVORA_TEST_DATA_DIR "/basefile"), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        PointTable target(QStringLiteral("T"));
        target.open();
        try {
            loadFromFile(target, name, format);
        } catch (const DatabaseError& error) {
            EXPECT_FALSE(error.message().isEmpty()) << name.toStdString();
        }
        if (!target.isOpen())
            continue;
        // Whatever was loaded saves, and loads back to the same file.
        const QString first = path(QStringLiteral("first.Lorvet"));
        const QString second = path(QStringLiteral("second.Lorvet"));
        ASSERT_NO_THROW(saveToFile(target, first, format)) << name.toStdString();
        PointTable back(QStringLiteral("T"));
        ASSERT_NO_THROW(loadFromFile(back, first, format)) << name.toStdString();
        ASSERT_NO_THROW(saveToFile(back, second, format)) << name.toStdString();
        QFile a(first), b(second);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_EQ(a.readAll(), b.readAll()) << name.toStdString();
    }
}

} // namespace
} // namespace kelvora
