#include "basefile.h"

#include "failure.h"
#include "filedescriptor.h"
#include "pointtable.h"
#include "windows1251.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kelvora {

namespace {

const QString closedMessage = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString readErrorMessage = QStringLiteral("Stream read error");
const QString writeErrorMessage = QStringLiteral("Stream write error");
const QString badValueMessage = QStringLiteral("Invalid property value");
const QString badSizeMessage = QStringLiteral("Invalid field size");
const QString noFieldMessage = QStringLiteral("There must be at least one field");

constexpr int currentVersion = 251;

enum Tag : std::uint8_t {
    tagEnd = 0x00,
    tagList = 0x01,
    tagInt8 = 0x02,
    tagInt16 = 0x03,
    tagInt32 = 0x04,
    tagExtended = 0x05,
    tagString = 0x06,
    tagFalse = 0x08,
    tagTrue = 0x09,
    tagLongString = 0x0C,
    tagWideString = 0x12,
    tagInt64 = 0x13,
    tagUtf8String = 0x14,
};

// How a value of a field is written in the data section.
enum class ValueKind { Integer, Boolean, Float, Currency, Date, Text };

struct TypeInfo
{
    const char16_t* name;
    ValueKind kind;
    FieldType held;
};

// The accepted type names; the other names a file may carry are refused.
constexpr TypeInfo acceptedTypes[] = {
    {u"SmallInt", ValueKind::Integer, FieldType::Integer},
    {u"Integer", ValueKind::Integer, FieldType::Integer},
    {u"Word", ValueKind::Integer, FieldType::Integer},
    {u"AutoInc", ValueKind::Integer, FieldType::Integer},
    {u"Boolean", ValueKind::Boolean, FieldType::Boolean},
    {u"Float", ValueKind::Float, FieldType::Float},
    {u"LargeInt", ValueKind::Float, FieldType::Float},
    {u"Currency", ValueKind::Currency, FieldType::Float},
    {u"BCD", ValueKind::Currency, FieldType::Float},
    {u"Date", ValueKind::Date, FieldType::Float},
    {u"Time", ValueKind::Date, FieldType::Float},
    {u"DateTime", ValueKind::Date, FieldType::Float},
    {u"String", ValueKind::Text, FieldType::String},
    {u"FixedChar", ValueKind::Text, FieldType::String},
    {u"Memo", ValueKind::Text, FieldType::Memo},
    {u"Bytes", ValueKind::Text, FieldType::Memo},
    {u"VarBytes", ValueKind::Text, FieldType::Memo},
    {u"Blob", ValueKind::Text, FieldType::Memo},
    {u"Graphic", ValueKind::Text, FieldType::Memo},
    {u"FmtMemo", ValueKind::Text, FieldType::Memo},
    {u"ParadoxOle", ValueKind::Text, FieldType::Memo},
    {u"dBaseOle", ValueKind::Text, FieldType::Memo},
    {u"TypedBinary", ValueKind::Text, FieldType::Memo},
    {u"ADT", ValueKind::Text, FieldType::Memo},
    {u"Array", ValueKind::Text, FieldType::Memo},
    {u"HugeBlob", ValueKind::Text, FieldType::Memo},
    {u"HugeClob", ValueKind::Text, FieldType::Memo},
    {u"SQLTimeStamp", ValueKind::Text, FieldType::Memo},
    {u"FMTBcdField", ValueKind::Text, FieldType::Memo},
};

const TypeInfo* acceptedType(QStringView name)
{
    for (const TypeInfo& type : acceptedTypes)
        if (name == QStringView(type.name))
            return &type;
    return nullptr;
}

const char16_t* const fieldKinds[] = {u"Data", u"Calculated", u"Lookup", u"InternalCalc",
                                      u"Aggregate"};

QString defaultTypeName(FieldType type)
{
    switch (type) {
    case FieldType::Integer:
        return QStringLiteral("Integer");
    case FieldType::Boolean:
        return QStringLiteral("Boolean");
    case FieldType::Float:
        return QStringLiteral("Float");
    case FieldType::String:
        return QStringLiteral("String");
    case FieldType::Memo:
        break;
    }
    return QStringLiteral("Memo");
}

ValueKind valueKindOf(const FieldDef& def)
{
    // A type name that does not match how the field is held gives way to the held type.
    if (const TypeInfo* type = acceptedType(def.typeName); type && type->held == def.type)
        return type->kind;
    switch (def.type) {
    case FieldType::Integer:
        return ValueKind::Integer;
    case FieldType::Boolean:
        return ValueKind::Boolean;
    case FieldType::Float:
        return ValueKind::Float;
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    return ValueKind::Text;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString fullName(const QString& fileName)
{
    return QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath());
}

// Extended floats ----------------------------------------------------------

// The 80-bit extended value, rounded to the nearest double (ties to even),
// subnormal results included.
double extendedToDouble(const std::uint8_t* bytes)
{
    std::uint64_t mantissa = 0;
    std::memcpy(&mantissa, bytes, 8);
    const unsigned signExponent = unsigned(bytes[8]) | unsigned(bytes[9]) << 8;
    const std::uint64_t sign = std::uint64_t(signExponent & 0x8000u) << 48;
    const int exponent = int(signExponent & 0x7FFFu);

    std::uint64_t bits = 0;
    if (exponent == 0x7FFF) {
        const std::uint64_t fraction = mantissa & 0x7FFFFFFFFFFFFFFFull;
        bits = sign | 0x7FF0000000000000ull;
        if (fraction != 0)
            bits |= 0x0008000000000000ull | (fraction >> 11);
    } else if (mantissa == 0) {
        bits = sign;
    } else {
        // value = mantissa * 2^(e - 16383 - 63); exponent 0 is denormal (e = 1).
        int e = exponent == 0 ? 1 : exponent;
        const int shiftLeft = std::countl_zero(mantissa);
        mantissa <<= shiftLeft;
        e -= shiftLeft;
        int unbiased = e - 16383; // the exponent of the leading bit
        if (unbiased > 1023) {
            bits = sign | 0x7FF0000000000000ull;
        } else {
            const int keep = unbiased >= -1022 ? 53 : 1075 + unbiased;
            std::uint64_t kept = 0;
            if (keep == 0) {
                // Just above half the smallest subnormal rounds up; exactly half is a tie to 0.
                kept = (mantissa << 1) != 0 ? 1 : 0;
            } else if (keep > 0) {
                const int shift = 64 - keep;
                kept = mantissa >> shift;
                const std::uint64_t rest = mantissa & ((std::uint64_t(1) << shift) - 1);
                const std::uint64_t half = std::uint64_t(1) << (shift - 1);
                if (rest > half || (rest == half && (kept & 1)))
                    ++kept;
            }
            if (unbiased >= -1022) {
                if (kept == (std::uint64_t(1) << 53)) {
                    kept >>= 1;
                    ++unbiased;
                }
                if (unbiased > 1023)
                    bits = sign | 0x7FF0000000000000ull;
                else
                    bits =
                        sign | std::uint64_t(unbiased + 1023) << 52 | (kept & 0xFFFFFFFFFFFFFull);
            } else {
                // In units of the smallest subnormal; a carry into bit 52 is the smallest normal.
                bits = sign | kept;
            }
        }
    }
    double value = 0;
    std::memcpy(&value, &bits, 8);
    return value;
}

// Every double is exactly an extended value.
void doubleToExtended(double value, std::uint8_t* bytes)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, 8);
    const unsigned sign = (bits >> 63) ? 0x8000u : 0u;
    const int exponent = int((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
    std::uint64_t mantissa = 0;
    unsigned signExponent = sign;
    if (exponent == 0x7FF) {
        mantissa = 0x8000000000000000ull | fraction << 11;
        signExponent |= 0x7FFF;
    } else if (exponent == 0) {
        if (fraction != 0) {
            const int shiftLeft = std::countl_zero(fraction);
            mantissa = fraction << shiftLeft;
            signExponent |= unsigned(63 - shiftLeft - 1074 + 16383);
        }
    } else {
        mantissa = 0x8000000000000000ull | fraction << 11;
        signExponent |= unsigned(exponent - 1023 + 16383);
    }
    std::memcpy(bytes, &mantissa, 8);
    bytes[8] = std::uint8_t(signExponent);
    bytes[9] = std::uint8_t(signExponent >> 8);
}

// Reading ---------------------------------------------------------------------

// A buffered reader that knows the file's size, so that no length read from
// the file is trusted beyond its end.
class Reader
{
public:
    Reader(int fd, std::uint64_t fileSize, std::size_t bufferSize)
        : fd_(fd), fileSize_(fileSize), buffer_(new std::uint8_t[bufferSize]), capacity_(bufferSize)
    {}

    std::uint64_t fileSize() const { return fileSize_; }
    std::uint64_t remaining() const
    {
        const std::uint64_t at = start_ + std::uint64_t(pos_ - buffer_.get());
        return at >= fileSize_ ? 0 : fileSize_ - at;
    }

    // Throws "Stream read error" at the end of the file.
    std::uint8_t byte()
    {
        if (pos_ == end_)
            refill();
        return *pos_++;
    }
    // The next byte without consuming it.
    std::uint8_t peek()
    {
        if (pos_ == end_)
            refill();
        return *pos_;
    }
    bool atEnd()
    {
        if (pos_ != end_)
            return false;
        return !tryRefill();
    }

    void read(void* out, std::size_t count)
    {
        auto* to = static_cast<std::uint8_t*>(out);
        while (count > 0) {
            if (pos_ == end_)
                refill();
            const std::size_t chunk = std::min(count, std::size_t(end_ - pos_));
            std::memcpy(to, pos_, chunk);
            pos_ += chunk;
            to += chunk;
            count -= chunk;
        }
    }

    // `count` bytes, from the buffer when they lie in it, else copied into
    // `scratch`. The length must have been checked against remaining().
    const std::uint8_t* view(std::size_t count, std::vector<std::uint8_t>& scratch)
    {
        if (std::size_t(end_ - pos_) >= count) {
            const std::uint8_t* at = pos_;
            pos_ += count;
            return at;
        }
        if (scratch.size() < count)
            scratch.resize(count);
        read(scratch.data(), count);
        return scratch.data();
    }

    // Fails before anything is allocated for a length beyond the file.
    void require(std::uint64_t count) const
    {
        if (count > remaining())
            throw DatabaseError(readErrorMessage);
    }

private:
    bool tryRefill()
    {
        start_ += std::uint64_t(end_ - buffer_.get());
        pos_ = end_ = buffer_.get();
        for (;;) {
            const ssize_t got = ::read(fd_, buffer_.get(), capacity_);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw DatabaseError(readErrorMessage);
            end_ = buffer_.get() + got;
            return got > 0;
        }
    }
    void refill()
    {
        if (!tryRefill())
            throw DatabaseError(readErrorMessage);
    }

    int fd_;
    std::uint64_t fileSize_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t capacity_;
    std::uint8_t* pos_ = buffer_.get();
    std::uint8_t* end_ = buffer_.get();
    std::uint64_t start_ = 0; // file offset of the buffer's first byte
};

// Decodes the tagged values of a base file.
class ValueReader
{
public:
    explicit ValueReader(Reader& in) : in_(in) {}

    Reader& input() { return in_; }

    std::int64_t integer() { return integerAfter(in_.byte()); }
    std::int64_t integerAfter(std::uint8_t tag)
    {
        std::uint8_t bytes[4];
        switch (tag) {
        case tagInt8:
            return std::int8_t(in_.byte());
        case tagInt16:
            in_.read(bytes, 2);
            return std::int16_t(std::uint16_t(bytes[0] | bytes[1] << 8));
        case tagInt32:
            in_.read(bytes, 4);
            return std::int32_t(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
        default:
            throw DatabaseError(badValueMessage);
        }
    }

    bool boolean() { return in_.byte() == tagTrue; }

    double real()
    {
        const std::uint8_t tag = in_.byte();
        if (tag == tagExtended) {
            std::uint8_t bytes[10];
            in_.read(bytes, 10);
            return extendedToDouble(bytes);
        }
        if (tag == tagInt64) {
            std::uint8_t bytes[8];
            in_.read(bytes, 8);
            std::uint64_t raw = 0;
            for (int i = 7; i >= 0; --i)
                raw = raw << 8 | bytes[i];
            return double(std::int64_t(raw));
        }
        return double(integerAfter(tag));
    }

    // Reads a text value and appends its characters to `out`; returns how
    // many were appended.
    std::size_t text(std::vector<char16_t>& out, std::size_t& used)
    {
        const std::uint8_t tag = in_.byte();
        std::uint32_t length = 0;
        switch (tag) {
        case tagString:
            length = in_.byte();
            return eightBit(length, out, used);
        case tagLongString:
            length = length32();
            return eightBit(length, out, used);
        case tagUtf8String: {
            length = length32();
            in_.require(length);
            const std::uint8_t* bytes = in_.view(length, scratch_);
            const std::size_t at = used;
            grow(out, used + std::max<std::size_t>(
                                 length, std::size_t(utf8_.requiredSpace(qsizetype(length)))));
            const std::size_t fast = decodeUtf8(bytes, length, out.data() + at);
            if (fast != invalidUtf8) {
                used = at + fast;
                return fast;
            }
            QChar* begin = reinterpret_cast<QChar*>(out.data() + at);
            QChar* end = utf8_.appendToBuffer(
                begin, QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(length)));
            used = at + std::size_t(end - begin);
            return used - at;
        }
        case tagWideString: {
            length = length32();
            in_.require(std::uint64_t(length) * 2);
            const std::uint8_t* bytes = in_.view(std::size_t(length) * 2, scratch_);
            grow(out, used + length);
            char16_t* to = out.data() + used;
            for (std::uint32_t i = 0; i < length; ++i)
                to[i] = char16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
            used += length;
            return length;
        }
        default:
            throw DatabaseError(badValueMessage);
        }
    }

    QString text()
    {
        std::size_t used = 0;
        const std::size_t count = text(names_, used);
        return QString(reinterpret_cast<const QChar*>(names_.data()), qsizetype(count));
    }

private:
    std::uint32_t length32()
    {
        std::uint8_t bytes[4];
        in_.read(bytes, 4);
        return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
               std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    }

    static constexpr std::size_t invalidUtf8 = ~std::size_t(0);

    // Well-formed UTF-8 of one to three bytes a character, the whole of
    // ordinary text; anything else (four-byte forms, malformed bytes) is
    // left to the general decoder. Returns the characters written.
    static std::size_t decodeUtf8(const std::uint8_t* in, std::size_t length, char16_t* out)
    {
        std::size_t count = 0;
        std::size_t i = 0;
        while (i < length) {
            const unsigned b = in[i];
            if (b < 0x80) {
                out[count++] = char16_t(b);
                ++i;
            } else if ((b & 0xE0) == 0xC0) {
                if (i + 1 >= length || (in[i + 1] & 0xC0) != 0x80 || b < 0xC2)
                    return invalidUtf8;
                out[count++] = char16_t((b & 0x1F) << 6 | (in[i + 1] & 0x3F));
                i += 2;
            } else if ((b & 0xF0) == 0xE0) {
                if (i + 2 >= length || (in[i + 1] & 0xC0) != 0x80 || (in[i + 2] & 0xC0) != 0x80)
                    return invalidUtf8;
                const unsigned c = (b & 0x0F) << 12 | (in[i + 1] & 0x3F) << 6 | (in[i + 2] & 0x3F);
                if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))
                    return invalidUtf8;
                out[count++] = char16_t(c);
                i += 3;
            } else {
                return invalidUtf8;
            }
        }
        return count;
    }

