// Builds the four word lists of the resource bundle from Debian's word-list packages and checks
// every rule of their format on the bytes it writes. Any breach stops it with a non-zero status.
//
// Usage: makewordlists [dict-dir] [output-dir]   (defaults: /usr/share/dict resources)
//        makewordlists --check [list-dir]          (checks the lists there, builds nothing)

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

enum class Order { CodePoint, FrenchFirstLevel };
enum class Ending { WordsThenEmptyLine, LastUnterminated, AllTerminated };

struct Format
{
    QString file;
    QString source;
    QString letters; // every character an entry may hold, besides capitals where allowed
    bool capitalsAllowed;
    int minLength;
    int maxLength;
    Order order;
    Ending ending;
    qsizetype target; // number of entries the list is meant to hold
};

// A list may differ from its target size by this much: the sources are not the ones the targets
// were measured on.
constexpr double sizeTolerance = 0.10;

const QByteArray bom("\xEF\xBB\xBF");

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

[[noreturn]] void fail(const QString &message)
{
    err() << "makewordlists: " << message << Qt::endl;
    std::exit(1);
}

QStringList readSource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(file.readAll());
    if (decoder.hasError())
        fail(QStringLiteral("%1 is not UTF-8").arg(path));
    QStringList words;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (!line.isEmpty())
            words.append(line.toString());
    }
    return words;
}

bool fits(const QString &word, const Format &format)
{
    if (word.size() < format.minLength || word.size() > format.maxLength)
        return false;
    for (QChar c : word) {
        if (!format.letters.contains(c)
            && !(format.capitalsAllowed && format.letters.contains(c.toLower())))
            return false;
    }
    return true;
}

// The French first level: accents, case and hyphens do not count.
QString frenchFirstLevel(const QString &word)
{
    QString key;
    for (QChar c : word.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing && c != u'-')
            key.append(c.toLower());
    }
    return key;
}

void sortCodePoint(QStringList &words)
{
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
}

void sortFrench(QStringList &words)
{
    sortCodePoint(words);
    QHash<QString, QString> keys;
    for (const QString &w : words)
        keys.insert(w, frenchFirstLevel(w));
    QCollator collator(QLocale(QLocale::French, QLocale::France));
    // Within one first-level key, accents and case order as the French collation orders them.
    std::stable_sort(words.begin(), words.end(), [&](const QString &a, const QString &b) {
        const int first = keys.value(a).compare(keys.value(b));
        if (first != 0)
            return first < 0;
        return collator.compare(a, b) < 0;
    });
}

QStringList english(const QStringList &source, const Format &format)
{
    QStringList words;
    for (const QString &w : source) {
        const QString lower = w.toLower();
        if (fits(lower, format))
            words.append(lower);
    }
    sortCodePoint(words);
    return words;
}

QStringList french(const QStringList &source, const Format &format)
{
    QStringList words;
    for (const QString &w : source) {
        if (fits(w, format))
            words.append(w);
    }
    sortFrench(words);
    return words;
}

QStringList spanish(const QStringList &source, const Format &format)
{
    return english(source, format);
}

// wngerman holds every inflected form and a great many compounds; the prediction list keeps the
// words that are neither an inflection of another word nor built from other words.
QStringList german(const QStringList &source, const Format &format)
{
    QSet<QString> all;
    for (const QString &w : source) {
        const QString lower = w.toLower();
        if (fits(lower, format))
            all.insert(lower);
    }
    static const QStringList endings = {
        u"e"_s,    u"en"_s,   u"em"_s,   u"er"_s,   u"es"_s,   u"n"_s,   u"s"_s,   u"ern"_s,
        u"ens"_s,  u"st"_s,   u"t"_s,    u"et"_s,   u"te"_s,   u"ten"_s, u"ter"_s, u"tes"_s,
        u"test"_s, u"tet"_s,  u"est"_s,  u"nen"_s,  u"se"_s,   u"ses"_s, u"sen"_s, u"ns"_s,
        u"ste"_s,  u"sten"_s, u"stem"_s, u"ster"_s, u"stes"_s,
    };
    static const QStringList particles = {
        u"ab"_s,   u"an"_s,   u"auf"_s,   u"aus"_s,   u"bei"_s,    u"ein"_s,    u"mit"_s,
        u"nach"_s, u"vor"_s,  u"zu"_s,    u"weg"_s,   u"um"_s,     u"dar"_s,    u"her"_s,
        u"hin"_s,  u"über"_s, u"unter"_s, u"durch"_s, u"wieder"_s, u"zurück"_s, u"zusammen"_s,
        u"los"_s,  u"fort"_s, u"heim"_s,  u"ent"_s,   u"ver"_s,    u"zer"_s,    u"be"_s,
        u"ge"_s,   u"er"_s,   u"miss"_s,  u"un"_s,
    };
    const auto inflected = [&](const QString &w) {
        for (const QString &e : endings) {
            if (w.size() - e.size() >= 3 && w.endsWith(e) && all.contains(w.chopped(e.size())))
                return true;
        }
        return false;
    };
    const auto compound = [&](const QString &w) {
        for (qsizetype i = 3; i + 3 <= w.size(); ++i) {
            const QString head = w.left(i);
            if (!all.contains(w.mid(i)))
                continue;
            if (all.contains(head)
                || ((head.endsWith(u's') || head.endsWith(u'n')) && all.contains(head.chopped(1)))
                || all.contains(head + u'e') || all.contains(head + u"en"_s))
                return true;
        }
        for (const QString &p : particles) {
            if (!w.startsWith(p))
                continue;
            if (w.size() - p.size() >= 3 && all.contains(w.mid(p.size())))
                return true;
            const QString zu = p + u"zu"_s;
            if (w.startsWith(zu) && w.size() - zu.size() >= 3 && all.contains(w.mid(zu.size())))
                return true;
        }
        return false;
    };
    QStringList words;
    for (const QString &w : std::as_const(all)) {
        if (!inflected(w) && !compound(w))
            words.append(w);
    }
    sortCodePoint(words);
    return words;
}

