#include "wordrank.h"

#include "wordlist.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QVarLengthArray>
#include <QtDebug>

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>

namespace {

// Folded form of the characters U+0080 to U+024F (Latin-1 and Latin Extended-A and -B): the
// base letter of the canonical decomposition, in lower case.
constexpr char16_t tableStart = 0x80;
constexpr char16_t tableEnd = 0x250;

const std::array<char16_t, tableEnd - tableStart> &latinTable()
{
    static const auto table = [] {
        std::array<char16_t, tableEnd - tableStart> t {};
        for (char16_t c = tableStart; c < tableEnd; ++c) {
            QChar ch(c);
            while (ch.decompositionTag() == QChar::Canonical)
                ch = ch.decomposition().at(0);
            t[c - tableStart] = ch.toLower().unicode();
        }
        return t;
    }();
    return table;
}

// Calls out for each character c folds to: none, one, or two for ß.
template<typename Out> void foldChar(char16_t c, Out &&out)
{
    if (c < tableStart) {
        if (c == u'-')
            return;
        out(c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c);
    } else if (c == u'\u00DF' || c == u'\u1E9E') {
        out(u's');
        out(u's');
    } else if (c < tableEnd) {
        out(latinTable()[c - tableStart]);
    } else if (QChar::category(c) != QChar::Mark_NonSpacing) {
        out(QChar::toLower(c));
    }
}

// Negative when text, folded, sorts before foldedPrefix without starting with it; 0 when it
// starts with it; positive when it sorts after.
int comparePrefix(QStringView text, QStringView foldedPrefix)
{
    qsizetype k = 0;
    int result = 0;
    for (QChar c : text) {
        if (k == foldedPrefix.size())
            return 0;
        foldChar(c.unicode(), [&](char16_t f) {
            if (result != 0 || k == foldedPrefix.size())
                return;
            if (f != foldedPrefix[k].unicode())
                result = f < foldedPrefix[k].unicode() ? -1 : 1;
            else
                ++k;
        });
        if (result != 0)
            return result;
    }
    return k == foldedPrefix.size() ? 0 : -1;
}

} // namespace

QString WordRank::fold(QStringView text)
{
    QString folded;
    folded.reserve(text.size());
    for (QChar c : text)
        foldChar(c.unicode(), [&](char16_t f) { folded.append(QChar(f)); });
    return folded;
}

const WordRank *WordRank::forLanguage(int language)
{
    static const char *const paths[] = { ":/fa.txt", ":/ff.txt", ":/fs.txt", ":/fg.txt" };
    static std::array<std::unique_ptr<WordRank>, 4> ranks;
    static QMutex ranksMutex;
    const WordList *list = WordList::forLanguage(language);
    if (!list)
        return nullptr;
    QMutexLocker locker(&ranksMutex);
    std::unique_ptr<WordRank> &rank = ranks[language - 1];
    if (!rank)
        rank = std::make_unique<WordRank>(*list, QString::fromLatin1(paths[language - 1]));
    return rank.get();
}

WordRank::WordRank(const WordList &list, const QString &countsPath)
    : list(list)
    , size(list.size())
{
    std::vector<quint32> counts(size, 0);
    QFile file(countsPath);
    if (file.open(QIODevice::ReadOnly)) {
        const QString text = QString::fromUtf8(file.readAll());
        // The lines follow the list's order, so one forward walk over the list matches them.
        qsizetype at = 0;
        qsizetype lineNumber = 0;
        for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
            ++lineNumber;
            const qsizetype tab = line.indexOf(u'\t');
            const QStringView word = line.first(std::max<qsizetype>(tab, 0));
            bool ok = tab > 0;
            const quint32 count = ok ? line.sliced(tab + 1).toUInt(&ok) : 0;
            while (ok && at < size && list.entry(at) != word)
                ++at;
            if (!ok || at == size) {
                qWarning().noquote() << "Kelo#:" << countsPath << "line" << lineNumber
                                     << "does not match the word list; the counts stop there";
                break;
            }
            counted += count > 0 ? 1 : 0;
            counts[at++] = count;
        }
    }

    // Entries at the end that fold to nothing (the English list's closing empty line) can match
    // no prefix; left out, they do not break the order.
    while (size > 0 && fold(list.entry(size - 1)).isEmpty())
        --size;
    if (!inFoldedOrder()) {
        order.resize(size);
        std::iota(order.begin(), order.end(), 0u);
        sortByFoldedForm();
    }
    std::vector<quint64> keys(size);
    for (qsizetype i = 0; i < size; ++i) {
        const quint32 position = order.empty() ? quint32(i) : order[i];
        keys[i] = (quint64(counts[position]) << 32) | quint32(~position);
    }
    tree = TopTree(keys);
}

bool WordRank::inFoldedOrder() const
{
    // Two buffers taken in turn: no allocation per entry.
    QVarLengthArray<char16_t, 64> previous;
    QVarLengthArray<char16_t, 64> current;
    for (qsizetype i = 0; i < size; ++i) {
        current.clear();
        for (QChar c : list.entry(i))
            foldChar(c.unicode(), [&](char16_t f) { current.append(f); });
        if (std::lexicographical_compare(current.begin(), current.end(), previous.begin(),
                                         previous.end()))
            return false;
        std::swap(previous, current);
    }
    return true;
}

void WordRank::sortByFoldedForm()
{
    // Folded forms side by side, only while sorting.
    QString folded;
    std::vector<quint32> starts { 0 };
    starts.reserve(size + 1);
    for (qsizetype i = 0; i < size; ++i) {
        for (QChar c : list.entry(i))
            foldChar(c.unicode(), [&](char16_t f) { folded.append(QChar(f)); });
        starts.push_back(quint32(folded.size()));
    }
    const auto key = [&](quint32 i) {
        return QStringView(folded).sliced(starts[i], starts[i + 1] - starts[i]);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](quint32 a, quint32 b) { return key(a) < key(b); });
}

QStringView WordRank::sortedEntry(qsizetype i) const
{
    return list.entry(order.empty() ? i : order[i]);
}

std::size_t WordRank::memoryBytes() const
{
    return sizeof(*this) + order.capacity() * sizeof(quint32) + tree.memoryBytes();
}

QStringList WordRank::top(QStringView prefix, qsizetype want) const
{
    QStringList result;
    QVarLengthArray<char16_t, 64> folded;
    for (QChar c : prefix)
        foldChar(c.unicode(), [&](char16_t f) { folded.append(f); });
    const QStringView key(folded.constData(), folded.size());
    if (key.isEmpty() || want <= 0 || size == 0)
        return result;

    // The matching entries are one range in folded order.
    qsizetype lo = 0;
    qsizetype hi = size;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (comparePrefix(sortedEntry(mid), key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    hi = size;
    for (qsizetype l = lo; l < hi;) {
        const qsizetype mid = l + (hi - l) / 2;
        if (comparePrefix(sortedEntry(mid), key) <= 0)
            l = mid + 1;
        else
            hi = mid;
    }

    for (const qsizetype leaf : tree.top(lo, hi, want))
        result.append(sortedEntry(leaf).toString());
    return result;
}

QStringList WordRank::complete(QStringView prefix, const QStringList &first) const
{
    QStringList five = first.mid(0, 5);
    // As many more as there are words already, so five remain once duplicates go.
    for (const QString &word : top(prefix, 5 + five.size())) {
        if (five.size() < 5 && !five.contains(word))
            five.append(word);
    }
    five.resize(5);
    return five;
}
