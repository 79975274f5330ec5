#include "settingsfile.h"

#include "failure.h"
#include "filedescriptor.h"
#include "windows1251.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kelvora {

namespace {

// Bytes of one line looked at; the rest of a longer line is only copied.
// Bounds memory whatever the file holds.
constexpr qint64 kHeadLimit = 64 * 1024;
constexpr qsizetype kStringLimit = 2047;

struct Line
{
    enum class Kind { Other, Blank, Section, Key };
    Kind kind = Kind::Other;
    QString name;
    QString value;
};

QString decode(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return fromWindows1251(bytes);
    return text;
}

Line parse(QByteArray head, bool firstLine)
{
    if (firstLine && head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    const QString text = decode(head).trimmed();
    Line line;
    if (text.isEmpty()) {
        line.kind = Line::Kind::Blank;
    } else if (text.startsWith(u'[')) {
        line.kind = Line::Kind::Section;
        const qsizetype close = text.indexOf(u']');
        line.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
    } else if (!text.startsWith(u';')) {
        const qsizetype equals = text.indexOf(u'=');
        if (equals > 0) {
            line.kind = Line::Kind::Key;
            line.name = text.left(equals).trimmed();
            line.value = text.mid(equals + 1).trimmed();
        }
    }
    return line;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Reads at most kHeadLimit bytes of a line, up to and with its line break,
// into one buffer kept from line to line (reading a line into a fresh
// array would allocate the whole limit for every line).
class ChunkReader
{
public:
    explicit ChunkReader(QFile& file) : file_(file), buffer_(kHeadLimit + 1) {}

    // The next chunk, empty at the end of the file or on an error.
    QByteArrayView next()
    {
        const qint64 read = file_.readLine(buffer_.data(), qint64(buffer_.size()));
        return read > 0 ? QByteArrayView(buffer_.data(), qsizetype(read)) : QByteArrayView();
    }

private:
    QFile& file_;
    std::vector<char> buffer_;
};

// Reads a file line by line, giving at most kHeadLimit bytes of each line
// without its line break.
class LineScanner
{
public:
    explicit LineScanner(QFile& file) : file_(file), chunks_(file) {}

    bool next(QByteArray& head)
    {
        if (file_.atEnd())
            return false;
        const QByteArrayView first = chunks_.next();
        if (first.isEmpty())
            return false;
        head = first.toByteArray();
        bool complete = head.endsWith('\n');
        while (!complete && !file_.atEnd()) {
            const QByteArrayView rest = chunks_.next();
            if (rest.isEmpty())
                break;
            complete = rest.endsWith('\n');
        }
        if (head.endsWith('\n')) {
            head.chop(1);
            crlf_ = lines_ == 0 ? head.endsWith('\r') : crlf_;
            if (head.endsWith('\r'))
                head.chop(1);
        }
        ++lines_;
        return true;
    }

    qint64 lines() const { return lines_; }
    bool firstLineCrlf() const { return crlf_; }

private:
    QFile& file_;
    ChunkReader chunks_;
    qint64 lines_ = 0;
    bool crlf_ = false;
};

// Where one write goes in the present file.
struct WritePlan
{
    qint64 keyLine = -1;     // the line of the key, replaced
    QString keyName;         // its name as the file spells it
    qint64 insertAfter = -1; // the last line of the section, when the key is new
    bool sectionFound = false;
    bool crlf = false;
};

bool writeAll(int fd, QByteArrayView bytes)
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

std::optional<std::uint64_t> parseDigits(QStringView digits, int base)
{
    if (digits.isEmpty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : digits) {
        int digit = -1;
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (base == 16 && u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (base == 16 && u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * std::uint64_t(base) + std::uint64_t(digit);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return value;
}

} // namespace

SettingsFile::SettingsFile(QString fileName) : fileName_(std::move(fileName)) {}

std::optional<int> SettingsFile::parseInteger(const QString& text)
{
    QStringView rest(text);
    bool negative = false;
    if (rest.startsWith(u'-') || rest.startsWith(u'+')) {
        negative = rest.front() == u'-';
        rest = rest.mid(1);
    }
    if (rest.startsWith(u'$') ||
        (rest.size() > 2 && (rest.startsWith(u"0x") || rest.startsWith(u"0X")))) {
        // Hexadecimal spans the 32 bits, so "$FFFFFFFF" is -1.
        const auto value = parseDigits(rest.mid(rest.front() == u'$' ? 1 : 2), 16);
        if (!value)
            return std::nullopt;
        const auto bits = std::int32_t(std::uint32_t(*value));
        if (negative && bits == std::numeric_limits<std::int32_t>::min())
            return std::nullopt;
        return negative ? -bits : bits;
    }
    const auto value = parseDigits(rest, 10);
    if (!value)
        return std::nullopt;
    const std::int64_t signedValue = negative ? -std::int64_t(*value) : std::int64_t(*value);
    if (signedValue < std::numeric_limits<int>::min() ||
        signedValue > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(signedValue);
}

std::optional<QString> SettingsFile::lookup(const QString& section, const QString& key) const
{
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    LineScanner scanner(file);
    QByteArray head;
    bool inSection = false;
    while (scanner.next(head)) {
        const Line line = parse(head, scanner.lines() == 1);
        if (line.kind == Line::Kind::Section) {
            if (inSection)
                return std::nullopt;
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == Line::Kind::Key && sameName(line.name, key)) {
            return line.value.left(kStringLimit);
        }
    }
    return std::nullopt;
}

QString SettingsFile::readString(const QString& section, const QString& key,
                                 const QString& fallback) const
{
    return lookup(section, key).value_or(fallback);
}

int SettingsFile::readInteger(const QString& section, const QString& key, int fallback) const
{
    const auto text = lookup(section, key);
    if (!text)
        return fallback;
    return parseInteger(*text).value_or(fallback);
}

bool SettingsFile::readBool(const QString& section, const QString& key, bool fallback) const
{
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

void SettingsFile::failWrite() const
{
    throw Failure(
        QStringLiteral("Unable to write to %1").arg(QFileInfo(fileName_).absoluteFilePath()));
}

void SettingsFile::writeString(const QString& section, const QString& key, const QString& value)
{
    QString stored = value;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored.at(i) == u'\n' || stored.at(i) == u'\r') {
            stored.truncate(i);
            break;
        }
    }

    const QByteArray path = QFile::encodeName(fileName_);
    struct stat present
    {
    };
    const bool exists = ::stat(path.constData(), &present) == 0;

    QFile in(fileName_);
    if (exists && !in.open(QIODevice::ReadOnly))
        failWrite(); // never replace a file that could not be read

    WritePlan plan;
    if (exists) {
        LineScanner scanner(in);
        QByteArray head;
        bool inSection = false;
        bool done = false;
        while (scanner.next(head)) {
            const qint64 index = scanner.lines() - 1;
            const Line line = parse(head, index == 0);
            if (done)
                continue;
            if (line.kind == Line::Kind::Section) {
                if (inSection) {
                    done = true;
                    continue;
                }
                if (!plan.sectionFound && sameName(line.name, section)) {
                    inSection = plan.sectionFound = true;
                    plan.insertAfter = index;
                }
            } else if (inSection) {
                if (line.kind != Line::Kind::Blank)
                    plan.insertAfter = index;
                if (line.kind == Line::Kind::Key && sameName(line.name, key)) {
                    plan.keyLine = index;
                    plan.keyName = line.name;
                    done = true;
                }
            }
        }
        if (in.error() != QFileDevice::NoError)
            failWrite();
        plan.crlf = scanner.firstLineCrlf();
        in.seek(0);
    }

    const QByteArray eol = plan.crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    const QByteArray keyLine =
        (plan.keyLine >= 0 ? plan.keyName : key).toUtf8() + '=' + stored.toUtf8() + eol;

    // A fresh name beside the file, so that the rename stays on one file
    // system; the mode 0666 goes through the umask as for any new file.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
        temporary = path + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    FileDescriptor out(fd);
    if (out.get() < 0)
        failWrite();
    bool ok = !exists || ::fchmod(out.get(), present.st_mode & 07777) == 0;

    qint64 index = 0;
    bool atLineStart = true;
    ChunkReader chunks(in);
    while (ok && exists && !in.atEnd()) {
        const QByteArrayView chunk = chunks.next();
        if (chunk.isEmpty()) {
            ok = false;
            break;
        }
        if (index != plan.keyLine)
            ok = writeAll(out.get(), chunk);
        else if (atLineStart)
            ok = writeAll(out.get(), keyLine);
        atLineStart = chunk.endsWith('\n');
        if (atLineStart || in.atEnd()) {
            if (ok && index == plan.insertAfter && plan.keyLine < 0) {
                if (!atLineStart)
                    ok = writeAll(out.get(), eol);
                ok = ok && writeAll(out.get(), keyLine);
                atLineStart = true;
            }
            if (atLineStart)
                ++index;
        }
    }
    if (ok && !plan.sectionFound) {
        if (!atLineStart)
            ok = writeAll(out.get(), eol);
        ok = ok && writeAll(out.get(), '[' + section.toUtf8() + ']' + eol) &&
             writeAll(out.get(), keyLine);
    }
    ok = ok && in.error() == QFileDevice::NoError;
    ok = ok && ::fsync(out.get()) == 0;
    ok = out.close() && ok;
    ok = ok && ::rename(temporary.constData(), path.constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        failWrite();
    }
    // Make the rename itself durable.
    const QByteArray directory = QFile::encodeName(QFileInfo(fileName_).absolutePath());
    FileDescriptor dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

void SettingsFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void SettingsFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace kelvora