    static void grow(std::vector<char16_t>& out, std::size_t size)
    {
        if (out.size() < size)
            out.resize(std::max(size, out.size() * 2));
    }

    std::size_t eightBit(std::uint32_t length, std::vector<char16_t>& out, std::size_t& used)
    {
        in_.require(length);
        const std::uint8_t* bytes = in_.view(length, scratch_);
        std::uint8_t high = 0;
        for (std::uint32_t i = 0; i < length; ++i)
            high |= bytes[i];
        if (high & 0x80) {
            const QString decoded = fromWindows1251(
                QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(length)));
            grow(out, used + std::size_t(decoded.size()));
            std::memcpy(out.data() + used, decoded.utf16(), std::size_t(decoded.size()) * 2);
            used += std::size_t(decoded.size());
            return std::size_t(decoded.size());
        }
        grow(out, used + length);
        char16_t* to = out.data() + used;
        for (std::uint32_t i = 0; i < length; ++i)
            to[i] = bytes[i];
        used += length;
        return length;
    }

    Reader& in_;
    std::vector<std::uint8_t> scratch_;
    std::vector<char16_t> names_;
    QStringDecoder utf8_{QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom};
};

struct Cell
{
    bool null = true;
    std::int64_t integer = 0;
    double real = 0;
    bool boolean = false;
    std::size_t textAt = 0;
    std::size_t textLength = 0;
};

