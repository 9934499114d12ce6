#include "kelorunner.h"

#include "scanpicture.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSettings>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <thread>
#include <vector>

#ifndef KELO_EXECUTABLE
#error "KELO_EXECUTABLE must name the kelo program under test"
#endif

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One property of window as a list of 32-bit items (Xlib hands them out as longs).
std::vector<unsigned long> cardinals(Display *display, Window window, const char *name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type,
                           &actualType, &format, &count, &after, &data)
            == Success
        && data && format == 32) {
        const auto *items = reinterpret_cast<const unsigned long *>(data);
        out.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return out;
}

QString windowTitle(Display *display, Window window)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QString title;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                           False, XInternAtom(display, "UTF8_STRING", False), &actualType, &format,
                           &count, &after, &data)
            == Success
        && data && format == 8) {
        title = QString::fromUtf8(reinterpret_cast<const char *>(data), int(count));
    }
    if (data)
        XFree(data);
    if (!title.isEmpty())
        return title;
    char *name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        title = QString::fromLatin1(name);
        XFree(name);
    }
    return title;
}

// Every window below root, depth first, for a display without a client list.
void collect(Display *display, Window window, std::vector<Window> &out)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i) {
        out.push_back(children[i]);
        collect(display, children[i], out);
    }
    if (children)
        XFree(children);
}

bool isSeparator(QRgb pixel)
{
    return pixel == qRgb(0xa0, 0xa0, 0xa0);
}

} // namespace

KeloRunner::KeloRunner(Display *display, const QString &home)
    : dpy(display)
    , homeDir(home)
{
}

KeloRunner::~KeloRunner()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

Display *KeloRunner::openDisplay()
{
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    return XOpenDisplay(nullptr);
}

QString KeloRunner::displayProblem(Display *display)
{
    if (!display)
        return QStringLiteral("cannot open the X display (is DISPLAY set? run through "
                              "./kelo.sh test)");
    // An EWMH window manager names its check window on the root; no manager, no frame, no
    // placement, no close button to test. A manager that died leaves the property naming a
    // window that is gone; one started just before the tests gets a few seconds to come up.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
        const auto check
            = cardinals(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
        XWindowAttributes attributes {};
        if (!check.empty() && check.front() != 0
            && XGetWindowAttributes(display, Window(check.front()), &attributes))
            return {};
        if (Clock::now() >= deadline)
            return QStringLiteral("no window manager runs on the display");
        sleepMs(100);
    }
}

QString KeloRunner::settingsFile() const
{
    return homeDir + QStringLiteral("/.config/Tarvo Technologies/Kelo#.conf");
}

bool KeloRunner::writeSettings(const QMap<QString, QString> &values) const
{
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QSettings settings(settingsFile(), QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString KeloRunner::setting(const QString &key) const
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.value(key).toString();
}

bool KeloRunner::start(QString *why)
{
    win = 0;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), homeDir);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // No sound server in a test session; the click is not what is tested here.
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.multimedia.*=false"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(homeDir + QStringLiteral("/kelo.log"), QIODevice::Append);
    process.setProgram(QStringLiteral(KELO_EXECUTABLE));
    process.start();
    if (!process.waitForStarted(10000)) {
        *why = QStringLiteral("kelo did not start: ") + process.errorString();
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        if (process.state() == QProcess::NotRunning) {
            *why = QStringLiteral("kelo ended at start with status %1:\n%2")
                       .arg(process.exitCode())
                       .arg(log());
            return false;
        }
        if (!win)
            win = findWindow();
        // Shown means painted: the scan's colours are on screen.
        if (win) {
            const QImage image = grab();
            for (int y = 0; y < image.height(); y += 2) {
                const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    if ((line[x] & 0xffffff) == 0x6495ed)
                        return true;
                }
            }
        }
        sleepMs(50);
    }
    *why = win ? QStringLiteral("kelo's window was never painted")
               : QStringLiteral("no window titled \"Kelo#\" appeared");
    return false;
}

bool KeloRunner::running() const
{
    return process.state() != QProcess::NotRunning;
}

bool KeloRunner::waitForCleanExit(int timeoutMs, QString *why)
{
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(timeoutMs)) {
        *why = QStringLiteral("kelo still runs %1 ms after being asked to quit").arg(timeoutMs);
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        *why = QStringLiteral("kelo crashed (signal %1):\n").arg(process.exitCode()) + log();
        return false;
    }
    if (process.exitCode() != 0) {
        *why = QStringLiteral("kelo ended with status %1:\n%2").arg(process.exitCode()).arg(log());
        return false;
    }
    return true;
}

