#include "kelorunner.h"

#include "scanpicture.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSettings>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <csignal>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A property as Xlib hands it out, 32-bit items as longs; empty when missing.
QByteArray property(Display *display, Window window, const char *name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QByteArray out;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type,
                           &actualType, &format, &count, &after, &data)
            == Success
        && data)
        out = QByteArray(reinterpret_cast<const char *>(data),
                         qsizetype(count) * (format == 32 ? qsizetype(sizeof(long)) : format / 8));
    if (data)
        XFree(data);
    return out;
}

std::vector<unsigned long> cardinals(Display *display, Window window, const char *name, Atom type)
{
    const QByteArray bytes = property(display, window, name, type);
    const auto *items = reinterpret_cast<const unsigned long *>(bytes.constData());
    return { items, items + bytes.size() / qsizetype(sizeof(long)) };
}

QSettings settings(const QString &home)
{
    return { home + u"/.config/Tarvo Technologies/Kelo#.conf"_s, QSettings::IniFormat };
}

bool isSeparator(QRgb pixel)
{
    return pixel == qRgb(0xa0, 0xa0, 0xa0);
}

} // namespace

Display *KeloRunner::openDisplay(QString *why)
{
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        *why = u"cannot open the X display (is DISPLAY set?)"_s;
        return nullptr;
    }
    // An EWMH window manager names a live check window on the root.
    for (const auto deadline = Clock::now() + std::chrono::seconds(5); Clock::now() < deadline;
         sleepMs(100)) {
        const auto check
            = cardinals(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
        XWindowAttributes attributes {};
        if (!check.empty() && XGetWindowAttributes(display, Window(check.front()), &attributes))
            return display;
    }
    *why = u"no window manager runs on the display"_s;
    XCloseDisplay(display);
    return nullptr;
}

bool KeloRunner::writeSettings(const QMap<QString, QString> &values) const
{
    QSettings stored(settings(homeDir));
    for (auto it = values.begin(); it != values.end(); ++it)
        stored.setValue(it.key(), it.value());
    stored.sync();
    return stored.status() == QSettings::NoError;
}

QString KeloRunner::setting(const QString &key) const
{
    return settings(homeDir).value(key).toString();
}

bool KeloRunner::start(QString *why)
{
    win = 0;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, homeDir);
    env.remove(u"XDG_CONFIG_HOME"_s);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    // No sound server in a test session.
    env.insert(u"QT_LOGGING_RULES"_s, u"qt.multimedia.*=false"_s);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(homeDir + u"/kelo.log"_s, QIODevice::Append);
    process.start(QStringLiteral(KELO_EXECUTABLE), {});
    if (!process.waitForStarted(10000)) {
        *why = u"kelo did not start: "_s + process.errorString();
        return false;
    }
    for (const auto deadline = Clock::now() + std::chrono::seconds(20); Clock::now() < deadline;
         sleepMs(50)) {
        if (!running()) {
            *why = u"kelo ended at start with status %1:\n%2"_s.arg(process.exitCode()).arg(log());
            return false;
        }
        if (!win)
            win = findWindow();
        // Painted means the scan's colour is on screen.
        const QImage image = grab();
        const auto *pixels = reinterpret_cast<const QRgb *>(image.constBits());
        if (std::count(pixels, pixels + image.width() * image.height(), qRgb(0x64, 0x95, 0xed)))
            return true;
    }
    *why = win ? u"kelo's window was never painted"_s : u"no window titled \"Kelo#\" appeared"_s;
    return false;
}

bool KeloRunner::waitForCleanExit(int timeoutMs, QString *why)
{
    if (running() && !process.waitForFinished(timeoutMs)) {
        *why = u"kelo still runs %1 ms after being asked to quit"_s.arg(timeoutMs);
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *why = u"kelo crashed or ended with status %1:\n"_s.arg(process.exitCode()) + log();
        return false;
    }
    // No binding loop, no script error.
    static const QRegularExpression engineWarning(
        u"^(qrc:|file:|QML |<Unknown File>)|[Bb]inding loop|Error:"_s,
        QRegularExpression::MultilineOption);
    if (log().contains(engineWarning)) {
        *why = u"the QML engine warned:\n"_s + log();
        return false;
    }
    return true;
}