QByteArray encode(const QStringList &words, Ending ending)
{
    QByteArray bytes = bom;
    for (qsizetype i = 0; i < words.size(); ++i) {
        bytes += words.at(i).toUtf8();
        if (i + 1 < words.size() || ending != Ending::LastUnterminated)
            bytes += "\r\n";
    }
    if (ending == Ending::WordsThenEmptyLine)
        bytes += "\r\n";
    return bytes;
}

// Checks the bytes of one list against its format; returns the breaches, at most a few of each.
QStringList check(const QByteArray &bytes, const Format &format, QStringList *entriesOut)
{
    QStringList breaches;
    const auto breach = [&](const QString &what) {
        if (breaches.size() < 40)
            breaches.append(what);
    };
    if (!bytes.startsWith(bom))
        breach(u"no byte-order mark"_s);
    const QByteArray body = bytes.mid(bom.size());
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body.at(i) == '\r' && (i + 1 == body.size() || body.at(i + 1) != '\n'))
            breach(QStringLiteral("CR without LF at byte %1").arg(i + bom.size()));
        if (body.at(i) == '\n' && (i == 0 || body.at(i - 1) != '\r'))
            breach(QStringLiteral("LF without CR at byte %1").arg(i + bom.size()));
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(body);
    if (decoder.hasError())
        breach(u"not valid UTF-8"_s);
    if (text.contains(QChar(0xFEFF)))
        breach(u"a second byte-order mark"_s);

    QStringList lines = text.split(u"\r\n"_s);
    switch (format.ending) {
    case Ending::WordsThenEmptyLine:
        // "...word\r\n\r\n" splits into ..., word, "", ""
        if (!text.endsWith(u"\r\n\r\n"_s) || text.endsWith(u"\r\n\r\n\r\n"_s))
            breach(u"does not end with the last word's CR LF and one empty line's CR LF"_s);
        lines.removeLast();
        if (!lines.isEmpty())
            lines.removeLast(); // the closing empty line
        break;
    case Ending::LastUnterminated:
        if (text.endsWith(u'\n') || text.endsWith(u'\r'))
            breach(u"the last line has a terminator"_s);
        break;
    case Ending::AllTerminated:
        if (!text.endsWith(u"\r\n"_s))
            breach(u"the last line has no terminator"_s);
        lines.removeLast();
        break;
    }

    QSet<QString> seen;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &w = lines.at(i);
        const QString where = QStringLiteral("line %1 \"%2\"").arg(i + 1).arg(w);
        if (w.size() < format.minLength || w.size() > format.maxLength)
            breach(where
                   + QStringLiteral(": length %1 outside %2 to %3")
                         .arg(w.size())
                         .arg(format.minLength)
                         .arg(format.maxLength));
        for (QChar c : w) {
            const bool capital = c != c.toLower();
            if (!format.letters.contains(c)
                && !(capital && format.capitalsAllowed && format.letters.contains(c.toLower())))
                breach(where
                       + QStringLiteral(": character U+%1 not allowed")
                             .arg(c.unicode(), 4, 16, QChar(u'0')));
        }
        if (seen.contains(w))
            breach(where + u": duplicate"_s);
        seen.insert(w);
        if (i == 0)
            continue;
        const QString &prev = lines.at(i - 1);
        if (format.order == Order::CodePoint && !(prev < w))
            breach(where + u": not after the line before in code-point order"_s);
        if (format.order == Order::FrenchFirstLevel
            && frenchFirstLevel(prev).compare(frenchFirstLevel(w)) > 0)
            breach(where + u": before the line before at the French first level"_s);
    }
    const double off = double(lines.size() - format.target) / double(format.target);
    if (off > sizeTolerance || off < -sizeTolerance)
        breach(QStringLiteral("%1 entries, more than %2% from the target %3")
                   .arg(lines.size())
                   .arg(sizeTolerance * 100)
                   .arg(format.target));
    if (entriesOut)
        *entriesOut = lines;
    return breaches;
}

