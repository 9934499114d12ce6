#include "learnedwords.h"

#include "privatefile.h"
#include "wordrank.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtDebug>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QByteArray header = "Kelo# learned words 2";
const QByteArray headerOne = "Kelo# learned words 1"; // words only
const char *const codes[] = { "en", "fr", "es", "de" };

// 1 to limit, decimal without sign or leading zero; 0 otherwise.
quint32 parseCount(QByteArrayView digits, quint32 limit)
{
    if (digits.isEmpty() || digits.size() > 10 || digits.front() == '0')
        return 0;
    quint64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + quint64(c - '0');
    }
    return value <= limit ? quint32(value) : 0;
}

} // namespace

QString LearnedWords::defaultPath()
{
#ifdef Q_OS_WIN
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#else
    // Where the settings file is by default, even while a run keeps its settings elsewhere.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + u'/' + QCoreApplication::organizationName();
#endif
    return QDir(folder).filePath(u"Kelo#-words.txt"_s);
}

LearnedWords::LearnedWords(const QString &path)
    : filePath(path)
{
    load();
}

bool LearnedWords::acceptable(QStringView word)
{
    if (word.isEmpty() || word.size() > maxLength || !word.isValidUtf16() || word.front().isSpace()
        || word.back().isSpace())
        return false;
    for (QChar c : word) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph)
            return false;
    }
    return !WordRank::fold(word).isEmpty();
}

bool LearnedWords::learnable(QStringView word)
{
    if (!acceptable(word))
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word[i];
        const bool inner = i > 0 && i + 1 < word.size() && word[i - 1].isLetter()
            && word[i + 1].isLetter();
        if (!c.isLetter() && !c.isMark() && !(inner && (c == u'\'' || c == u'-' || c == u'\u2019')))
            return false;
    }
    return true;
}

bool LearnedWords::before(const Word &a, int language, QStringView key, QStringView text)
{
    if (a.language != language)
        return a.language < language;
    if (const int c = QStringView(a.key).compare(key))
        return c < 0;
    return QStringView(a.text).compare(text) < 0;
}

void LearnedWords::load()
{
    const QString what = u"Kelo#: the learned-words file %1"_s.arg(filePath);
    // Someone else's link is neither followed nor replaced; a file that cannot be read is never
    // overwritten: either may hold words that are not this program's to lose.
    if (PrivateFile::isLink(filePath.toStdString())) {
        qWarning().noquote() << what
                             << "is a symbolic link; it is left alone and learned words "
                                "are kept until exit.";
        writable = false;
        return;
    }
    QFile file(filePath);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << what << "cannot be read (" << file.errorString()
                             << "); it is left alone and learned words are kept until exit.";
        writable = false;
        return;
    }
    const QByteArray bytes = file.read(maxFileBytes + 1);
    file.close();

    // Each damaged line costs that line alone; the first problem is told.
    QString problem;
    qsizetype lost = 0;
    const auto damaged = [&](qsizetype line, const char *why) {
        if (problem.isEmpty())
            problem = line ? u"line %1 %2"_s.arg(line).arg(QLatin1StringView(why))
                           : QString::fromLatin1(why);
        ++lost;
    };
    std::vector<Word> read;
    QSet<QString> seen;
    QList<QByteArray> lines = bytes.left(maxFileBytes).split('\n');
    if (bytes.size() > maxFileBytes)
        damaged(0, "larger than the limit");
    // The piece after the last LF: empty, or a line cut short.
    if (!lines.constLast().isEmpty())
        damaged(0, "the last line has no line end");
    lines.removeLast();
    const bool versionOne = !lines.isEmpty() && lines.first() == headerOne;
    const bool headed = !lines.isEmpty() && (versionOne || lines.first() == header);
    for (qsizetype i = headed ? 1 : 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split('\t');
        const bool pair = fields.size() == 4 && !versionOne;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = fields.size() == 3 || pair ? decoder.decode(fields.back()) : QString();
        const QString previous = pair ? decoder.decode(fields.at(2)) : QString();
        const auto code = std::find(std::begin(codes), std::end(codes), fields.value(0));
        const quint32 count = parseCount(fields.value(1), maxCount);
        const int language = int(code - std::begin(codes)) + 1 + (pair ? 4 : 0);
        const QString entry = pair ? previous + u'\t' + text : text;
        const QString id = QString::number(language) + u'\t' + entry;
        if (decoder.hasError())
            damaged(i + 1, "is not valid UTF-8");
        else if ((fields.size() != 3 && !pair) || code == std::end(codes) || count == 0
                 || !acceptable(text) || (pair && !acceptable(previous)))
            damaged(i + 1, "is not language, count and word");
        else if (seen.contains(id))
            damaged(i + 1, "repeats a word");
        else if (qsizetype(seen.size()) == maxWords)
            damaged(i + 1, "is past the most words kept");
        // Words an earlier version learned that are no longer learned (codes, passwords) go.
        else if (seen.insert(id); learnable(text) && (!pair || learnable(previous))) {
            const QString key = pair ? WordRank::fold(previous) + u'\t' + WordRank::fold(text)
                                     : WordRank::fold(text);
            read.push_back({ language, key, entry, count, quint32(i) });
        }
    }
    std::sort(read.begin(), read.end(),
              [](const Word &a, const Word &b) { return before(a, b.language, b.key, b.text); });
    words = std::move(read);
    clock = quint32(lines.size());
    index();
    if (problem.isEmpty())
        return;
    // The file as it was is kept beside under a name of its own, never over an earlier copy.
    QString aside;
    for (int n = 1; n <= maxAside && aside.isEmpty(); ++n) {
        const QString name = filePath + (n == 1 ? u".bad"_s : u".bad.%1"_s.arg(n));
        if (!QFile::exists(name) && !PrivateFile::isLink(name.toStdString())
            && QFile::copy(filePath, name))
            aside = name;
    }
    qWarning().noquote() << u"%1 is damaged (%2): %3 lines left out, %4 words kept; %5"_s
                                .arg(what, problem)
                                .arg(lost)
                                .arg(words.size())
                                .arg(aside.isEmpty()
                                         ? u"no copy kept, %1 are kept already."_s.arg(maxAside)
                                         : u"the file as it was is kept as %1."_s.arg(aside));
    if (!aside.isEmpty())
        PrivateFile::restrict(aside.toStdString());
    save();
}