struct FieldPlan
{
    ValueKind kind;
    FieldType held;
    int size;
};

class Loader
{
public:
    Loader(PointTable& table, Reader& in) : table_(table), in_(in), values_(in) {}

    // Reads the signature and version; nothing of the table is touched.
    void readHeader()
    {
        std::uint8_t signature[4];
        in_.read(signature, 4);
        if (std::memcmp(signature, "TPF0", 4) != 0)
            throw DatabaseError(QStringLiteral("Invalid stream format"));
        if (in_.peek() == tagList) {
            version_ = 100;
            return;
        }
        version_ = values_.integer();
    }

    void readBody()
    {
        readDefinitions();
        if (version_ >= 200)
            readIndexDefinitions();
        readData();
    }

private:
    void expectList()
    {
        if (in_.byte() != tagList)
            throw DatabaseError(badValueMessage);
    }
    // Consumes the end of a list when it is next.
    bool listEnds()
    {
        if (in_.peek() != tagEnd)
            return false;
        in_.byte();
        return true;
    }

    void readDefinitions()
    {
        expectList();
        bool started = false;
        bool firstSizeFault = false;
        std::vector<FieldDef> defs;
        try {
            while (!listEnds()) {
                if (!started) {
                    started = true;
                    table_.close();
                    table_.setFields({});
                }
                FieldDef def = readDefinition(defs, firstSizeFault);
                defs.push_back(std::move(def));
            }
        } catch (const DatabaseError&) {
            if (started && defs.empty())
                throw DatabaseError(firstSizeFault ? badSizeMessage : noFieldMessage);
            if (started) {
                table_.setFields(std::move(defs));
                table_.open();
            }
            throw;
        }
        if (started) {
            table_.setFields(std::move(defs));
            table_.open();
        }
    }

