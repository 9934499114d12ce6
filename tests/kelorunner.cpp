#include "kelorunner.h"
#include "scanpicture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>

#include <cstring>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

// A property's items: 32-bit ones as Xlib hands them out (longs), bytes one by one.
std::vector<unsigned long> property(Display *display, Window window, const char *name, Atom type)
{
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type,
                       &actual, &format, &count, &after, &data);
    std::vector<unsigned long> items(count);
    for (unsigned long i = 0; i < count; ++i)
        items[i] = format == 32 ? reinterpret_cast<const unsigned long *>(data)[i] : data[i];
    XFree(data);
    return items;
}

template<typename Done> bool waitUntil(int timeoutMs, int stepMs, Done done)
{
    for (const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs); !done();
         QThread::msleep(stepMs))
        if (Clock::now() > end)
            return false;
    return true;
}

} // namespace

Display *KeloRunner::openDisplay(QString *why)
{
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    Display *display = XOpenDisplay(nullptr);
    const auto managed = [&] { // an EWMH window manager names a live check window on the root
        const auto check
            = property(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
        XWindowAttributes attributes {};
        return !check.empty() && XGetWindowAttributes(display, check.front(), &attributes);
    };
    if (display && waitUntil(5000, 100, managed)) {
        for (unsigned button = 1; button <= 3; ++button) // a failed run may have left one held
            XTestFakeButtonEvent(display, button, False, CurrentTime);
        return display;
    }
    *why = display ? u"no window manager runs on the display"_s : u"no X display (DISPLAY)"_s;
    return nullptr;
}

bool KeloRunner::writeSettings(const QMap<QString, QString> &values) const
{
    QSettings stored(settingsFile(), QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it)
        stored.setValue(it.key(), it.value());
    // Walks find entries by their place: the likeliest letters' group, which moves them, stays
    // off unless a test asks for it.
    if (!stored.contains(u"likely"_s))
        stored.setValue(u"likely"_s, false);
    stored.sync();
    return stored.status() == QSettings::NoError;
}

QString KeloRunner::setting(const QString &key) const
{
    return QSettings(settingsFile(), QSettings::IniFormat).value(key).toString();
}

QProcessEnvironment KeloRunner::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, homeDir);
    env.remove(u"XDG_CONFIG_HOME"_s);
    // A session of its own: one kelo per runtime folder. The compositor's socket is named whole.
    const QString wayland = env.value(u"WAYLAND_DISPLAY"_s);
    if (!wayland.isEmpty() && !wayland.startsWith(u'/'))
        env.insert(u"WAYLAND_DISPLAY"_s, env.value(u"XDG_RUNTIME_DIR"_s) + u'/' + wayland);
    env.insert(u"XDG_RUNTIME_DIR"_s, homeDir + u"/run"_s);
    QDir().mkpath(homeDir + u"/run"_s);
    QFile::setPermissions(homeDir + u"/run"_s,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (auto it = extraEnv.begin(); it != extraEnv.end(); ++it)
        env.insert(it.key(), it.value());
    // Every message of Qt's handler from a warning up, the QML engine's included, is marked.
    env.insert(u"QT_MESSAGE_PATTERN"_s,
               u"%{if-warning}QtWarning %{endif}%{if-critical}QtWarning %{endif}"
               "%{if-fatal}QtWarning %{endif}%{category}: %{message}"_s);
    return env;
}

bool KeloRunner::startSecond(QString *output) const
{
    QProcess second;
    second.setProcessEnvironment(environment());
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(qEnvironmentVariable("KELO_EXECUTABLE", program), arguments);
    const bool ended = second.waitForFinished(10000);
    *output = QString::fromLocal8Bit(second.readAll());
    return ended && second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0;
}

