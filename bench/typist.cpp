#include "typist.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

// An entry's text as it would type: Shift and Caps give a letter's capital, and so does a
// sentence start with nothing armed, which the person soon knows the window capitalises.
QString shown(const QString &entry, int armed, bool capital)
{
    const bool letter = entry.size() == 1 && entry[0].isLetter();
    return letter && (armed >= 4 || (armed == 0 && capital)) ? entry.toUpper() : entry;
}

// Steps from the lit outer position to position to, in the scan's order.
int distance(const WindowView &view, int to)
{
    const qsizetype n = view.cycle.size(), from = view.cycle.indexOf(view.lit),
                    at = view.cycle.indexOf(to);
    return from < 0 ? int(at) + 1 : int((at - from + n) % n);
}

} // namespace

void Typist::begin(const QString &phrase, qsizetype from)
{
    target = phrase;
    base = from;
    seen.clear();
    joinFrom.clear();
    brokeLast = false;
}

int Typist::errors(const QString &document) const
{
    const QString typed = document.mid(base);
    std::vector<int> row(size_t(target.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= typed.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= target.size(); ++j) {
            const int up = row[size_t(j)];
            row[size_t(j)] = std::min({ up + 1, row[size_t(j) - 1] + 1,
                                        diagonal + (typed[i - 1] == target[j - 1] ? 0 : 1) });
            diagonal = up;
        }
    }
    return row.back();
}

Typist::Choice Typist::decide(const WindowView &view, const QString &document)
{
    const QString typed = document.mid(base);
    if (typed != seen) {
        brokeLast = right(seen) && !right(typed);
        // Whether the window took a prediction's space back before the sign, or left it.
        if (!joinFrom.isEmpty()) {
            const QChar sign = target[joinFrom.size() - 1];
            if (typed == joinFrom.chopped(1) + sign + u' ')
                signJoin = 1;
            else if (typed == joinFrom + sign)
                signJoin = 0;
            joinFrom.clear();
        }
        seen = typed;
    }
    // A minimised window comes back, and the settings view gives way to the keyboard, on any
    // press; the mouse view's centre list leads back to the keyboard.
    if (view.minimised || view.startup == 1)
        return { Choice::Any };
    if (view.startup == 3) {
        const int at = int(view.entries.indexOf(names.keyboard));
        if (view.open == 0 || !view.inner)
            return { Choice::Press, 3 };
        return at >= 0 ? Choice { Choice::Press, 3, at } : Choice {};
    }
    const QList<Option> wanted = options(view, typed);
    return wanted.isEmpty() ? Choice { Choice::GiveUp } : choose(view, wanted);
}

// What would bring the text nearer the phrase, as the entries that do it.
QList<Typist::Option> Typist::options(const WindowView &view, const QString &typed)
{
    qsizetype good = 0;
    while (good < typed.size() && good < target.size() && typed[good] == target[good])
        ++good;
    if (good < typed.size()) {
        const qsizetype wrong = typed.size() - good;
        QList<Option> out;
        // A sign right after a chosen prediction: the window may take the space back itself.
        if (wrong == 1 && signJoin != 0 && !view.lastword.isEmpty() && typed.endsWith(view.lastword)
            && QStringLiteral(".,?!:;'").contains(target[good]) && typed[good] == u' ') {
            joinFrom = typed;
            out << Option { { QString(target[good]) }, 0, true };
        }
        if (brokeLast)
            out << Option { names.undo, 1 };
        const qsizetype all = view.lword.isEmpty() ? view.lastword.size() : view.lword.size();
        if (all >= 2 && all <= wrong)
            out << Option { { names.eraseAll }, 2 };
        out << Option { { names.erase }, 3 };
        return out;
    }
    if (typed.size() >= target.size())
        return {};
    const QChar next = target[typed.size()];
    // A modifier armed that the next character does not want is chosen again, which cancels it.
    if (view.armed == 1)
        return { Option { names.ctrl } };
    if (view.armed == 3)
        return { Option { names.alt } };
    if (view.armed >= 4 && !next.isUpper())
        return { Option { view.armed == 4 ? names.shift : names.caps } };
    QList<Option> out;
    // The word as the phrase has it, among the predictions: its letters and a space in one.
    const qsizetype start = typed.size() - view.lword.size();
    if (!view.lword.isEmpty() || !view.pad.isEmpty()) {
        qsizetype end = typed.size();
        while (end < target.size() && target[end].isLetter())
            ++end;
        const QString word = target.mid(start, end - start);
        const qsizetype at = view.pad.indexOf(word);
        // Once its letters are typed, only for the space it adds.
        const bool more = end > typed.size(), space = end < target.size() && target[end] == u' ';
        if (start >= 0 && typed.mid(start) == view.lword && !word.isEmpty() && at >= 0
            && (more || space))
            out << Option { { word }, more ? 0 : 1, false, 7, int(at) };
    }
    out << Option { { next == u' ' ? names.space : QString(next) }, 1, next != u' ' };
    if (next.isUpper() && view.armed < 4)
        out << Option { names.shift, 2 };
    return out;
}

