// Builds the four context models from Debian packages' n-gram data, unpacked under ROOT:
//   English: pocketsphinx-en-us's trigram model (usr/share/pocketsphinx/model/en-us/en-us.lm.bin),
//            read through libsphinxbase, whose own ARPA writer fails on this model: the n-grams
//            are found by asking the model for every history and word of the vocabulary kept.
//   French, Spanish, German: onboard-data's unigram counts (usr/share/onboard/models/xx_YY.lm)
//            with maliit-keyboard's bigram and trigram counts (database_xx.db), smoothed by
//            absolute discounting.
// Words are kept in lower case, letters only with at most one inner apostrophe. The output is
// deterministic, and read back through the program's own reader before it is kept.
//
// Usage: makengrams ROOT OUT-DIR [LANGUAGE...]   (languages en fr es de; all by default)

#include "contextmodel.h"
#include "contextmodelwriter.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

// Kept per history; the reader's look-ups stay within a few dozen words of each list.
constexpr int maxBigrams = 64;
constexpr int maxTrigrams = 32;

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

[[noreturn]] void fail(const QString &message)
{
    err() << "makengrams: " << message << Qt::endl;
    std::exit(1);
}

bool isWord(const QString &w)
{
    static const QRegularExpression letters(u"^\\p{Ll}+('\\p{Ll}+)?$"_s);
    return letters.match(w).hasMatch();
}

void english(const QString &root, ContextModelWriter &out)
{
    const QString path = root + u"/usr/share/pocketsphinx/model/en-us/en-us.lm.bin"_s;
    logmath_t *log = logmath_init(1.0001, 0, 0);
    ngram_model_t *lm = ngram_model_read(nullptr, path.toLocal8Bit().constData(), NGRAM_AUTO, log);
    if (!lm)
        fail(path + u": cannot be read as a language model"_s);
    const uint32 *counts = ngram_model_get_counts(lm);
    // The vocabulary kept: the likeliest words by themselves.
    struct Word
    {
        double p;
        int32 id;
        QString text;
    };
    std::vector<Word> vocabulary;
    for (uint32 i = 0; i < counts[0]; ++i) {
        const QString w = QString::fromUtf8(ngram_word(lm, int32(i)));
        int32 used = 0;
        const double p = logmath_exp(log, ngram_ng_score(lm, int32(i), nullptr, 0, &used));
        if (isWord(w))
            vocabulary.push_back({ p, int32(i), w });
    }
    std::sort(vocabulary.begin(), vocabulary.end(),
              [](const Word &a, const Word &b) { return a.p > b.p || (a.p == b.p && a.id < b.id); });
    vocabulary.resize(std::min<std::size_t>(vocabulary.size(), 50000));
    for (const Word &w : vocabulary)
        out.setProb({ w.text }, w.p);
    const int32 start = ngram_wid(lm, "<s>");
    std::vector<Word> histories { { 1, start, u"<s>"_s } };
    histories.insert(histories.end(), vocabulary.begin(), vocabulary.begin() + 20000);

    // Bigrams: every kept word after each of the likeliest histories.
    QHash<int32, std::vector<std::pair<double, int32>>> followers;
    for (const Word &h : histories) {
        auto &next = followers[h.id];
        for (const Word &w : vocabulary) {
            int32 used = 0;
            const int32 score = ngram_bg_score(lm, w.id, h.id, &used);
            if (used == 2) {
                out.setProb({ h.text, w.text }, logmath_exp(log, score));
                next.push_back({ logmath_exp(log, score), w.id });
            }
        }
        std::sort(next.rbegin(), next.rend());
    }
    // Trigrams: after the likeliest pairs, each history with its likeliest followers.
    QHash<int32, QString> text;
    for (const Word &w : histories)
        text.insert(w.id, w.text);
    const std::size_t words3 = std::min<std::size_t>(vocabulary.size(), 15000);
    for (std::size_t i = 0; i < std::min<std::size_t>(histories.size(), 3000); ++i) {
        const Word &h2 = histories[i];
        const auto &next = followers[h2.id];
        for (std::size_t j = 0; j < std::min<std::size_t>(next.size(), 30); ++j) {
            const int32 h1 = next[j].second;
            if (!text.contains(h1))
                continue;
            for (std::size_t k = 0; k < words3; ++k) {
                int32 used = 0;
                const int32 score = ngram_tg_score(lm, vocabulary[k].id, h1, h2.id, &used);
                if (used == 3)
                    out.setProb({ h2.text, text[h1], vocabulary[k].text }, logmath_exp(log, score));
            }
        }
    }
    ngram_model_free(lm);
    logmath_free(log);
}