    FieldDef readDefinition(const std::vector<FieldDef>& defs, bool& sizeFault)
    {
        const QString name = values_.text();
        const QString typeName = values_.text();
        const std::int64_t size = values_.integer();
        const QString displayName = values_.text();
        const QString editMask = values_.text();
        const std::int64_t width = values_.integer();
        const bool required = values_.boolean();
        const bool readOnly = values_.boolean();
        QString kind = QStringLiteral("Data");
        if (version_ >= 250)
            kind = values_.text();
        QString defaultExpression;
        if (version_ >= 251)
            defaultExpression = values_.text();

        const TypeInfo* type = acceptedType(typeName);
        if (!type)
            throw DatabaseError(QStringLiteral("Unknown field type (%1)").arg(typeName));
        bool knownKind = false;
        for (const char16_t* known : fieldKinds)
            knownKind = knownKind || kind == QStringView(known);
        if (name.isEmpty())
            throw DatabaseError(QStringLiteral("Field name missing"));
        if (indexOfField(defs, name) >= 0)
            throw DatabaseError(QStringLiteral("A component named %1 already exists").arg(name));
        const bool fixedSize = type->held == FieldType::Integer || type->held == FieldType::Boolean;
        if ((fixedSize && size != 0) || size < 0) {
            sizeFault = true;
            throw DatabaseError(badSizeMessage);
        }

        FieldDef def;
        def.name = name;
        def.type = type->held;
        def.typeName = typeName;
        def.size = int(size);
        def.required = required;
        def.kind = knownKind ? kind : QStringLiteral("Data");
        def.displayLabel = displayName;
        def.editMask = editMask;
        def.readOnly = readOnly;
        def.displayWidth = int(width);
        def.defaultExpression = defaultExpression;
        return def;
    }

