#include "scandriver.h"

#include "benchwrapper.h"
#include "person.h"
#include "typist.h"

#include <QCoreApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickWindow>
#include <QSettings>

#include <cstdio>
#include <limits>
#include <utility>

namespace {

// What the person reads, in one call: the window's state, its groups' label lists in every
// layer, the open list's entries and the predictions as shown.
const char *const snapshotScript = R"((function (k) {
    return function () {
        const labels = [];
        for (let p = 1; p <= 4; ++p) {
            const row = [];
            for (let g = 1; g <= 6; ++g)
                row.push(k.groupLabels(g, p));
            labels.push(row);
        }
        const board = wind.startup === 2;
        let open = 0, list = null;
        if (board) {
            for (let g = 1; g <= 6; ++g) {
                if (keyb.keyGroups.itemAt(g - 1).popup.visible)
                    [open, list] = [g, keyb.keyGroups.itemAt(g - 1)];
            }
            if (keyb.k0.popup.visible)
                [open, list] = [8, keyb.k0];
            if (!open && combot.running && wind.tk === 7)
                open = 7;
        } else if (wind.startup === 3 && mous.m3.popup.visible) {
            [open, list] = [3, mous.m3];
        }
        const pad = keyb.p1.visible ? [0, 1, 2, 3, 4].map(i => k.cased(wind.lword, wind.letr[i])) : [];
        // A window whose lists open on their way back shows it first in the pad's list too.
        let entries = open !== 7 ? [] : k.withBack ? k.withBack([""].concat(pad)).slice(1) : pad;
        if (list && list.model) {
            for (let i = 0; i < list.model.count; ++i)
                entries.push(list.model.get(i).text);
        }
        return {
            startup: wind.startup, minimised: wind.visibility === 3, plan: wind.plan,
            lit: board ? wind.tk : wind.tm, ts1: wind.ts1, inner: combot.running,
            armed: wind.armed, capital: k.sentenceStart(), lword: wind.lword, lastword: wind.lastword,
            cycle: (keyb.k0.visible ? [8] : []).concat([1, 2, 3, 4, 5, 6], keyb.p1.visible ? [7] : []),
            labels: labels, likely: keyb.k0.visible ? keyb.k0.labels.slice(1) : [], pad: pad,
            open: open, entries: entries
        };
    };
})(wind.kel()))";

QStringList strings(const QJSValue &array)
{
    QStringList out;
    const int n = array.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < n; ++i)
        out << array.property(quint32(i)).toString();
    return out;
}

} // namespace

ScanDriver::ScanDriver(const QVariantMap &settings)
{
    {
        QSettings store;
        store.clear();
        store.setValue(QStringLiteral("startup"), 2);
        for (auto i = settings.begin(); i != settings.end(); ++i)
            store.setValue(i.key(), i.value());
    }
    period = settings.value(QStringLiteral("s1v"), 1000).toInt();
    engine = std::make_unique<QQmlApplicationEngine>(QUrl(QStringLiteral("qrc:///main.qml")));
    if (engine->rootObjects().isEmpty() || !BenchWrapper::last())
        return;
    root = engine->rootObjects().first();
    bridge = BenchWrapper::last();
    bridge->setClock([this] { return clock; });
    root->setProperty("clock", double(clock));
    for (const char *name : { "devices", "popot", "combot" }) {
        QObject *timer = root->findChild<QObject *>(QLatin1String(name));
        if (!timer) {
            bridge = nullptr;
            return;
        }
        timers.push_back({ timer, qstrcmp(name, "devices") != 0 });
        connect(timer, SIGNAL(runningChanged()), this, SLOT(timerChanged()));
        connect(timer, SIGNAL(intervalChanged()), this, SLOT(timerChanged()));
        if (timer->property("running").toBool())
            timers.back().due = clock + timer->property("interval").toInt();
    }
    // The window's start, which a zero timer runs once the window is complete.
    QObject *start = root->findChild<QObject *>(QStringLiteral("tstart"));
    if (start) {
        QMetaObject::invokeMethod(start, "triggered");
        start->setProperty("running", false);
    }
    QQmlExpression expression(qmlContext(root), root, QString::fromUtf8(snapshotScript));
    snapshot = expression.evaluate().value<QJSValue>();
    if (!start || !snapshot.isCallable())
        bridge = nullptr;
    pressTime = clock;
}