void report(const Format &format, const QStringList &entries)
{
    const auto count = [&](const std::function<bool(const QString &)> &test) {
        return std::count_if(entries.begin(), entries.end(), test);
    };
    qsizetype shortest = entries.isEmpty() ? 0 : entries.first().size();
    qsizetype longest = 0;
    for (const QString &e : entries) {
        shortest = std::min(shortest, e.size());
        longest = std::max(longest, e.size());
    }
    out() << format.file << ": " << entries.size() << " entries (target " << format.target << ", "
          << QString::number(100.0 * (entries.size() - format.target) / format.target, 'f', 1)
          << "%), lengths " << shortest << " to " << longest;
    out() << ", hyphen " << count([](const QString &e) { return e.contains(u'-'); });
    out() << ", capitals " << count([](const QString &e) { return e != e.toLower(); });
    out() << ", space " << count([](const QString &e) { return e.contains(u' '); });
    out() << ", period " << count([](const QString &e) { return e.contains(u'.'); });
    out() << ", starting beyond z "
          << count([](const QString &e) { return !e.isEmpty() && e.at(0).unicode() > 'z'; });
    out() << ", starting with a digit "
          << count([](const QString &e) { return !e.isEmpty() && e.at(0).isDigit(); }) << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const bool checkOnly = !args.isEmpty() && args.first() == u"--check"_s;
    if (checkOnly)
        args.removeFirst();
    const QString dictDir = checkOnly ? QString() : args.value(0, u"/usr/share/dict"_s);
    const QString outDir = args.value(checkOnly ? 0 : 1, u"resources"_s);
    const QString az = u"abcdefghijklmnopqrstuvwxyz"_s;

    const Format formats[] = {
        { u"da.txt"_s, u"web2"_s, az, false, 1, 20, Order::CodePoint, Ending::WordsThenEmptyLine,
          236983 },
        { u"df.txt"_s, u"french"_s, az + u"àâäçèéêëîïôöùûü-"_s, true, 1, 25,
          Order::FrenchFirstLevel, Ending::LastUnterminated, 336531 },
        { u"ds.txt"_s, u"spanish"_s, az + u"áéíîñóöúü."_s, false, 3, 23, Order::CodePoint,
          Ending::AllTerminated, 80028 },
        { u"dg.txt"_s, u"ngerman"_s, az + u"ßäéöü0123456789 -'./"_s, false, 3, 32, Order::CodePoint,
          Ending::AllTerminated, 29994 },
    };
    using Builder = QStringList (*)(const QStringList &, const Format &);
    const Builder builders[] = { english, french, spanish, german };

    for (int i = 0; i < 4; ++i) {
        const Format &format = formats[i];
        const QString path = QDir(outDir).filePath(format.file);
        if (checkOnly) {
            QFile list(path);
            if (!list.open(QIODevice::ReadOnly))
                fail(QStringLiteral("cannot read %1").arg(path));
            QStringList entries;
            const QStringList breaches = check(list.readAll(), format, &entries);
            if (!breaches.isEmpty())
                fail(path + u": "_s + breaches.join(u"\n  "_s));
            report(format, entries);
            continue;
        }
        const QStringList words = builders[i](readSource(dictDir + u'/' + format.source), format);
        const QByteArray bytes = encode(words, format.ending);
        QStringList breaches = check(bytes, format, nullptr);
        if (!breaches.isEmpty())
            fail(format.file + u": "_s + breaches.join(u"\n  "_s));

        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));

        // What counts is what reached the disk.
        QFile written(path);
        if (!written.open(QIODevice::ReadOnly))
            fail(QStringLiteral("cannot read back %1").arg(path));
        QStringList entries;
        breaches = check(written.readAll(), format, &entries);
        if (!breaches.isEmpty())
            fail(path + u": "_s + breaches.join(u"\n  "_s));
        report(format, entries);
    }
    return 0;
}
