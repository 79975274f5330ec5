// Feeds arbitrary bytes to the base file reader: it must fail with a
// message or load, never crash, hang or allocate without bound.
#include "basefile.h"
#include "failure.h"
#include "pointtable.h"

#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int inputFile()
{
    static const int fd = memfd_create("basefile", MFD_CLOEXEC);
    return fd;
}

// Saves go to memory-backed storage when there is some, so that syncing
// costs nothing; set KELVORA_FUZZ_DIR to choose another place.
QString scratchDirectory()
{
    // Removed again when the fuzzer exits.
    struct Scratch
    {
        QString dir;
        ~Scratch()
        {
            if (!dir.isEmpty())
                QDir(dir).removeRecursively();
        }
    };
    static Scratch scratch;
    const QString base = qEnvironmentVariable("KELVORA_FUZZ_DIR", QStringLiteral("/dev/shm"));
    const QString dir = base + QStringLiteral("/kelvora-fuzz-%1").arg(getpid());
    if (!QDir().mkpath(dir))
        return QString();
    scratch.dir = dir;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = inputFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);

    static kelvora::BaseFileFormat format;
    kelvora::PointTable table(QStringLiteral("PointTable"));
    table.open();
    try {
        kelvora::loadFromFile(table, path, format);
    } catch (const kelvora::DatabaseError& error) {
        if (error.message().isEmpty())
            __builtin_trap();
    }
    if (!table.isOpen())
        return 0;
    // Read every value back through the fields, as the views do.
    for (table.first(); !table.eof(); table.next())
        for (int field = 0; field < table.fieldCount(); ++field) {
            kelvora::Field value(&table, field);
            (void)value.asString();
        }
    // Whatever loaded saves and loads back to the same bytes.
    static const QString dir = scratchDirectory();
    if (dir.isEmpty())
        return 0;
    const QString first = dir + QStringLiteral("/first.Lorvet");
    const QString second = dir + QStringLiteral("/second.Lorvet");
    kelvora::saveToFile(table, first, format);
    kelvora::PointTable back(QStringLiteral("IMPBase"));
    kelvora::loadFromFile(back, first, format);
    kelvora::saveToFile(back, second, format);
    QFile a(first), b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.readAll() != b.readAll())
        __builtin_trap();
    return 0;
}