void KeloRunner::sendSignal(int signal) const
{
    if (running())
        ::kill(pid_t(process.processId()), signal);
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

QString KeloRunner::log() const
{
    QFile file(homeDir + u"/kelo.log"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().right(4000))
                                          : QString();
}

bool KeloRunner::ours(Window window) const
{
    const auto owner = cardinals(dpy, window, "_NET_WM_PID", XA_CARDINAL);
    return !owner.empty() && owner.front() == static_cast<unsigned long>(process.processId());
}

Window KeloRunner::findWindow() const
{
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    for (unsigned long w : cardinals(dpy, DefaultRootWindow(dpy), "_NET_CLIENT_LIST", XA_WINDOW)) {
        XWindowAttributes attributes {};
        if (XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable
            && property(dpy, w, "_NET_WM_NAME", utf8) == "Kelo#" && ours(w))
            return w;
    }
    return 0;
}

Window KeloRunner::findMenu() const
{
    // Menus are pop-ups: top-level windows the window manager does not manage.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window menu = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a {};
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable
            && a.override_redirect && a.width >= 20 && a.height >= 20 && ours(children[i]))
            menu = children[i];
    }
    if (children)
        XFree(children);
    return menu;
}

QRect KeloRunner::rectOf(Window window) const
{
    XWindowAttributes attributes {};
    if (!window || !XGetWindowAttributes(dpy, window, &attributes))
        return {};
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

bool KeloRunner::moveTo(const QRect &frame) const
{
    XMoveResizeWindow(dpy, win, frame.x(), frame.y(), unsigned(frame.width()),
                      unsigned(frame.height()));
    XSync(dpy, False);
    for (const auto deadline = Clock::now() + std::chrono::seconds(5);
         geometry() != frame && Clock::now() < deadline;)
        sleepMs(20);
    return geometry() == frame;
}

QRect KeloRunner::workArea() const
{
    const auto v = cardinals(dpy, DefaultRootWindow(dpy), "_NET_WORKAREA", XA_CARDINAL);
    if (v.size() >= 4)
        return QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
    return QRect(0, 0, DisplayWidth(dpy, DefaultScreen(dpy)),
                 DisplayHeight(dpy, DefaultScreen(dpy)));
}

QImage KeloRunner::grabWindow(Window window) const
{
    const QRect rect = rectOf(window);
    XImage *ximage = rect.isEmpty() ? nullptr
                                    : XGetImage(dpy, window, 0, 0, unsigned(rect.width()),
                                                unsigned(rect.height()), AllPlanes, ZPixmap);
    if (!ximage)
        return {};
    // The test display is 24-bit true colour, red in the high byte, as Xvfb gives it.
    QImage image;
    if (ximage->red_mask == 0xff0000 && ximage->green_mask == 0xff00 && ximage->blue_mask == 0xff)
        image = QImage(ximage->width, ximage->height, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xff000000u | QRgb(XGetPixel(ximage, x, y));
    }
    XDestroyImage(ximage);
    return image;
}

QPoint KeloRunner::menuTitle(int n, QString *why) const
{
    // Row 1 lies above the titles' text: only cell backgrounds and the separators between
    // titles are there.
    const QImage image = grab();
    std::vector<int> separators;
    for (int x = 0; x < image.width(); ++x) {
        if (isSeparator(image.pixel(x, 1)))
            separators.push_back(x);
    }
    if (int(separators.size()) <= n) {
        *why = QString::asprintf("the menu strip shows %zu separators", separators.size());
        return {};
    }
    const int right = separators[size_t(n)], left = n == 0 ? 0 : separators[size_t(n - 1)] + 1;
    int height = 0;
    while (height < image.height() && isSeparator(image.pixel(right, height)))
        ++height;
    return geometry().topLeft() + QPoint((left + right) / 2, height / 2);
}

void KeloRunner::movePointer(QPoint root) const
{
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), root.x(), root.y(), CurrentTime);
    XSync(dpy, False);
}

void KeloRunner::click(QPoint root) const
{
    movePointer(root);
    for (const bool press : { true, false }) {
        sleepMs(50);
        XTestFakeButtonEvent(dpy, 1, press, CurrentTime);
        XSync(dpy, False);
    }
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
    ScanPicture seen { grab(), columns };
    Clock::time_point arrived = since;
    for (const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
         Clock::now() < deadline; sleepMs(10)) {
        const ScanPicture now { grab(), columns };
        if (!(now == seen)) {
            arrived = Clock::now();
            seen = now;
        }
        if (now.group() == group
            && (entry < 0 ? !now.listOpen() : now.lines() == lines && now.entry() == entry)
            && Clock::now() - arrived <= std::chrono::milliseconds(freshMs))
            return true;
    }
    *why = QString::asprintf("waited for group %d line %d of %d; last seen group %d line %d of %d",
                             group, entry, lines, seen.group(), seen.entry(), seen.lines());
    return false;
}