    void readIndexDefinitions()
    {
        expectList();
        while (!listEnds()) {
            // Seven values; the point tables keep no index definitions.
            values_.text();
            values_.text();
            values_.text();
            for (int i = 0; i < 4; ++i)
                values_.boolean();
        }
    }

    void readData()
    {
        if (!table_.isOpen())
            throw DatabaseError(closedMessage);
        if (table_.state() != PointTable::State::Browse)
            table_.cancel();
        table_.dropSortOrder();

        plan_.clear();
        std::size_t recordBytes = 1 + sizeof(Slot) + sizeof(std::uint32_t);
        for (const FieldDef& def : table_.fields()) {
            plan_.push_back({valueKindOf(def), def.type, def.size});
            switch (def.type) {
            case FieldType::Integer:
                recordBytes += 5;
                break;
            case FieldType::Float:
                recordBytes += 9;
                break;
            case FieldType::Boolean:
                recordBytes += 1;
                break;
            case FieldType::String:
            case FieldType::Memo:
                recordBytes += 12;
                break;
            }
        }
        cells_.assign(plan_.size(), Cell{});
        dropped_.assign(plan_.size(), Cell{});

        expectList();
        const std::size_t expected = std::size_t(in_.fileSize() / recordBytes);
        table_.beginBulkLoad(expected + expected / 50);
        try {
            readRecords();
        } catch (...) {
            try {
                table_.endBulkLoad();
            } catch (...) {
                // The first failure is the one reported.
            }
            throw;
        }
        table_.endBulkLoad();
    }

