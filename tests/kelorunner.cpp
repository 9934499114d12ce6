#include "kelorunner.h"

#include "scanpicture.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSettings>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A property of window as Xlib hands it out (32-bit items as longs); empty when missing.
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
        && data) {
        const qsizetype itemSize = format == 32 ? qsizetype(sizeof(long)) : format / 8;
        out = QByteArray(reinterpret_cast<const char *>(data), qsizetype(count) * itemSize);
    }
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
    if (running()) {
        process.kill();
        process.waitForFinished(5000);
    }
}

Display *KeloRunner::openDisplay(QString *why)
{
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        *why = QStringLiteral("cannot open the X display (is DISPLAY set? run through "
                              "./kelo.sh test)");
        return nullptr;
    }
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
            return display;
        if (Clock::now() >= deadline) {
            *why = QStringLiteral("no window manager runs on the display");
            XCloseDisplay(display);
            return nullptr;
        }
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
    return QSettings(settingsFile(), QSettings::IniFormat).value(key).toString();
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
    process.start(QStringLiteral(KELO_EXECUTABLE), {});
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
        const QImage image = grab();
        for (int y = 0; y < image.height(); y += 2) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0xffffff) == 0x6495ed)
                    return true;
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
    if (running() && !process.waitForFinished(timeoutMs)) {
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
    // The front end ran without a word from the QML engine: no binding loop, no script error.
    static const QRegularExpression engineWarning(
        QStringLiteral("^(qrc:|file:|QML |<Unknown File>)|[Bb]inding loop|Error:"),
        QRegularExpression::MultilineOption);
    if (const QString output = log(); output.contains(engineWarning)) {
        *why = QStringLiteral("the QML engine warned:\n") + output;
        return false;
    }
    return true;
}

void KeloRunner::sendSignal(int signal) const
{
    if (running())
        ::kill(pid_t(process.processId()), signal);
}

QString KeloRunner::log() const
{
    QFile file(homeDir + QStringLiteral("/kelo.log"));
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
        // Another program of the same name on the display is not the one started here.
        if (XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable
            && property(dpy, w, "_NET_WM_NAME", utf8) == "Kelo#" && ours(w))
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
    return grabWindow(win);
}

QImage KeloRunner::grabMenu() const
{
    return grabWindow(findMenu());
}

QRect KeloRunner::menuGeometry() const
{
    const Window menu = findMenu();
    XWindowAttributes attributes {};
    if (!menu || !XGetWindowAttributes(dpy, menu, &attributes))
        return {};
    return QRect(attributes.x, attributes.y, attributes.width, attributes.height);
}

Window KeloRunner::findMenu() const
{
    // Menus are pop-ups: top-level windows the window manager does not manage.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count))
        return 0;
    Window menu = 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes {};
        if (XGetWindowAttributes(dpy, children[i], &attributes)
            && attributes.map_state == IsViewable && attributes.override_redirect
            && attributes.width >= 20 && attributes.height >= 20 && ours(children[i]))
            menu = children[i];
    }
    if (children)
        XFree(children);
    return menu;
}

QImage KeloRunner::grabWindow(Window window) const
{
    XWindowAttributes attributes {};
    if (!window || !XGetWindowAttributes(dpy, window, &attributes))
        return {};
    XImage *ximage = XGetImage(dpy, window, 0, 0, unsigned(attributes.width),
                               unsigned(attributes.height), AllPlanes, ZPixmap);
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
    const QImage image = grab();
    if (image.isNull()) {
        *why = QStringLiteral("cannot read kelo's window");
        return {};
    }
    // Row 1 lies above the titles' text: only cell backgrounds and separators are there.
    std::vector<int> separators;
    for (int x = 0; x < image.width(); ++x) {
        if (isSeparator(image.pixel(x, 1)))
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
    return geometry().topLeft() + QPoint((left + separators[size_t(n)]) / 2, height / 2);
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
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    ScanPicture seen { grab(), columns };
    Clock::time_point arrived = since;
    while (Clock::now() < deadline) {
        const ScanPicture now { grab(), columns };
        if (!(now == seen)) {
            arrived = Clock::now();
            seen = now;
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