QString KeloRunner::log() const
{
    QFile file(homeDir + QStringLiteral("/kelo.log"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll().right(4000));
}

Window KeloRunner::findWindow() const
{
    const Window root = DefaultRootWindow(dpy);
    std::vector<Window> candidates;
    for (unsigned long w : cardinals(dpy, root, "_NET_CLIENT_LIST", XA_WINDOW))
        candidates.push_back(Window(w));
    if (candidates.empty())
        collect(dpy, root, candidates);
    const auto pid = static_cast<unsigned long>(process.processId());
    for (Window w : candidates) {
        XWindowAttributes attributes {};
        if (!XGetWindowAttributes(dpy, w, &attributes) || attributes.map_state != IsViewable)
            continue;
        if (windowTitle(dpy, w) != QStringLiteral("Kelo#"))
            continue;
        // Another program of the same name on the display is not ours.
        const auto owner = cardinals(dpy, w, "_NET_WM_PID", XA_CARDINAL);
        if (!owner.empty() && owner.front() != pid)
            continue;
        return w;
    }
    return 0;
}

QRect KeloRunner::geometry() const
{
    XWindowAttributes attributes {};
    if (!win || !XGetWindowAttributes(dpy, win, &attributes))
        return {};
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, win, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

QImage KeloRunner::grab() const
{
    return win ? grabWindow(dpy, win) : QImage();
}

QImage KeloRunner::grabMenu() const
{
    // Menus are pop-ups: top-level windows the window manager does not manage.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count))
        return {};
    const auto pid = static_cast<unsigned long>(process.processId());
    Window menu = 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes {};
        if (!XGetWindowAttributes(dpy, children[i], &attributes)
            || attributes.map_state != IsViewable || !attributes.override_redirect
            || attributes.width < 20 || attributes.height < 20)
            continue;
        const auto owner = cardinals(dpy, children[i], "_NET_WM_PID", XA_CARDINAL);
        if (!owner.empty() && owner.front() == pid)
            menu = children[i];
    }
    if (children)
        XFree(children);
    return menu ? grabWindow(dpy, menu) : QImage();
}

QImage KeloRunner::grabWindow(Display *display, Window window)
{
    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(display, window, &attributes))
        return {};
    XImage *ximage = XGetImage(display, window, 0, 0, unsigned(attributes.width),
                               unsigned(attributes.height), AllPlanes, ZPixmap);
    if (!ximage)
        return {};
    QImage image(ximage->width, ximage->height, QImage::Format_RGB32);
    const bool direct = ximage->bits_per_pixel == 32 && ximage->red_mask == 0xff0000
        && ximage->green_mask == 0xff00 && ximage->blue_mask == 0xff
        && ximage->byte_order == LSBFirst;
    for (int y = 0; y < ximage->height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (direct) {
            const auto *in
                = reinterpret_cast<const quint32 *>(ximage->data + y * ximage->bytes_per_line);
            for (int x = 0; x < ximage->width; ++x)
                line[x] = 0xff000000u | in[x];
        } else {
            for (int x = 0; x < ximage->width; ++x) {
                const unsigned long p = XGetPixel(ximage, x, y);
                line[x] = qRgb(int((p & ximage->red_mask) >> 16),
                               int((p & ximage->green_mask) >> 8), int(p & ximage->blue_mask));
            }
        }
    }
    XDestroyImage(ximage);
    return image;
}

QPoint KeloRunner::menuTitle(int n, QString *why) const
{
    const QImage image = grab();
    if (image.isNull()) {
        *why = QStringLiteral("cannot read kelo's window");
        return {};
    }
    // Row 1 lies above the titles' text: only cell backgrounds and separators are there.
    std::vector<int> separators;
    const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(1));
    for (int x = 0; x < image.width(); ++x) {
        if (isSeparator(row[x]))
            separators.push_back(x);
    }
    if (int(separators.size()) <= n) {
        *why = QStringLiteral("the menu strip shows %1 separators, title %2 was looked for")
                   .arg(separators.size())
                   .arg(n);
        return {};
    }
    int height = 0;
    while (height < image.height() && isSeparator(image.pixel(separators[size_t(n)], height)))
        ++height;
    const int left = n == 0 ? 0 : separators[size_t(n - 1)] + 1;
    const QRect frame = geometry();
    return frame.topLeft() + QPoint((left + separators[size_t(n)]) / 2, height / 2);
}

void KeloRunner::movePointer(QPoint root) const
{
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), root.x(), root.y(), CurrentTime);
    XSync(dpy, False);
}

void KeloRunner::click(QPoint root) const
{
    movePointer(root);
    sleepMs(50);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XSync(dpy, False);
    sleepMs(50);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);
}

Clock::time_point KeloRunner::pressEscape(int holdMs) const
{
    const KeyCode escape = XKeysymToKeycode(dpy, XK_Escape);
    XTestFakeKeyEvent(dpy, escape, True, CurrentTime);
    XSync(dpy, False);
    sleepMs(holdMs);
    XTestFakeKeyEvent(dpy, escape, False, CurrentTime);
    XSync(dpy, False);
    return Clock::now();
}

bool KeloRunner::waitForHighlight(int group, int entry, int lines, Clock::time_point since,
                                  int freshMs, int timeoutMs, QString *why) const
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    ScanPicture seen { QImage() };
    bool first = true;
    Clock::time_point arrived = since;
    while (Clock::now() < deadline) {
        const ScanPicture now { grab() };
        if (first || !(now == seen)) {
            arrived = first ? since : Clock::now();
            seen = now;
            first = false;
        }
        const bool there = now.group() == group
            && (entry < 0 ? !now.listOpen() : now.lines() == lines && now.entry() == entry);
        if (there && Clock::now() - arrived <= std::chrono::milliseconds(freshMs))
            return true;
        sleepMs(10);
    }
    *why = QStringLiteral("waited %1 ms for group %2%3; last seen: group %4, %5")
               .arg(timeoutMs)
               .arg(group)
               .arg(entry < 0 ? QString() : QStringLiteral(" line %1 of %2").arg(entry).arg(lines))
               .arg(seen.group())
               .arg(seen.listOpen() ? QStringLiteral("list of %1 lines open on line %2")
                                          .arg(seen.lines())
                                          .arg(seen.entry())
                                    : QStringLiteral("no list open"));
    return false;
}

void KeloRunner::closeByWindowManager() const
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = win;
    event.xclient.message_type = XInternAtom(dpy, "_NET_CLOSE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = CurrentTime;
    event.xclient.data.l[1] = 2; // from a pager or taskbar: the user asked
    XSendEvent(dpy, DefaultRootWindow(dpy), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(dpy, False);
}