bool LearnedWords::save()
{
    if (!writable)
        return false;
    std::vector<const Word *> byUse;
    for (const Word &w : words)
        byUse.push_back(&w);
    std::sort(byUse.begin(), byUse.end(),
              [](const Word *a, const Word *b) { return a->used < b->used; });
    QByteArray bytes = header + '\n';
    for (const Word *w : byUse)
        bytes += codes[(w->language - 1) % 4] + ('\t' + QByteArray::number(w->count)) + '\t'
            + w->text.toUtf8() + '\n';

    std::string why;
    if (PrivateFile::write(filePath.toStdString(), bytes.toStdString(), &why))
        return true;
    if (!warnedWrite)
        qWarning().noquote() << "Kelo#: cannot write the learned-words file" << filePath << "("
                             << QString::fromStdString(why)
                             << "); learned words are kept until exit.";
    warnedWrite = true;
    return false;
}

bool LearnedWords::learn(int language, QStringView word, QStringView previous)
{
    if (language < 1 || language > 4 || !learnable(word))
        return false;
    const quint32 used = ++clock;
    count(language, WordRank::fold(word), word.toString(), used);
    if (learnable(previous))
        count(language + 4, WordRank::fold(previous) + u'\t' + WordRank::fold(word),
              previous.toString() + u'\t' + word.toString(), used);
    index();
    save();
    return true;
}

void LearnedWords::count(int language, const QString &key, const QString &word, quint32 used)
{
    auto it = std::lower_bound(words.begin(), words.end(), 0,
                               [&](const Word &w, int) { return before(w, language, key, word); });
    if (it != words.end() && it->language == language && it->text == word) {
        it->count = std::min(it->count + 1, maxCount);
        it->used = used;
        return;
    }
    words.insert(it, { language, key, word, 1, used });
    if (qsizetype(words.size()) > maxWords) {
        // What was just learned stays, or a full list could never take a new one.
        const auto victim
            = std::min_element(words.begin(), words.end(), [&](const Word &a, const Word &b) {
                  const auto rank = [&](const Word &w) {
                      return std::pair(w.used == used ? maxCount + 1ull : w.count, w.used);
                  };
                  return rank(a) < rank(b);
              });
        words.erase(victim);
    }
}

QStringList LearnedWords::top(int language, QStringView prefix, qsizetype want) const
{
    const QString key = WordRank::fold(prefix);
    return key.isEmpty() ? QStringList() : find(language, key, want);
}

QStringList LearnedWords::topAfter(int language, QStringView previous, QStringView prefix,
                                   qsizetype want) const
{
    if (language < 1 || language > 4 || !learnable(previous))
        return {};
    QStringList found = find(language + 4, WordRank::fold(previous) + u'\t' + WordRank::fold(prefix),
                             want);
    for (QString &pair : found)
        pair = pair.mid(pair.indexOf(u'\t') + 1);
    return found;
}

QStringList LearnedWords::find(int language, const QString &key, qsizetype want) const
{
    QStringList result;
    if (want <= 0)
        return result;
    // The matching words are one range: from the first not before the key to the first after
    // every word that starts with it.
    const auto from = std::lower_bound(words.begin(), words.end(), 0, [&](const Word &w, int) {
        return before(w, language, key, QStringView());
    });
    const auto to = std::partition_point(from, words.end(), [&](const Word &w) {
        return w.language == language && w.key.startsWith(key);
    });
    for (const qsizetype i : byUse.top(from - words.begin(), to - words.begin(), want))
        result.append(words[i].text);
    return result;
}

void LearnedWords::index()
{
    std::vector<quint64> keys;
    keys.reserve(words.size());
    for (const Word &w : words)
        keys.push_back((quint64(w.count) << 32) | w.used);
    byUse = TopTree(keys);
}

void LearnedWords::forget()
{
    words.clear();
    clock = 0;
    index();
    for (int n = 1; n <= maxAside; ++n)
        QFile::remove(filePath + (n == 1 ? u".bad"_s : u".bad.%1"_s.arg(n)));
    // A file that cannot be removed is emptied instead.
    if (!QFile::remove(filePath) && QFile::exists(filePath))
        save();
}