ScanDriver::~ScanDriver() = default;

const QString &ScanDriver::document() const
{
    return bridge->document;
}

void ScanDriver::setPeriod(int ms)
{
    period = ms;
    root->findChild<QObject *>(QStringLiteral("norm"))
        ->property("s1")
        .value<QObject *>()
        ->setProperty("value", ms);
}

int ScanDriver::periodNow() const
{
    return root->property("s1v").toInt();
}

qint64 ScanDriver::nextStep() const
{
    qint64 next = -1;
    for (const Timer &t : timers) {
        if (t.scan && t.due >= 0 && (next < 0 || t.due < next))
            next = t.due;
    }
    return next;
}

// A timer (re)started or given a new interval (which restarts it) runs its period from now.
void ScanDriver::timerChanged()
{
    for (Timer &t : timers) {
        if (t.timer != sender())
            continue;
        const bool running = t.timer->property("running").toBool();
        const bool started = running && t.due < 0;
        t.due = running ? clock + t.timer->property("interval").toInt() : -1;
        t.changed = true;
        if (started && t.scan)
            shown();
    }
}

// A highlight shown; one replaced at the same moment was never seen.
void ScanDriver::shown()
{
    if (clock > lastShown)
        ++steps;
    lastShown = clock;
}

bool ScanDriver::fireNext()
{
    Timer *next = nullptr;
    for (Timer &t : timers) {
        if (t.due >= 0 && (!next || t.due < next->due))
            next = &t;
    }
    // Nothing left to run (no window would stop its poll): the phrase ends.
    if (!next) {
        stalled = true;
        return false;
    }
    clock = next->due;
    // A poll with the switch untouched and no device to look for finds nothing: it keeps its
    // beat without being run.
    if (!next->scan && !bridge->pressPending()) {
        next->due += next->timer->property("interval").toInt();
        return false;
    }
    root->setProperty("clock", double(clock));
    next->changed = false;
    const int taken = bridge->taken();
    const bool pending = bridge->pressPending();
    const qint64 before = steps;
    QMetaObject::invokeMethod(next->timer, "triggered");
    if (!next->changed)
        next->due = next->timer->property("running").toBool()
            ? clock + next->timer->property("interval").toInt()
            : -1;
    if (next->scan)
        shown();
    if (bridge->taken() != taken) {
        pressSteps = before;
        pressTime = clock;
        // What the loop would do next: lay the window out (the lists' views let go of the
        // entries of the models the press replaced), then delete those.
        qobject_cast<QQuickWindow *>(root)->grabWindow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return next->scan || bridge->taken() != taken || pending != bridge->pressPending();
}

WindowView ScanDriver::view()
{
    const QJSValue s = snapshot.call();
    const auto number = [&](const char *name) {
        return s.property(QLatin1String(name)).toInt();
    };
    WindowView v;
    v.startup = number("startup");
    v.minimised = s.property(QStringLiteral("minimised")).toBool();
    v.plan = number("plan");
    v.lit = number("lit");
    v.ts1 = number("ts1");
    v.inner = s.property(QStringLiteral("inner")).toBool();
    v.armed = number("armed");
    v.capital = s.property(QStringLiteral("capital")).toBool();
    v.lword = s.property(QStringLiteral("lword")).toString();
    v.lastword = s.property(QStringLiteral("lastword")).toString();
    for (const QString &p : strings(s.property(QStringLiteral("cycle"))))
        v.cycle << p.toInt();
    const QJSValue labels = s.property(QStringLiteral("labels"));
    for (quint32 p = 0; p < 4; ++p) {
        QList<QStringList> groups;
        for (quint32 g = 0; g < 6; ++g)
            groups << strings(labels.property(p).property(g));
        v.labels << groups;
    }
    v.likely = strings(s.property(QStringLiteral("likely")));
    v.pad = strings(s.property(QStringLiteral("pad")));
    v.open = number("open");
    v.entries = strings(s.property(QStringLiteral("entries")));
    return v;
}

bool ScanDriver::lit(int group, int entry, const WindowView &view) const
{
    if (entry < 0)
        return !view.inner && view.lit == group;
    return view.inner && view.open == group && view.ts1 == entry;
}

void ScanDriver::type(const QString &phrase, Typist &typist, Person &person, Figures &figures)
{
    typist.begin(phrase, bridge->document.size());
    // Each phrase is a text of its own, as in bench_typing: its first word starts a sentence.
    bridge->sentence();
    const qint64 fromSteps = pressSteps, fromTime = pressTime, presses = bridge->taken();
    // Far more than any person needs: a phrase the window cannot type ends.
    const qint64 limit = clock + (qint64(phrase.size()) * 40 + 60) * period;
    bool look = true, late = false;
    const bool hold = root->property("scanmode").toInt() == 1;
    while (!typist.done(bridge->document) && clock < limit && !stalled) {
        if (hold && releasing && !bridge->pressPending()) {
            holding = -1;
            releasing = false;
        }
        if (look && (!bridge->pressPending() || (hold && !releasing))) {
            const WindowView seen = view();
            const Typist::Choice c = typist.decide(seen, bridge->document);
            // A late press comes at the next highlight after the wanted one, whatever it is.
            bool now = std::exchange(late, false) || c.kind == Typist::Choice::Any;
            if (!now && c.kind == Typist::Choice::Press && lit(c.group, c.entry, seen)) {
                late = person.late();
                figures.late += late ? 1 : 0;
                now = !late;
            }
            if (trace) {
                std::fprintf(stderr,
                             "t=%lld view=%d plan=%d lit=%d open=%d ts1=%d armed=%d "
                             "choice=%d:%d:%d%s | %s\n",
                             clock, seen.startup, seen.plan, seen.lit, seen.open, seen.ts1,
                             seen.armed, int(c.kind), c.group, c.entry, now ? " press" : "",
                             qPrintable(bridge->document.right(30)));
            }
            if (c.kind == Typist::Choice::GiveUp)
                break;
            if (hold && c.kind == Typist::Choice::Press && (holding >= 0 || !lit(c.group, c.entry, seen))) {
                // Holding moves the scan; the release picks. The person lets go a reaction after
                // the wanted item lights (a lapse: one item later).
                if (holding < 0) {
                    holding = clock + person.reaction();
                    bridge->press(holding, std::numeric_limits<qint64>::max());
                } else if (now && !releasing) {
                    const qint64 up = clock + person.reaction(), step = nextStep();
                    figures.late += !late && step >= 0 && up >= step ? 1 : 0;
                    bridge->release(up);
                    releasing = true;
                }
                now = false;
            }
            if (now) {
                const qint64 down = clock + person.reaction();
                // Late by itself: the highlight moves on before the switch goes down.
                const qint64 step = nextStep();
                figures.late += !late && c.kind == Typist::Choice::Press && step >= 0 && down >= step ? 1 : 0;
                bridge->press(down, down + person.hold());
                // Held, the tap moves nothing; its release picks.
                if (hold)
                    holding = down, releasing = true;
            }
        }
        look = fireNext();
    }
    const int wrong = typist.errors(bridge->document);
    if (wrong > 0) {
        std::fprintf(stderr, "%d characters wrong (%s) in: %s\n", wrong,
                     clock < limit ? "not offered" : "out of time", qPrintable(phrase));
    }
    figures.errors += wrong;
    figures.characters += phrase.size();
    figures.steps += pressSteps - fromSteps;
    figures.ms += pressTime - fromTime;
    figures.presses += bridge->taken() - int(presses);
}
