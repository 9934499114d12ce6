#include "wordlist.h"

#include <QFile>
#include <QMutexLocker>

#include <algorithm>
#include <array>
#include <limits>

namespace {
// Orders kept per list; one per locale the process has used, which in practice is one.
constexpr std::size_t maxOrders = 4;
constexpr qsizetype answerSize = 5;
} // namespace

const WordList *WordList::forLanguage(int language)
{
    static const char *const paths[] = { ":/da.txt", ":/df.txt", ":/ds.txt", ":/dg.txt" };
    static std::array<std::unique_ptr<WordList>, 4> lists;
    static QMutex listsMutex;
    if (language < 1 || language > 4)
        return nullptr;
    QMutexLocker locker(&listsMutex);
    std::unique_ptr<WordList> &list = lists[language - 1];
    if (!list) {
        list = std::make_unique<WordList>(QString::fromLatin1(paths[language - 1]));
        list->prepare();
    }
    return list.get();
}

WordList::WordList(const QString &path)
{
    starts.push_back(0);
    QFile file(path);
    // Offsets are 32-bit; a file that large is no word list.
    if (!file.open(QIODevice::ReadOnly) || file.size() >= std::numeric_limits<quint32>::max())
        return;
    QByteArray bytes = file.readAll();
    // Text mode: CR is not part of any line.
    bytes.removeIf([](char c) { return c == '\r'; });
    text.reserve(bytes.size());

    QByteArrayView rest(bytes);
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        const QByteArrayView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        // Decoded line by line as the scan decodes them: a broken sequence stays within its line,
        // and a mark that starts a line is treated alike.
        QString decoded = QString::fromUtf8(line);
        if (starts.size() == 1 && decoded.startsWith(QChar(0xFEFF)))
            decoded.remove(0, 1);
        text.append(decoded);
        starts.push_back(quint32(text.size()));
    }
    text.squeeze();
}

WordList::~WordList() = default;

void WordList::prepare() const
{
    QMutexLocker locker(&mutex);
    orderForCurrentLocale();
}

const WordList::Order &WordList::orderForCurrentLocale() const
{
    // localeAwareCompare follows the default locale; so must the order built from it.
    const QLocale locale;
    for (auto it = orders.begin(); it != orders.end(); ++it) {
        if ((*it)->locale == locale) {
            std::rotate(it, it + 1, orders.end());
            return *orders.back();
        }
    }
    auto order = std::make_unique<Order>();
    order->locale = locale;
    const qsizetype n = size();
    for (qsizetype i = 0; i < n; ++i) {
        if (order->rises.empty()
            || QString::localeAwareCompare(entry(i), entry(order->rises.back())) > 0)
            order->rises.push_back(quint32(i));
    }
    order->rises.shrink_to_fit();
    if (orders.size() >= maxOrders)
        orders.erase(orders.begin());
    orders.push_back(std::move(order));
    return *orders.back();
}

QStringList WordList::complete(QStringView prefix) const
{
    QStringList result(answerSize, QString());
    if (prefix.isEmpty())
        return result;

    const qsizetype n = size();
    qsizetype first = n;
    {
        QMutexLocker locker(&mutex);
        const std::vector<quint32> &rises = orderForCurrentLocale().rises;
        // The first line not before the prefix is the first at which the running maximum is not
        // before it, and the running maximum only changes at its rises.
        const auto it = std::partition_point(rises.begin(), rises.end(), [&](quint32 i) {
            return QString::localeAwareCompare(entry(i), prefix) < 0;
        });
        if (it != rises.end())
            first = *it;
    }
    // The scan reads five lines before it can stop; at the end it holds the last five read.
    const qsizetype start = std::min(first, n - answerSize);
    for (qsizetype k = 0; k < answerSize; ++k) {
        if (start + k >= 0)
            result[k] = entry(start + k).toString();
    }
    return result;
}