bool KeloRunner::start(QString *why, int stepMs)
{
    win = 0;
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(homeDir + u"/kelo.log"_s, QIODevice::Append);
    logStart = log(0).size();
    // A copy elsewhere when the build folder is closed to the user the run has (tests/sway.sh).
    process.start(qEnvironmentVariable("KELO_EXECUTABLE", program), arguments);
    const auto painted = [&] { // the scan's colour is on screen
        win = win ? win : findWindow();
        const QImage image = grab();
        const auto *pixels = reinterpret_cast<const QRgb *>(image.constBits());
        return std::any_of(pixels, pixels + image.width() * image.height(),
                           [](QRgb pixel) { return (pixel & 0xffffff) == 0x6495ed; });
    };
    if (waitUntil(20000, stepMs, [&] { return !running() || painted(); }) && running())
        return true;
    *why = running()
        ? (win ? u"kelo's window was never painted"_s : u"no window titled \"Kelo#\" appeared"_s)
        : u"kelo ended at start (%1):\n%2"_s.arg(process.errorString(), log(logStart));
    return false;
}

QStringList KeloRunner::warnings() const
{
    return log(logStart).split(u'\n').filter(QRegularExpression(u"^QtWarning "_s));
}

bool KeloRunner::waitForCleanExit(int timeoutMs, QString *why)
{
    // Still running after the timeout, a crash, a binding loop or a script error all fail.
    const bool ended = !running() || process.waitForFinished(timeoutMs);
    const bool crashed = ended && process.exitStatus() != QProcess::NormalExit;
    *why = (crashed ? u"kelo crashed %1:\n"_s
                    : ended ? u"kelo ended with status %1:\n"_s : u"kelo still runs %1:\n"_s)
               .arg(process.exitCode())
        + log(logStart).right(4000);
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
        && warnings().isEmpty();
}

void KeloRunner::closeByWindowManager() const
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = win;
    event.xclient.message_type = XInternAtom(dpy, "_NET_CLOSE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[1] = 2; // as the close button does: source 2, the user asked
    XSendEvent(dpy, DefaultRootWindow(dpy), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(dpy, False);
}

QString KeloRunner::log(qint64 from) const
{
    QFile file(homeDir + u"/kelo.log"_s);
    return file.open(QIODevice::ReadOnly) && file.seek(from) ? QString::fromUtf8(file.readAll())
                                                             : u""_s;
}

bool KeloRunner::ours(Window window) const
{
    const auto owner = property(dpy, window, "_NET_WM_PID", XA_CARDINAL);
    return !owner.empty() && owner.front() == static_cast<unsigned long>(process.processId());
}

// Managed, or on the root as an unmanaged window (where Kelo# places its window itself: sway).
Window KeloRunner::findWindow() const
{
    auto windows = property(dpy, DefaultRootWindow(dpy), "_NET_CLIENT_LIST", XA_WINDOW);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count) && children) {
        windows.insert(windows.end(), children, children + count);
        XFree(children);
    }
    for (unsigned long w : windows) {
        if (!rectOf(w).isEmpty() && isMain(w) && ours(w))
            return w;
    }
    return 0;
}

// Its menus have its title too, not its type.
bool KeloRunner::isMain(Window window) const
{
    const std::vector<unsigned long> title { 'K', 'e', 'l', 'o', '#' };
    for (unsigned long type : property(dpy, window, "_NET_WM_WINDOW_TYPE", XA_ATOM)) {
        char *name = XGetAtomName(dpy, type);
        const bool menu = name && std::strstr(name, "MENU");
        XFree(name);
        if (menu)
            return false;
    }
    return property(dpy, window, "_NET_WM_NAME", XInternAtom(dpy, "UTF8_STRING", False)) == title;
}

// A pop-up: a top-level window no window manager manages; or point mode's overlay, another.
Window KeloRunner::findMenu(bool overlay) const
{
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    const std::vector<unsigned long> title {
        'K', 'e', 'l', 'o', '#', ' ', 'p', 'o', 'i', 'n', 't'
    };
    Window root = 0, parent = 0, *children = nullptr, menu = 0;
    unsigned count = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a {};
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable
            && a.override_redirect && a.width >= 20 && a.height >= 20 && ours(children[i])
            && children[i] != win
            && (property(dpy, children[i], "_NET_WM_NAME", utf8) == title) == overlay)
            menu = children[i];
    }
    XFree(children);
    return menu;
}