// Where the best of the options is offered: in the list open, else among the groups of this
// layer; when this layer has none of them, the entry that changes to a layer that has one.
Typist::Choice Typist::choose(const WindowView &view, QList<Option> wanted) const
{
    const auto matches = [&](const Option &o, const QString &entry) {
        return o.texts.contains(o.character ? shown(entry, view.armed, view.capital) : entry);
    };
    // The entries of outer position g in layer plan; the pad's are only its predictions.
    const auto entriesOf = [&](int g, int plan) {
        if (g == 8)
            return view.likely;
        return g >= 1 && g <= 6 ? view.labels[plan - 1][g - 1].mid(1) : QStringList();
    };
    // The nearest outer position with an option of the lowest tier, 0 for none.
    const auto outer = [&](const QList<Option> &options) {
        int best = 0, bestTier = INT_MAX, bestCost = INT_MAX;
        for (const Option &o : options) {
            for (const int g : view.cycle) {
                const QStringList entries = entriesOf(g, view.plan);
                for (int i = 0; i < (g == 7 ? 5 : int(entries.size())); ++i) {
                    const bool here = g == 7 ? o.group == 7 && o.entry == i
                                             : o.group == 0 && matches(o, entries[i]);
                    const int cost = distance(view, g) + i + 1;
                    if (here && (o.tier < bestTier || (o.tier == bestTier && cost < bestCost)))
                        best = g, bestTier = o.tier, bestCost = cost;
                }
            }
        }
        return best;
    };
    if (outer(wanted) == 0) {
        const auto layer = [&]() -> int {
            for (int tier = 0; tier <= 3; ++tier) {
                for (const Option &o : wanted) {
                    for (int plan = 1; o.tier == tier && o.group == 0 && plan <= 4; ++plan) {
                        for (int g = 1; plan != view.plan && g <= 6; ++g) {
                            const QStringList entries = entriesOf(g, plan);
                            if (std::any_of(entries.begin(), entries.end(),
                                            [&](const QString &e) { return matches(o, e); }))
                                return plan;
                        }
                    }
                }
            }
            return 0;
        }();
        if (layer == 0)
            return { Choice::GiveUp };
        wanted = { Option { names.layers[layer - 1] } };
    }
    if (view.inner && view.open != 0) {
        int best = -1, bestTier = INT_MAX, bestCost = INT_MAX;
        const int n = int(view.entries.size());
        for (const Option &o : wanted) {
            for (int i = 0; i < n; ++i) {
                const bool here = view.open == 7 ? o.group == 7 && o.texts.contains(view.entries[i])
                                                 : o.group == 0 && matches(o, view.entries[i]);
                const int cost = (i - view.ts1 + n) % n;
                if (here && (o.tier < bestTier || (o.tier == bestTier && cost < bestCost)))
                    best = i, bestTier = o.tier, bestCost = cost;
            }
        }
        for (int i = 0; best < 0 && i < n; ++i) {
            if (names.back.contains(view.entries[i]))
                best = i;
        }
        // Nothing of use: the list closes by itself after two passes.
        return best < 0 ? Choice {} : Choice { Choice::Press, view.open, best };
    }
    const int best = outer(wanted);
    return best != 0 ? Choice { Choice::Press, best } : Choice { Choice::GiveUp };
}