    void readRecords()
    {
        RecordStore& store = table_.bulkStore();
        for (;;) {
            std::int64_t status = 0;
            if (version_ >= 230) {
                const std::uint8_t tag = in_.byte();
                if (tag == tagEnd)
                    return;
                if (tag != tagList)
                    throw DatabaseError(badValueMessage);
                status = values_.integer();
                if (status < 0 || status > 254)
                    throw DatabaseError(badValueMessage);
                textUsed_ = 0;
                readCells(cells_, textUsed_);
                // Older versions of the same record follow; the first is the record.
                while (!listEnds()) {
                    values_.integer();
                    // Their texts go after the record's and are dropped with them.
                    std::size_t droppedUsed = textUsed_;
                    readCells(dropped_, droppedUsed);
                }
            } else {
                if (listEnds())
                    return;
                textUsed_ = 0;
                readCells(cells_, textUsed_);
            }

            const Slot slot = table_.bulkAddRecord(std::uint8_t(status));
            for (std::size_t i = 0; i < plan_.size(); ++i) {
                const Cell& cell = cells_[i];
                if (cell.null)
                    continue;
                const int field = int(i);
                switch (plan_[i].held) {
                case FieldType::Integer:
                    store.setInteger(field, slot, std::int32_t(cell.integer));
                    break;
                case FieldType::Boolean:
                    store.setBoolean(field, slot, cell.boolean);
                    break;
                case FieldType::Float:
                    store.setReal(field, slot, cell.real);
                    break;
                case FieldType::String:
                case FieldType::Memo:
                    store.setText(
                        field, slot,
                        QStringView(text_.data() + cell.textAt, qsizetype(cell.textLength)));
                    break;
                }
            }
        }
    }

    // Reads one status-and-values group's per-field items, converted as the
    // fields require.
    void readCells(std::vector<Cell>& cells, std::size_t& used)
    {
        const bool nullFlags = version_ >= 249;
        for (std::size_t i = 0; i < plan_.size(); ++i) {
            Cell& cell = cells[i];
            const FieldPlan& plan = plan_[i];
            cell.null = nullFlags && values_.boolean();
            if (cell.null)
                continue;
            // The value kind always matches the type the field is held in.
            switch (plan.kind) {
            case ValueKind::Integer:
                cell.integer = values_.integer();
                break;
            case ValueKind::Boolean:
                cell.boolean = values_.boolean();
                break;
            case ValueKind::Float:
            case ValueKind::Currency:
            case ValueKind::Date: {
                double value = values_.real();
                // Beyond 1e14 a double has no fourth decimal to round.
                if (plan.kind == ValueKind::Currency && std::fabs(value) < 1e14)
                    value = std::round(value * 10000.0) / 10000.0;
                cell.real = value;
                if (plan.kind == ValueKind::Date && value == 0)
                    cell.null = true;
                break;
            }
            case ValueKind::Text: {
                const std::size_t at = used;
                std::size_t length = values_.text(text_, used);
                if (plan.held == FieldType::String && plan.size > 0 &&
                    length > std::size_t(plan.size))
                    length = std::size_t(plan.size);
                cell.textAt = at;
                cell.textLength = length;
                if (plan.held == FieldType::Memo && length == 0)
                    cell.null = true;
                break;
            }
            }
        }
    }

    PointTable& table_;
    Reader& in_;
    ValueReader values_;
    std::int64_t version_ = currentVersion;
    std::vector<FieldPlan> plan_;
    std::vector<Cell> cells_;
    std::vector<Cell> dropped_;
    std::vector<char16_t> text_;
    std::size_t textUsed_ = 0;
};

// Writing -----------------------------------------------------------------------

