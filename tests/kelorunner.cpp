#include "kelorunner.h"
#include "scanpicture.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

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
    if (display && waitUntil(5000, 100, managed))
        return display;
    *why = display ? u"no window manager runs on the display"_s : u"no X display (DISPLAY)"_s;
    return nullptr;
}

bool KeloRunner::writeSettings(const QMap<QString, QString> &values) const
{
    QSettings stored(homeDir + u"/.config/Tarvo Technologies/Kelo#.conf"_s, QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it)
        stored.setValue(it.key(), it.value());
    stored.sync();
    return stored.status() == QSettings::NoError;
}

QString KeloRunner::setting(const QString &key) const
{
    QSettings stored(homeDir + u"/.config/Tarvo Technologies/Kelo#.conf"_s, QSettings::IniFormat);
    return stored.value(key).toString();
}

bool KeloRunner::start(QString *why)
{
    win = 0;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, homeDir);
    env.remove(u"XDG_CONFIG_HOME"_s);
    env.insert(u"QT_LOGGING_RULES"_s, u"qt.multimedia.*=false"_s); // no sound server here
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(homeDir + u"/kelo.log"_s, QIODevice::Append);
    process.start(QStringLiteral(KELO_EXECUTABLE), {});
    const auto painted = [&] { // the scan's colour is on screen
        win = win ? win : findWindow();
        const QImage image = grab();
        const auto *pixels = reinterpret_cast<const QRgb *>(image.constBits());
        return std::any_of(pixels, pixels + image.width() * image.height(),
                           [](QRgb pixel) { return (pixel & 0xffffff) == 0x6495ed; });
    };
    if (waitUntil(20000, 50, [&] { return !running() || painted(); }) && running())
        return true;
    *why = running()
        ? (win ? u"kelo's window was never painted"_s : u"no window titled \"Kelo#\" appeared"_s)
        : u"kelo ended at start (%1):\n%2"_s.arg(process.errorString(), log());
    return false;
}

bool KeloRunner::waitForCleanExit(int timeoutMs, QString *why)
{
    // Still running after the timeout, a crash, a binding loop or a script error all fail.
    static const QRegularExpression engineWarning(
        u"^(qrc:|file:|QML |<Unknown File>)|[Bb]inding loop|Error:"_s,
        QRegularExpression::MultilineOption);
    const bool ended = !running() || process.waitForFinished(timeoutMs);
    *why = (ended ? u"kelo ended with status %1:\n"_s : u"kelo still runs %1:\n"_s)
               .arg(process.exitCode())
        + log();
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
        && !log().contains(engineWarning);
}

void KeloRunner::closeByWindowManager() const
{
    // As the close button does; source 2, a pager or taskbar: the user asked.
    XEvent event { .xclient = { .type = ClientMessage,
                                .window = win,
                                .message_type = XInternAtom(dpy, "_NET_CLOSE_WINDOW", False),
                                .format = 32,
                                .data = { .l = { CurrentTime, 2 } } } };
    XSendEvent(dpy, DefaultRootWindow(dpy), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(dpy, False);
}

QString KeloRunner::log() const
{
    QFile file(homeDir + u"/kelo.log"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().right(4000)) : u""_s;
}

bool KeloRunner::ours(Window window) const
{
    const auto owner = property(dpy, window, "_NET_WM_PID", XA_CARDINAL);
    return !owner.empty() && owner.front() == static_cast<unsigned long>(process.processId());
}

Window KeloRunner::findWindow() const
{
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    const std::vector<unsigned long> title { 'K', 'e', 'l', 'o', '#' };
    for (unsigned long w : property(dpy, DefaultRootWindow(dpy), "_NET_CLIENT_LIST", XA_WINDOW)) {
        if (!rectOf(w).isEmpty() && property(dpy, w, "_NET_WM_NAME", utf8) == title && ours(w))
            return w;
    }
    return 0;
}

Window KeloRunner::findMenu() const // a pop-up: a top-level window no window manager manages
{
    Window root = 0, parent = 0, *children = nullptr, menu = 0;
    unsigned count = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a {};
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable
            && a.override_redirect && a.width >= 20 && a.height >= 20 && ours(children[i]))
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

bool KeloRunner::moveTo(const QRect &frame) const
{
    XMoveResizeWindow(dpy, win, frame.x(), frame.y(), unsigned(frame.width()),
                      unsigned(frame.height()));
    return waitUntil(5000, 20, [&] { return geometry() == frame; });
}

QRect KeloRunner::workArea() const
{
    const auto v = property(dpy, DefaultRootWindow(dpy), "_NET_WORKAREA", XA_CARDINAL);
    return v.size() >= 4 ? QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3])) : QRect();
}

QImage KeloRunner::grabWindow(Window window) const
{
    const QRect rect = rectOf(window);
    XImage *x = rect.isEmpty() ? nullptr
                               : XGetImage(dpy, window, 0, 0, unsigned(rect.width()),
                                           unsigned(rect.height()), AllPlanes, ZPixmap);
    if (!x)
        return {};
    // Xvfb's 24-bit true colour: red in the high byte, as in Qt's RGB32.
    const QImage image = QImage(reinterpret_cast<const uchar *>(x->data), x->width, x->height,
                                x->bytes_per_line, QImage::Format_RGB32)
                             .copy();
    XDestroyImage(x);
    return image;
}

QPoint KeloRunner::menuTitle(int n) const
{
    // Row 1 lies above the titles' text: only cell backgrounds and the separators between titles.
    const QImage image = grab();
    const auto separator = [&](int x, int y) {
        return image.pixel(x, y) == 0xffa0a0a0;
    };
    std::vector<int> at;
    for (int x = 0; x < image.width(); ++x) {
        if (separator(x, 1))
            at.push_back(x);
    }
    if (int(at.size()) <= n)
        return {};
    int height = 0;
    while (height < image.height() && separator(at[size_t(n)], height))
        ++height;
    const int left = n == 0 ? 0 : at[size_t(n - 1)] + 1;
    return geometry().topLeft() + QPoint((left + at[size_t(n)]) / 2, height / 2);
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

Clock::time_point KeloRunner::pressEscape(int holdMs) const
{
    const KeyCode escape = XKeysymToKeycode(dpy, XK_Escape);
    XTestFakeKeyEvent(dpy, escape, True, CurrentTime);
    XTestFakeKeyEvent(dpy, escape, False, holdMs);
    XSync(dpy, False); // returns once the release is done
    return Clock::now();
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
            return now.group() == group
                && (entry < 0 ? !now.listOpen() : now.lines() == lines && now.entry() == entry)
                && Clock::now() - arrived <= std::chrono::milliseconds(freshMs);
        }))
        return true;
    *why = QString::asprintf("waited for group %d line %d of %d; last seen group %d line %d of %d",
                             group, entry, lines, seen.group(), seen.entry(), seen.lines());
    return false;
}
