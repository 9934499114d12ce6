#include "learnedwords.h"

#include "wordrank.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtDebug>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QByteArray header = "Kelo# learned words 1";
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
    const QString folder = QFileInfo(QSettings().fileName()).absolutePath();
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
    QFile file(filePath);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "Kelo#: cannot read the learned-words file" << filePath << "("
                             << file.errorString() << "); starting without learned words.";
        return;
    }
    const QByteArray bytes = file.read(maxFileBytes + 1);
    file.close();

    QString problem;
    std::vector<Word> read;
    QSet<QString> seen;
    const QList<QByteArray> lines = bytes.split('\n');
    if (bytes.size() > maxFileBytes)
        problem = u"larger than %1 bytes"_s.arg(maxFileBytes);
    else if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        problem = u"the last line has no line end"_s;
    else if (!bytes.isEmpty() && lines.first() != header)
        problem = u"line 1 is not \"%1\""_s.arg(QString::fromLatin1(header));
    else if (lines.size() - 2 > maxWords)
        problem = u"more than %1 words"_s.arg(maxWords);
    // Every line but the header and the empty piece after the last LF.
    for (qsizetype i = 1; problem.isEmpty() && i + 1 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split('\t');
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = fields.size() == 3 ? decoder.decode(fields.at(2)) : QString();
        const auto code = std::find(std::begin(codes), std::end(codes), fields.value(0));
        const quint32 count = parseCount(fields.value(1), maxCount);
        const int language = int(code - std::begin(codes)) + 1;
        if (decoder.hasError())
            problem = u"line %1 is not valid UTF-8"_s.arg(i + 1);
        else if (fields.size() != 3 || code == std::end(codes) || count == 0 || !acceptable(text))
            problem = u"line %1 is not language, count and word"_s.arg(i + 1);
        else if (seen.contains(QString::number(language) + u'\t' + text))
            problem = u"line %1 repeats a word"_s.arg(i + 1);
        seen.insert(QString::number(language) + u'\t' + text);
        read.push_back({ language, WordRank::fold(text), text, count, quint32(i) });
    }

    if (!problem.isEmpty()) {
        const QString aside = filePath + u".bad"_s;
        QFile::remove(aside);
        if (!QFile::rename(filePath, aside))
            QFile::remove(filePath);
        qWarning().noquote() << u"Kelo#: the learned-words file %1 is damaged (%2); it was set "
                                u"aside as %3 and a new one is started."_s.arg(filePath, problem,
                                                                               aside);
        save();
        return;
    }
    std::sort(read.begin(), read.end(),
              [](const Word &a, const Word &b) { return before(a, b.language, b.key, b.text); });
    words = std::move(read);
    clock = quint32(words.size());
    index();
}

bool LearnedWords::save()
{
    std::vector<const Word *> byUse;
    for (const Word &w : words)
        byUse.push_back(&w);
    std::sort(byUse.begin(), byUse.end(),
              [](const Word *a, const Word *b) { return a->used < b->used; });
    QByteArray bytes = header + '\n';
    for (const Word *w : byUse)
        bytes += codes[w->language - 1] + ('\t' + QByteArray::number(w->count)) + '\t'
            + w->text.toUtf8() + '\n';

    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QSaveFile file(filePath);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (!warnedWrite)
        qWarning().noquote() << "Kelo#: cannot write the learned-words file" << filePath << "("
                             << file.errorString() << "); learned words are kept until exit.";
    warnedWrite = true;
    return false;
}

bool LearnedWords::learn(int language, QStringView word)
{
    if (language < 1 || language > 4 || !acceptable(word))
        return false;
    const QString key = WordRank::fold(word);
    auto it = std::lower_bound(words.begin(), words.end(), 0,
                               [&](const Word &w, int) { return before(w, language, key, word); });
    if (it != words.end() && it->language == language && it->text == word) {
        it->count = std::min(it->count + 1, maxCount);
        it->used = ++clock;
    } else {
        const quint32 used = ++clock;
        words.insert(it, { language, key, word.toString(), 1, used });
        if (qsizetype(words.size()) > maxWords) {
            // The word just learned stays, or a full list could never take a new one.
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
    index();
    save();
    return true;
}

QStringList LearnedWords::top(int language, QStringView prefix, qsizetype want) const
{
    QStringList result;
    const QString key = WordRank::fold(prefix);
    if (key.isEmpty() || want <= 0)
        return result;
    // The matching words are one range: from the first not before the prefix to the first after
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
    QFile::remove(filePath + u".bad"_s);
    // A file that cannot be removed is emptied instead.
    if (!QFile::remove(filePath) && QFile::exists(filePath))
        save();
}
