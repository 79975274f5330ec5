// Feeds arbitrary bytes to the base file reader: it must fail with a
// message or load, never crash, hang or allocate without bound.
#include "basefile.h"
#include "failure.h"
#include "pointtable.h"

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
    return 0;
}
