// The benchmarks' shared data: points and JPEG maps made from a fixed seed,
// so every run and every benchmark measures the same input.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace kelvora {
class PointTable;
}

namespace benchdata {

// One generated point. Empty `nameRus` or `desc` with the matching flag
// stand for a null field.
struct Point
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    QString nameEn;
    QString nameRus;
    QString desc;
    bool hasNameRus = true;
    bool hasDesc = false;
    bool obr = false;
};

// `count` points spread over a 16000 x 16000 map: Latin and Cyrillic names of
// 5 to 30 characters, about one name in eight repeated from an earlier point,
// a tenth with a description, NAME_RUS null for one point in twenty.
// The same count always gives the same points; results are cached.
const std::vector<Point>& points(int count);

// Fills an open or closed table with points(count) through the bulk load.
void fillTable(kelvora::PointTable& table, int count);

// The path of a side x side JPEG (quality 90, a gradient with noise) made
// once per run in a temporary directory.
QString jpegMap(int side);

// Resident memory of this process in bytes (VmRSS of /proc/self/status).
std::int64_t residentBytes();

} // namespace benchdata