QRect KeloRunner::rectOf(Window window) const // empty unless viewable
{
    XWindowAttributes a {};
    if (!XGetWindowAttributes(dpy, window, &a) || a.map_state != IsViewable)
        return {};
    Window child = 0;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &a.x, &a.y, &child);
    return QRect(a.x, a.y, a.width, a.height);
}

QImage KeloRunner::grab() const
{
    const QRect rect = rectOf(win);
    XImage *x = rect.height() <= pictureTop
        ? nullptr
        : XGetImage(dpy, win, 0, pictureTop, unsigned(rect.width()),
                    unsigned(rect.height() - pictureTop), AllPlanes, ZPixmap);
    if (!x)
        return {};
    // Xvfb's 24-bit true colour: red in the high byte, as in Qt's RGB32.
    const QImage image = QImage(reinterpret_cast<const uchar *>(x->data), x->width, x->height,
                                x->bytes_per_line, QImage::Format_RGB32)
                             .copy();
    XDestroyImage(x);
    return image;
}

QPoint KeloRunner::menuTitle(int n) const // 8 pixels down: inside the strip whatever its font
{
    // Row 1 lies above the titles' text: only cell backgrounds and the separators between titles.
    const QImage image = grab();
    for (int x = 0, left = 0; x < image.width(); ++x) {
        if (image.pixel(x, 1) != 0xffa0a0a0)
            continue;
        if (n-- == 0)
            return geometry().topLeft() + QPoint((left + x + 1) / 2, 8);
        left = x + 1;
    }
    return {};
}

void KeloRunner::movePointer(QPoint root) const
{
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), root.x(), root.y(), CurrentTime);
    XSync(dpy, False);
}

// The X server delays each event by the given milliseconds after the one before.
void KeloRunner::click(QPoint root) const
{
    movePointer(root);
    XTestFakeButtonEvent(dpy, 1, True, 50);
    XTestFakeButtonEvent(dpy, 1, False, 50);
    XSync(dpy, False);
}

Clock::time_point KeloRunner::pressEscape(int holdMs)
{
    return pressKey("Escape", holdMs);
}

Clock::time_point KeloRunner::pressKey(const char *name, int holdMs)
{
    const KeyCode key = XKeysymToKeycode(dpy, XStringToKeysym(name));
    XTestFakeKeyEvent(dpy, key, True, CurrentTime);
    XTestFakeKeyEvent(dpy, key, False, holdMs);
    XSync(dpy, False); // returns once the release is done
    return lastPress = Clock::now();
}

Clock::time_point KeloRunner::press()
{
    return pressSwitch ? (lastPress = pressSwitch()) : pressEscape(100);
}

bool KeloRunner::walk(const QList<Step> &steps, QString *why)
{
    for (const auto &[group, entry, lines] : steps) {
        // The way back comes third in every list.
        const int at = entry > 1 ? entry + 1 : entry;
        if (entry >= 0 && (group == 0 || lines < 0))
            QThread::msleep(400 + 1000 * at);
        else if (!lit(group, at, entry < 0 ? lines : lines + 1, why))
            return false;
        press();
    }
    return true;
}

bool KeloRunner::waitForHighlight(int group, int entry, int lines, Clock::time_point since,
                                  int freshMs, int timeoutMs, QString *why) const
{
    ScanPicture seen { grab(), columns };
    Clock::time_point arrived = since;
    if (waitUntil(timeoutMs, 10, [&] {
            const ScanPicture now { grab(), columns };
            if (!(now == seen))
                arrived = Clock::now(), seen = now;
            // What is lit must stand for two looks: a picture taken mid-redraw can mislead.
            const auto age = Clock::now() - arrived;
            return now.group() == group
                && (entry < 0 ? !now.listOpen() : now.lines() == lines && now.entry() == entry)
                && age >= std::chrono::milliseconds(15) && age <= std::chrono::milliseconds(freshMs);
        }))
        return true;
    *why = QString::asprintf("waited for group %d line %d of %d; last seen group %d line %d of %d",
                             group, entry, lines, seen.group(), seen.entry(), seen.lines());
    return false;
}