// A file written under a temporary name beside its target and renamed over
// it once everything is on disk.
class AtomicFile
{
public:
    explicit AtomicFile(const QString& fileName) : shownName_(fullName(fileName))
    {
        if (fileName.isEmpty())
            fail(ENOENT);
        QFileInfo info(fileName);
        QString target = info.absoluteFilePath();
        if (info.isSymLink() && info.exists())
            target = info.canonicalFilePath(); // replace the file, not the link
        if (QFileInfo(target).isDir())
            fail(EISDIR);
        target_ = QFile::encodeName(target);
        // A file that may not be written is not replaced either.
        if (::access(target_.constData(), F_OK) == 0 && ::access(target_.constData(), W_OK) != 0)
            fail(errno);
        const QByteArray directory = QFile::encodeName(QFileInfo(target).absolutePath());
        // A short name, so that a long target name cannot make it too long.
        temp_ = directory + "/.lorvet-XXXXXX";
        const int fd = ::mkstemp(temp_.data());
        if (fd < 0)
            fail(errno);
        fd_ = std::make_unique<FileDescriptor>(fd);
        created_ = true;
        struct stat old;
        mode_t mode = 0;
        if (::stat(target_.constData(), &old) == 0) {
            mode = old.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        ::fchmod(fd, mode);
    }
    ~AtomicFile() { discard(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    int fd() const { return fd_->get(); }

    // Syncs the temporary file and renames it over the target.
    void commit()
    {
        if (::fsync(fd()) != 0 || !fd_->close())
            throw DatabaseError(writeErrorMessage);
        if (::rename(temp_.constData(), target_.constData()) != 0)
            fail(errno);
        created_ = false;
        // Make the rename itself durable; a failure here loses nothing already written.
        const QByteArray directory =
            QFile::encodeName(QFileInfo(QFile::decodeName(target_)).absolutePath());
        const int dirFd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }

    void discard()
    {
        if (fd_)
            fd_->close();
        if (created_) {
            ::unlink(temp_.constData());
            created_ = false;
        }
    }

private:
    [[noreturn]] void fail(int error)
    {
        throw DatabaseError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(shownName_, systemError(error)));
    }

    QString shownName_;
    QByteArray target_;
    QByteArray temp_;
    std::unique_ptr<FileDescriptor> fd_;
    bool created_ = false;
};

class Writer
{
public:
    Writer(int fd, std::size_t bufferSize)
        : fd_(fd), buffer_(new std::uint8_t[bufferSize]), capacity_(bufferSize)
    {}

    void byte(std::uint8_t value)
    {
        if (used_ == capacity_)
            flush();
        buffer_[used_++] = value;
    }
    void bytes(const void* data, std::size_t count)
    {
        const auto* from = static_cast<const std::uint8_t*>(data);
        while (count > 0) {
            if (used_ == capacity_)
                flush();
            const std::size_t chunk = std::min(count, capacity_ - used_);
            std::memcpy(buffer_.get() + used_, from, chunk);
            used_ += chunk;
            from += chunk;
            count -= chunk;
        }
    }

    void integer(std::int64_t value)
    {
        if (value >= -128 && value <= 127) {
            std::uint8_t out[2] = {tagInt8, std::uint8_t(value)};
            bytes(out, 2);
        } else if (value >= -32768 && value <= 32767) {
            std::uint8_t out[3] = {tagInt16, std::uint8_t(value), std::uint8_t(value >> 8)};
            bytes(out, 3);
        } else {
            byte(tagInt32);
            length32(std::uint32_t(value));
        }
    }
    void boolean(bool value) { byte(value ? tagTrue : tagFalse); }
    void real(double value)
    {
        std::uint8_t out[11];
        out[0] = tagExtended;
        doubleToExtended(value, out + 1);
        bytes(out, 11);
    }

    // ASCII text is written as it is, anything else as UTF-8.
    void text(QStringView value)
    {
        const char16_t* chars = reinterpret_cast<const char16_t*>(value.utf16());
        const std::size_t count = std::size_t(value.size());
        char16_t high = 0;
        for (std::size_t i = 0; i < count; ++i)
            high |= chars[i];
        if (high < 0x80) {
            if (count <= 255) {
                byte(tagString);
                byte(std::uint8_t(count));
            } else {
                byte(tagLongString);
                length32(std::uint32_t(count));
            }
            std::size_t done = 0;
            while (done < count) {
                if (used_ == capacity_)
                    flush();
                const std::size_t chunk = std::min(count - done, capacity_ - used_);
                std::uint8_t* to = buffer_.get() + used_;
                for (std::size_t i = 0; i < chunk; ++i)
                    to[i] = std::uint8_t(chars[done + i]);
                used_ += chunk;
                done += chunk;
            }
            return;
        }
        const std::size_t space = std::size_t(utf8_.requiredSpace(value.size()));
        if (utf8Scratch_.size() < space)
            utf8Scratch_.resize(std::max(space, utf8Scratch_.size() * 2));
        char* end = utf8_.appendToBuffer(utf8Scratch_.data(), value);
        const std::size_t length = std::size_t(end - utf8Scratch_.data());
        byte(tagUtf8String);
        length32(std::uint32_t(length));
        bytes(utf8Scratch_.data(), length);
    }

    void flush()
    {
        std::size_t done = 0;
        while (done < used_) {
            const ssize_t wrote = ::write(fd_, buffer_.get() + done, used_ - done);
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0)
                throw DatabaseError(writeErrorMessage);
            done += std::size_t(wrote);
        }
        used_ = 0;
    }

private:
    void length32(std::uint32_t value)
    {
        std::uint8_t out[4] = {std::uint8_t(value), std::uint8_t(value >> 8),
                               std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
        bytes(out, 4);
    }

    int fd_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::vector<char> utf8Scratch_;
    QStringEncoder utf8_{QStringConverter::Utf8, QStringConverter::Flag::Stateless};
};

void writeTable(const PointTable& table, Writer& out)
{
    out.bytes("TPF0", 4);
    out.integer(currentVersion);

    out.byte(tagList);
    for (const FieldDef& def : table.fields()) {
        out.text(def.name);
        out.text(def.typeName.isEmpty() ? defaultTypeName(def.type) : def.typeName);
        out.integer(def.size);
        out.text(def.displayName());
        out.text(def.editMask);
        out.integer(def.effectiveDisplayWidth());
        out.boolean(def.required);
        out.boolean(def.readOnly);
        out.text(def.kind.isEmpty() ? QStringLiteral("Data") : def.kind);
        out.text(def.defaultExpression);
    }
    out.byte(tagEnd);

    // No index definitions.
    out.byte(tagList);
    out.byte(tagEnd);

    const RecordStore& store = table.store();
    const int fields = table.fieldCount();
    out.byte(tagList);
    for (const Slot slot : table.currentOrder()) {
        const std::uint8_t status = store.status(slot);
        if (status == 3)
            continue;
        out.byte(tagList);
        out.integer(status);
        for (int field = 0; field < fields; ++field) {
            if (store.isNull(field, slot)) {
                out.byte(tagTrue);
                continue;
            }
            out.byte(tagFalse);
            switch (store.field(field).type) {
            case FieldType::Integer:
                out.integer(store.integer(field, slot));
                break;
            case FieldType::Boolean:
                out.boolean(store.boolean(field, slot));
                break;
            case FieldType::Float:
                out.real(store.real(field, slot));
                break;
            case FieldType::String:
            case FieldType::Memo:
                out.text(store.text(field, slot));
                break;
            }
        }
        out.byte(tagEnd);
    }
    out.byte(tagEnd);
    out.flush();
}

} // namespace

BaseFileFormat::Settings BaseFileFormat::settings() const
{
    return Setting::SaveData | Setting::SaveBlobs | Setting::SaveNonVisible | Setting::SaveDef |
           Setting::SaveIndexDef | Setting::SaveFieldKind | Setting::SaveFiltered |
           Setting::SaveUsingIndex | Setting::SaveIgnoreRange | Setting::SaveIgnoreMasterDetail |
           Setting::LoadDef | Setting::LoadFromStart | Setting::LoadData | Setting::LoadBlobs |
           Setting::LoadNonVisible | Setting::LoadIndexDef | Setting::LoadFieldKind;
}

void saveToFile(PointTable& table, const QString& fileName, const BaseFileFormat& format)
{
    if (!table.isOpen())
        throw DatabaseError(closedMessage);
    AtomicFile file(fileName);

    table.holdNotifications();
    const bool wasFiltered = table.filtered();
    try {
        if (wasFiltered)
            table.setFiltered(false);
        Writer out(file.fd(), std::size_t(format.bufferSize()));
        writeTable(table, out);
        file.commit();
    } catch (...) {
        file.discard();
        if (wasFiltered) {
            try {
                table.setFiltered(true);
            } catch (...) {
                // The save's own failure is the one reported.
            }
        }
        table.releaseNotifications();
        throw;
    }
    try {
        if (wasFiltered)
            table.setFiltered(true);
    } catch (...) {
        table.releaseNotifications();
        throw;
    }
    table.releaseNotifications();
}

void loadFromFile(PointTable& table, const QString& fileName, const BaseFileFormat& format)
{
    const QByteArray path = QFile::encodeName(fileName);
    // Non-blocking, so that a pipe or device cannot hang the open; only
    // regular files are read.
    FileDescriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    int error = 0;
    if (fd.get() < 0)
        error = errno;
    else if (::fstat(fd.get(), &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;
    else if (!S_ISREG(info.st_mode))
        error = EINVAL;
    if (error != 0)
        throw DatabaseError(QStringLiteral("Cannot open file \"%1\". %2")
                                .arg(fullName(fileName), systemError(error)));

    Reader in(fd.get(), std::uint64_t(info.st_size), std::size_t(format.bufferSize()));
    Loader loader(table, in);
    loader.readHeader();

    table.holdNotifications();
    try {
        loader.readBody();
    } catch (...) {
        table.releaseNotifications();
        throw;
    }
    table.releaseNotifications();
}

} // namespace kelvora
