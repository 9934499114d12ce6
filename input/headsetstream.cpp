#include "headsetstream.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string_view>

namespace {

// Deeper than anything the service sends; a run of braces in noise is given up on early.
constexpr int maxDepth = 16;
// Once objects given up on have cost this many bytes of scanning, the rest of their stretch is
// skipped instead of searched again byte by byte: noise cannot make reading quadratic.
constexpr qsizetype wasteBudget = 1 << 20;

enum ByteClass : quint8 { Foreign, Plain, Open, Close, Quote };

// What a byte outside a string can be in JSON: structure, white space other than line ends,
// and the characters of numbers and of true, false and null.
constexpr std::array<quint8, 256> makeClasses()
{
    std::array<quint8, 256> table {};
    for (const char c : std::string_view(" \t:,-+.0123456789eEtrufalsn"))
        table[uchar(c)] = Plain;
    table['{'] = table['['] = Open;
    table['}'] = table[']'] = Close;
    table['"'] = Quote;
    return table;
}
constexpr std::array<quint8, 256> byteClass = makeClasses();

std::optional<int> intMember(const QJsonObject &object, QLatin1String key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd())
        return std::nullopt;
    const QJsonValue value = it.value();
    if (value.isNull())
        return std::nullopt;
    // Fractions, strings, booleans, containers and numbers out of range all read as 0.
    const qint64 n = value.toInteger(0);
    return n < INT_MIN || n > INT_MAX ? 0 : int(n);
}

// The service's usual message: one level of integer or null members, without white space. Read
// here without building a document; anything else, or a wanted key given twice, returns false
// and goes to the full parser. The bytes have passed the scan in process(): the first is '{', the
// last '}', and no string holds a control byte.
bool readFlat(const char *p, const char *end, HeadsetStream::Reading &result)
{
    HeadsetStream::Reading reading;
    bool seen[2] = { false, false };
    ++p;
    --end;
    while (p < end) {
        if (*p != '"')
            return false;
        const char *key = ++p;
        while (p < end && *p != '"') {
            if (*p == '\\' || uchar(*p) >= 0x80)
                return false;
            ++p;
        }
        const std::string_view name(key, size_t(p - key));
        if (end - p < 3 || p[1] != ':')
            return false;
        p += 2;
        std::optional<int> value;
        if (end - p >= 4 && std::memcmp(p, "null", 4) == 0) {
            p += 4;
        } else {
            const bool negative = *p == '-';
            const char *digits = negative ? ++p : p;
            int n = 0;
            for (; p < end && *p >= '0' && *p <= '9'; ++p) {
                if (p - digits == 9)
                    return false;
                n = n * 10 + (*p - '0');
            }
            if (p == digits || (*digits == '0' && p - digits > 1))
                return false;
            value = negative ? -n : n;
        }
        const int wanted = name == "poorSignalLevel" ? 0 : name == "blinkStrength" ? 1 : -1;
        if (wanted >= 0) {
            if (seen[wanted])
                return false;
            seen[wanted] = true;
            (wanted == 0 ? reading.poorSignalLevel : reading.blinkStrength) = value;
        }
        if (p < end && *p++ != ',')
            return false;
        if (p == end && end[-1] == ',')
            return false;
    }
    result = reading;
    return true;
}

qsizetype lineEnd(const char *bytes, qsizetype from, qsizetype size)
{
    for (qsizetype i = from; i < size; ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n')
            return i;
    }
    return -1;
}

} // namespace

QList<HeadsetStream::Reading> HeadsetStream::feed(QByteArrayView data)
{
    QList<Reading> taken;
    // In slices, so that a long read never sits in the buffer whole.
    while (!data.isEmpty()) {
        const qsizetype slice = std::min(data.size(), maxPending);
        buffer.append(data.data(), slice);
        data = data.sliced(slice);
        process(taken);
    }
    return taken;
}

void HeadsetStream::reset()
{
    *this = HeadsetStream();
}

void HeadsetStream::process(QList<Reading> &taken)
{
    const char *bytes = buffer.constData();
    const qsizetype size = buffer.size();
    qsizetype start = inObject ? 0 : -1;
    qsizetype p = scan;
    // Locals, since the compiler cannot tell members apart from the bytes being read.
    int depth = this->depth;
    bool inString = this->inString;
    bool escaped = this->escaped;
    while (p < size) {
        if (skipLine) {
            const qsizetype end = lineEnd(bytes, p, size);
            if (end < 0) {
                p = size;
                break;
            }
            skipLine = false;
            p = end + 1;
            continue;
        }
        if (start < 0) {
            const void *brace = std::memchr(bytes + p, '{', size_t(size - p));
            if (!brace) {
                p = size;
                break;
            }
            start = static_cast<const char *>(brace) - bytes;
            if (start >= frontier)
                wasted = 0;
            p = start + 1;
            depth = 1;
            inString = false;
            escaped = false;
            continue;
        }

        const uchar c = uchar(bytes[p]);
        bool giveUp = false;
        bool closed = false;
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            else if (c < 0x20)
                giveUp = true; // line ends and control bytes never stand inside JSON text
        } else {
            switch (byteClass[c]) {
            case Plain:
                break;
            case Quote:
                inString = true;
                break;
            case Open:
                giveUp = ++depth > maxDepth;
                break;
            case Close:
                closed = --depth == 0;
                break;
            default:
                giveUp = true;
            }
        }
        if (!giveUp && !closed) {
            if (++p - start > maxPending) {
                start = -1;
                skipLine = true;
                wasted = 0;
                frontier = p;
            }
            continue;
        }

        const qsizetype end = closed ? p + 1 : p;
        if (closed) {
            Reading reading;
            bool valid = readFlat(bytes + start, bytes + end, reading);
            if (!valid) {
                QJsonParseError error;
                const QJsonDocument document = QJsonDocument::fromJson(
                    QByteArray::fromRawData(bytes + start, end - start), &error);
                valid = error.error == QJsonParseError::NoError && document.isObject();
                const QJsonObject object = document.object();
                reading = { intMember(object, QLatin1String("poorSignalLevel")),
                            intMember(object, QLatin1String("blinkStrength")) };
            }
            if (valid) {
                if (reading.poorSignalLevel || reading.blinkStrength)
                    taken.append(reading);
                start = -1;
                p = end;
                continue;
            }
        }
        // Not an object after all: an object may still begin inside it.
        wasted += end - start;
        frontier = std::max(frontier, end);
        p = wasted > wasteBudget ? frontier : start + 1;
        start = -1;
    }

    // Keep the open object only.
    const qsizetype drop = start < 0 ? size : start;
    if (drop == size)
        buffer.resize(0); // keeps the allocation for the next read
    else
        buffer.remove(0, drop);
    inObject = start >= 0;
    scan = p - drop;
    this->depth = depth;
    this->inString = inString;
    this->escaped = escaped;
    frontier = std::max<qsizetype>(0, frontier - drop);
}
