#include "benchdata.h"

#include "pointtable.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <map>
#include <random>

namespace benchdata {
namespace {

QString randomName(std::mt19937& random)
{
    static const QString latin =
        QStringLiteral("abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    static const QString cyrillic =
        QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюя АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЭЮЯ");
    const QString& letters = random() % 2 ? latin : cyrillic;
    const int length = 5 + int(random() % 26);
    QString name(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        name[i] = letters[int(random() % unsigned(letters.size()))];
    // Leading blanks would only make sorting results harder to read.
    if (name[0] == QLatin1Char(' '))
        name[0] = letters[0];
    return name;
}

QTemporaryDir& workDir()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

const std::vector<Point>& points(int count)
{
    static std::map<int, std::vector<Point>> made;
    auto [it, fresh] = made.try_emplace(count);
    if (!fresh)
        return it->second;
    std::vector<Point>& result = it->second;
    result.resize(std::size_t(count));
    std::mt19937 random(20261210u);
    for (int i = 0; i < count; ++i) {
        Point& p = result[std::size_t(i)];
        p.x = std::int32_t(random() % 16000);
        p.y = std::int32_t(random() % 16000);
        if (i > 0 && random() % 8 == 0)
            p.nameEn = result[random() % unsigned(i)].nameEn;
        else
            p.nameEn = randomName(random);
        p.hasNameRus = random() % 20 != 0;
        if (p.hasNameRus)
            p.nameRus = randomName(random);
        p.hasDesc = i % 10 == 0;
        if (p.hasDesc)
            p.desc = randomName(random) + QLatin1Char(' ') + randomName(random);
        p.obr = random() % 3 == 0;
    }
    return result;
}

void fillTable(kelvora::PointTable& table, int count)
{
    const std::vector<Point>& source = points(count);
    if (!table.isOpen())
        table.open();
    table.beginBulkLoad(std::size_t(count));
    kelvora::RecordStore& store = table.bulkStore();
    const int x = table.fieldIndex(u"X");
    const int y = table.fieldIndex(u"Y");
    const int nameEn = table.fieldIndex(u"NAME_EN");
    const int nameRus = table.fieldIndex(u"NAME_RUS");
    const int desc = table.fieldIndex(u"DESC");
    const int obr = table.fieldIndex(u"OBR");
    for (const Point& p : source) {
        const kelvora::Slot slot = table.bulkAddRecord(0);
        store.setInteger(x, slot, p.x);
        store.setInteger(y, slot, p.y);
        store.setText(nameEn, slot, p.nameEn);
        if (p.hasNameRus)
            store.setText(nameRus, slot, p.nameRus);
        if (p.hasDesc)
            store.setText(desc, slot, p.desc);
        store.setBoolean(obr, slot, p.obr);
    }
    table.endBulkLoad();
}

QString jpegMap(int side)
{
    static std::map<int, QString> made;
    if (auto it = made.find(side); it != made.end())
        return it->second;
    const QString path = workDir().filePath(QStringLiteral("map%1.jpg").arg(side));
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        std::abort();
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = JDIMENSION(side);
    cinfo.image_height = JDIMENSION(side);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::minstd_rand random{unsigned(side)};
    std::vector<JSAMPLE> row(std::size_t(side) * 3);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const unsigned noise = random() & 63;
            row[std::size_t(x) * 3] = JSAMPLE((x * 255 / side + noise) & 0xff);
            row[std::size_t(x) * 3 + 1] = JSAMPLE((y * 255 / side + noise) & 0xff);
            row[std::size_t(x) * 3 + 2] = JSAMPLE(((x + y) * 127 / side + noise * 2) & 0xff);
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
    made[side] = path;
    return path;
}

std::int64_t residentBytes()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    std::int64_t kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::strtoll(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return kib * 1024;
}

} // namespace benchdata
