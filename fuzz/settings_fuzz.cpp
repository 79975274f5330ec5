// Feeds arbitrary bytes to the settings file as its contents, reads every
// key the program knows, writes one of them and checks the promises of the
// file: the written value reads back (trimmed, up to its first line break,
// at most 2047 characters) and no other key changes.
#include "failure.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>
#include <utility>

namespace {

const std::pair<const char*, const char*> kKeys[] = {
    {"base", "allbaseinonecatalog"},
    {"base", "catalog"},
    {"base", "openwithimg"},
    {"system", "panelwidth"},
    {"system", "mapsearch"},
    {"mapsearch", "radius"},
    {"imp", "addnew"},
    {"speed", "16"},
    {"Base", "Catalog"},
    {"other", "key"},
};
constexpr std::size_t kKeyCount = std::size(kKeys);

// Writes go to memory-backed storage when there is some, so that syncing
// costs nothing; set KELVORA_FUZZ_DIR to choose another place.
QString settingsPath()
{
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
    if (scratch.dir.isEmpty()) {
        const QString base = qEnvironmentVariable("KELVORA_FUZZ_DIR", QStringLiteral("/dev/shm"));
        scratch.dir = base + QStringLiteral("/kelvora-settings-fuzz-%1").arg(getpid());
        if (!QDir().mkpath(scratch.dir))
            scratch.dir =
                QDir::tempPath() + QStringLiteral("/kelvora-settings-fuzz-%1").arg(getpid());
        QDir().mkpath(scratch.dir);
    }
    return scratch.dir + QStringLiteral("/settings.ini");
}

QString expectedValue(const QString& written)
{
    QString value = written;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == u'\n' || value.at(i) == u'\r') {
            value.truncate(i);
            break;
        }
    }
    return value.trimmed().left(2047);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::size_t target = input.ConsumeIntegralInRange<std::size_t>(0, kKeyCount - 1);
    const int number = input.ConsumeIntegral<int>();
    const std::string value = input.ConsumeRandomLengthString(300);
    const std::string contents = input.ConsumeRemainingBytesAsString();

    // The integer reader reads back what the integer writer writes.
    if (kelvora::SettingsFile::parseInteger(QString::number(number)) != number)
        std::abort();

    const QString path = settingsPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(contents.data(), qint64(contents.size()));
    }

    kelvora::SettingsFile settings(path);
    QString before[kKeyCount];
    for (std::size_t i = 0; i < kKeyCount; ++i) {
        const QString section = QString::fromLatin1(kKeys[i].first);
        const QString key = QString::fromLatin1(kKeys[i].second);
        before[i] = settings.readString(section, key, QStringLiteral("\x01missing"));
        settings.readInteger(section, key, 7);
        settings.readBool(section, key, true);
    }

    const QString section = QString::fromLatin1(kKeys[target].first);
    const QString key = QString::fromLatin1(kKeys[target].second);
    const QString written = QString::fromUtf8(value.data(), qsizetype(value.size()));
    try {
        settings.writeString(section, key, written);
    } catch (const kelvora::Failure&) {
        return 0;
    }

    for (std::size_t i = 0; i < kKeyCount; ++i) {
        const QString otherSection = QString::fromLatin1(kKeys[i].first);
        const QString otherKey = QString::fromLatin1(kKeys[i].second);
        const QString after =
            settings.readString(otherSection, otherKey, QStringLiteral("\x01missing"));
        const bool same = otherSection.compare(section, Qt::CaseInsensitive) == 0 &&
                          otherKey.compare(key, Qt::CaseInsensitive) == 0;
        if (same ? after != expectedValue(written) : after != before[i])
            std::abort();
    }
    return 0;
}