void counted(const QString &root, const QString &code, const QString &locale,
             ContextModelWriter &out)
{
    // Unigrams: onboard's counts, every spelling of a word added to its lower case.
    const QString lmPath = root + u"/usr/share/onboard/models/"_s + locale + u".lm"_s;
    QFile lmFile(lmPath);
    if (!lmFile.open(QIODevice::ReadOnly))
        fail(lmPath + u": "_s + lmFile.errorString());
    bool inUnigrams = false;
    while (!lmFile.atEnd()) {
        const QString line = QString::fromUtf8(lmFile.readLine()).trimmed();
        if (line.startsWith(u'\\')) {
            inUnigrams = line == u"\\1-grams:"_s;
            continue;
        }
        const qsizetype space = line.indexOf(u' ');
        const QString w = line.mid(space + 1).toLower();
        if (inUnigrams && space > 0 && isWord(w))
            out.count({ w }, line.left(space).toULongLong());
    }
    // Bigrams and trigrams: maliit's counts.
    const QString dbPath = root + u"/usr/lib/x86_64-linux-gnu/maliit/keyboard2/languages/"_s + code
        + u"/database_"_s + code + u".db"_s;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(dbPath.toLocal8Bit().constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK)
        fail(dbPath + u": cannot be opened"_s);
    for (const char *query : { "select word_1, word, count from _2_gram order by 1, 2",
                               "select word_2, word_1, word, count from _3_gram order by 1, 2, 3" }) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, query, -1, &statement, nullptr) != SQLITE_OK)
            fail(dbPath + u": "_s + QString::fromUtf8(sqlite3_errmsg(db)));
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList ngram;
            for (int c = 0; c + 1 < columns; ++c)
                ngram << QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(statement, c)))
                             .toLower();
            if (std::all_of(ngram.begin(), ngram.end(), isWord))
                out.count(ngram, quint64(sqlite3_column_int64(statement, columns - 1)));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    out.estimate(0.75);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        fail(u"usage: makengrams ROOT OUT-DIR [en|fr|es|de ...]"_s);
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QDir outDir(QString::fromLocal8Bit(argv[2]));
    QStringList languages;
    for (int i = 3; i < argc; ++i)
        languages << QString::fromLocal8Bit(argv[i]);
    if (languages.isEmpty())
        languages = { u"en"_s, u"fr"_s, u"es"_s, u"de"_s };
    const QHash<QString, QString> locales { { u"fr"_s, u"fr_FR"_s }, { u"es"_s, u"es_ES"_s },
                                            { u"de"_s, u"de_DE"_s } };
    for (const QString &code : languages) {
        ContextModelWriter writer;
        if (code == u"en"_s)
            english(root, writer);
        else if (locales.contains(code))
            counted(root, code, locales[code], writer);
        else
            fail(u"unknown language "_s + code);
        const QByteArray bytes = writer.write(maxBigrams, maxTrigrams);
        const ContextModel check({}, bytes);
        if (!check.isValid())
            fail(code + u": the model written does not read back: "_s + check.error());
        const QString path = outDir.filePath(u"ctx_"_s + code + u".bin"_s);
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            fail(path + u": "_s + file.errorString());
        QTextStream(stdout) << path << ": " << check.size() << " words, " << bytes.size()
                            << " bytes" << Qt::endl;
    }
    return 0;
}
