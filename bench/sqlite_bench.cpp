// Our table side by side with SQLite holding the same points in an in-memory
// database: the proximity count, ordering by name and by X, lookup by name
// and loading and saving the whole set. Each pair runs on the same generated
// points in the same run, so the two figures can be compared directly.
//
// SQLite has no locale collation: its ORDER BY NAME_EN compares code points
// (BINARY), while our sort compares names under the Russian locale.
#include "basefile.h"
#include "benchdata.h"
#include "pointtable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <sqlite3.h>

namespace kelvora {
namespace {

constexpr int centreX = 8000;
constexpr int centreY = 8000;
constexpr int radius = 400;

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::abort();
    }
}

void exec(sqlite3* db, const char* sql)
{
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db);
}

struct Statement
{
    Statement(sqlite3* db, const char* sql)
    {
        check(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), db);
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* stmt = nullptr;
};

struct Database
{
    Database() = default;
    explicit Database(const char* name)
    {
        if (sqlite3_open(name, &db) != SQLITE_OK)
            std::abort();
    }
    ~Database() { sqlite3_close(db); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    sqlite3* db = nullptr;
};

// The same columns as our point table.
void createPoints(sqlite3* db, int count)
{
    exec(db, "CREATE TABLE points(X INTEGER, Y INTEGER, NAME_EN TEXT, NAME_RUS TEXT, "
             "DESC TEXT, OBR INTEGER)");
    exec(db, "BEGIN");
    Statement insert(db, "INSERT INTO points VALUES(?,?,?,?,?,?)");
    for (const benchdata::Point& p : benchdata::points(count)) {
        const QByteArray nameEn = p.nameEn.toUtf8();
        const QByteArray nameRus = p.nameRus.toUtf8();
        const QByteArray desc = p.desc.toUtf8();
        sqlite3_bind_int(insert.stmt, 1, p.x);
        sqlite3_bind_int(insert.stmt, 2, p.y);
        sqlite3_bind_text(insert.stmt, 3, nameEn.constData(), int(nameEn.size()), SQLITE_STATIC);
        if (p.hasNameRus)
            sqlite3_bind_text(insert.stmt, 4, nameRus.constData(), int(nameRus.size()),
                              SQLITE_STATIC);
        else
            sqlite3_bind_null(insert.stmt, 4);
        if (p.hasDesc)
            sqlite3_bind_text(insert.stmt, 5, desc.constData(), int(desc.size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(insert.stmt, 5);
        sqlite3_bind_int(insert.stmt, 6, p.obr ? 1 : 0);
        check(sqlite3_step(insert.stmt), db);
        sqlite3_reset(insert.stmt);
    }
    exec(db, "COMMIT");
}

// Both sides, filled once per size and kept for the run.
struct Pair
{
    PointTable table{QStringLiteral("PointTable")};
    Database memory{":memory:"};
    bool indexed = false;
    // Benchmarks run more than once: these keep the time of the very first.
    double indexBuildMs = 0;
    double firstLocateMs = -1;
};

Pair& pairOf(int count)
{
    static std::map<int, std::unique_ptr<Pair>> pairs;
    auto& pair = pairs[count];
    if (!pair) {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        pair = std::make_unique<Pair>();
        benchdata::fillTable(pair->table, count);
        createPoints(pair->memory.db, count);
    }
    return *pair;
}

QString proximityText()
{
    return QStringLiteral("(X-%1)*(X-%1)+(Y-%2)*(Y-%2)<=%3")
        .arg(centreX)
        .arg(centreY)
        .arg(radius * radius);
}

void BM_OurProximityCount(benchmark::State& state)
{
    PointTable& table = pairOf(int(state.range(0))).table;
    table.setFiltered(true);
    int visible = 0;
    for (auto _ : state) {
        table.setFilter(proximityText());
        table.first();
        visible = table.recordCount();
        benchmark::DoNotOptimize(visible);
    }
    table.setFiltered(false);
    state.counters["visible"] = visible;
}

void BM_SqliteProximityCount(benchmark::State& state)
{
    sqlite3* db = pairOf(int(state.range(0))).memory.db;
    Statement count(db, "SELECT COUNT(*) FROM points WHERE "
                        "(X-?1)*(X-?1)+(Y-?2)*(Y-?2)<=?3");
    sqlite3_bind_int(count.stmt, 1, centreX);
    sqlite3_bind_int(count.stmt, 2, centreY);
    sqlite3_bind_int(count.stmt, 3, radius * radius);
    int visible = 0;
    for (auto _ : state) {
        check(sqlite3_step(count.stmt), db);
        visible = sqlite3_column_int(count.stmt, 0);
        sqlite3_reset(count.stmt);
    }
    state.counters["visible"] = visible;
}

void ourSort(benchmark::State& state, const char* fields)
{
    PointTable& table = pairOf(int(state.range(0))).table;
    table.setSortFields(QString::fromLatin1(fields));
    for (auto _ : state) {
        table.sort();
        benchmark::DoNotOptimize(table.visibleCount());
    }
    table.setSortFields(QString());
    table.sort();
}

// The whole ordered list is stepped through, as a grid showing it needs the
// order of every row.
void sqliteOrder(benchmark::State& state, const char* sql)
{
    sqlite3* db = pairOf(int(state.range(0))).memory.db;
    Statement order(db, sql);
    std::vector<sqlite3_int64> rows;
    for (auto _ : state) {
        rows.clear();
        while (sqlite3_step(order.stmt) == SQLITE_ROW)
            rows.push_back(sqlite3_column_int64(order.stmt, 0));
        sqlite3_reset(order.stmt);
        benchmark::DoNotOptimize(rows.data());
    }
    if (rows.size() != std::size_t(state.range(0)))
        state.SkipWithError("wrong row count");
}

void BM_OurSortByName(benchmark::State& state)
{
    ourSort(state, "NAME_EN");
}
void BM_SqliteOrderByName(benchmark::State& state)
{
    sqliteOrder(state, "SELECT rowid FROM points ORDER BY NAME_EN");
}
void BM_OurSortByX(benchmark::State& state)
{
    ourSort(state, "X");
}
void BM_SqliteOrderByX(benchmark::State& state)
{
    sqliteOrder(state, "SELECT rowid FROM points ORDER BY X");
}

// 1024 names of existing points, picked at random, the same for both sides.
std::vector<QString> lookupNames(int count)
{
    const std::vector<benchdata::Point>& points = benchdata::points(count);
    std::mt19937 random(99);
    std::vector<QString> names;
    for (int i = 0; i < 1024; ++i)
        names.push_back(points[random() % points.size()].nameEn);
    return names;
}

void ourLocate(benchmark::State& state, bool indexed)
{
    Pair& pair = pairOf(int(state.range(0)));
    PointTable& table = pair.table;
    const std::vector<QString> names = lookupNames(int(state.range(0)));
    const QString field = QStringLiteral("NAME_EN");
    // The first locate builds the index; it is reported apart.
    QElapsedTimer timer;
    timer.start();
    if (indexed) {
        table.locate(field, names[0]);
        if (pair.firstLocateMs < 0)
            pair.firstLocateMs = double(timer.nsecsElapsed()) / 1e6;
        state.counters["first_locate_ms"] = pair.firstLocateMs;
    }
    std::size_t next = 0;
    std::int64_t found = 0;
    for (auto _ : state) {
        const QString& name = names[next++ & 1023];
        found += indexed ? table.locate(field, name) : table.locateByScan(field, name);
    }
    if (found != std::int64_t(state.iterations()))
        state.SkipWithError("a point was not found");
}

void sqliteLookup(benchmark::State& state, bool indexed)
{
    Pair& pair = pairOf(int(state.range(0)));
    sqlite3* db = pair.memory.db;
    QElapsedTimer timer;
    timer.start();
    if (indexed) {
        if (!pair.indexed) {
            exec(db, "CREATE INDEX points_name ON points(NAME_EN)");
            pair.indexBuildMs = double(timer.nsecsElapsed()) / 1e6;
        }
        pair.indexed = true;
        state.counters["index_build_ms"] = pair.indexBuildMs;
    }
    // NOT INDEXED keeps the scan even once the index exists.
    Statement lookup(db, indexed ? "SELECT rowid FROM points WHERE NAME_EN=? LIMIT 1"
                                 : "SELECT rowid FROM points NOT INDEXED WHERE NAME_EN=? LIMIT 1");
    std::vector<QByteArray> names;
    for (const QString& name : lookupNames(int(state.range(0))))
        names.push_back(name.toUtf8());
    std::size_t next = 0;
    std::int64_t found = 0;
    for (auto _ : state) {
        const QByteArray& name = names[next++ & 1023];
        sqlite3_bind_text(lookup.stmt, 1, name.constData(), int(name.size()), SQLITE_STATIC);
        found += sqlite3_step(lookup.stmt) == SQLITE_ROW;
        sqlite3_reset(lookup.stmt);
    }
    if (found != std::int64_t(state.iterations()))
        state.SkipWithError("a point was not found");
}

void BM_OurLocateIndexed(benchmark::State& state)
{
    ourLocate(state, true);
}
void BM_OurLocateScan(benchmark::State& state)
{
    ourLocate(state, false);
}
void BM_SqliteLookupIndexed(benchmark::State& state)
{
    sqliteLookup(state, true);
}
void BM_SqliteLookupScan(benchmark::State& state)
{
    sqliteLookup(state, false);
}

QTemporaryDir& workDir()
{
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/sqlite-bench-XXXXXX"));
    return dir;
}

QString baseFile(int count)
{
    return workDir().filePath(QStringLiteral("points%1.Lorvet").arg(count));
}

QByteArray databaseFile(int count)
{
    return QFile::encodeName(workDir().filePath(QStringLiteral("points%1.sqlite").arg(count)));
}

// Copies a whole database with the backup interface: the way SQLite moves a
// database between a file and memory.
void copyDatabase(sqlite3* from, sqlite3* to)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        check(SQLITE_ERROR, to);
    sqlite3_backup_step(backup, -1);
    check(sqlite3_backup_finish(backup), to);
}

// The points without the lookup index, as the base file holds them.
Database& plainDatabase(int count)
{
    static std::map<int, std::unique_ptr<Database>> made;
    auto& db = made[count];
    if (!db) {
        db = std::make_unique<Database>(":memory:");
        createPoints(db->db, count);
    }
    return *db;
}

void BM_OurSave(benchmark::State& state)
{
    PointTable& table = pairOf(int(state.range(0))).table;
    const QString file = baseFile(int(state.range(0)));
    BaseFileFormat format;
    for (auto _ : state)
        saveToFile(table, file, format);
    state.counters["file_MB"] = double(QFileInfo(file).size()) / 1e6;
}

void BM_SqliteSave(benchmark::State& state)
{
    Database& source = plainDatabase(int(state.range(0)));
    const QByteArray file = databaseFile(int(state.range(0)));
    for (auto _ : state) {
        QFile::remove(QString::fromLocal8Bit(file));
        Database target(file.constData());
        copyDatabase(source.db, target.db);
    }
    state.counters["file_MB"] = double(QFileInfo(QString::fromLocal8Bit(file)).size()) / 1e6;
}

void BM_OurLoad(benchmark::State& state)
{
    const int count = int(state.range(0));
    const QString file = baseFile(count);
    BaseFileFormat format;
    if (!QFileInfo::exists(file))
        saveToFile(pairOf(count).table, file, format);
    PointTable loaded(QStringLiteral("PointTable"));
    for (auto _ : state) {
        loaded.close();
        loadFromFile(loaded, file, format);
        benchmark::DoNotOptimize(loaded.visibleCount());
    }
    if (loaded.visibleCount() != count)
        state.SkipWithError("wrong record count");
}

void BM_SqliteLoad(benchmark::State& state)
{
    const int count = int(state.range(0));
    const QByteArray file = databaseFile(count);
    if (!QFileInfo::exists(QString::fromLocal8Bit(file))) {
        Database target(file.constData());
        copyDatabase(plainDatabase(count).db, target.db);
    }
    for (auto _ : state) {
        Database source(file.constData());
        Database memory(":memory:");
        copyDatabase(source.db, memory.db);
        benchmark::DoNotOptimize(memory.db);
    }
}

// The heavy cases run a fixed few iterations so the suite stays short.
#define PAIR(ours, peer, heavy)                                                                    \
    BENCHMARK(ours)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMillisecond);                       \
    BENCHMARK(peer)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMillisecond);                       \
    BENCHMARK(ours)->Arg(1'000'000)->Iterations(heavy)->Unit(benchmark::kMillisecond);             \
    BENCHMARK(peer)->Arg(1'000'000)->Iterations(heavy)->Unit(benchmark::kMillisecond)

PAIR(BM_OurProximityCount, BM_SqliteProximityCount, 20);
PAIR(BM_OurSortByName, BM_SqliteOrderByName, 2);
PAIR(BM_OurSortByX, BM_SqliteOrderByX, 3);
PAIR(BM_OurLocateScan, BM_SqliteLookupScan, 10);
PAIR(BM_OurSave, BM_SqliteSave, 2);
PAIR(BM_OurLoad, BM_SqliteLoad, 2);
BENCHMARK(BM_OurLocateIndexed)
    ->Arg(1000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteLookupIndexed)
    ->Arg(1000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kelvora

BENCHMARK_MAIN();
