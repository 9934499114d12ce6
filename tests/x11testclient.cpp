#include "x11testclient.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <clocale>

namespace {

// How long the client leaves its events unread between two bursts.
constexpr auto burst = std::chrono::milliseconds(200);

// Polls done until it holds or timeoutMs has passed.
template<typename Done> void waitUntil(Done done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

X11TestClient::~X11TestClient()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
}

bool X11TestClient::start()
{
    // Xutf8LookupString needs a locale Xlib supports; C.UTF-8 is always there.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    thread = std::thread([this] { run(); });
    waitUntil([this] { return ready || stopping; }, 10000);
    return ready;
}

void X11TestClient::run()
{
    Display *display = XOpenDisplay(nullptr);
    XSetLocaleModifiers("@im=none");
    XIM im = display ? XOpenIM(display, nullptr, nullptr, nullptr) : nullptr;
    if (!im) {
        if (display)
            XCloseDisplay(display);
        stopping = true;
        return;
    }
    XSetWindowAttributes attributes {};
    // Not managed, so no window manager moves it or takes the focus from it.
    attributes.override_redirect = True;
    attributes.event_mask = KeyPressMask | FocusChangeMask | StructureNotifyMask;
    const Window window
        = XCreateWindow(display, DefaultRootWindow(display), 100, 100, 300, 200, 0, CopyFromParent,
                        InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
    XIC ic = XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                       window, XNFocusWindow, window, nullptr);
    XMapRaised(display, window);

    while (!stopping) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (XFilterEvent(&event, None))
                continue;
            if (event.type == MapNotify) {
                XWarpPointer(display, None, window, 0, 0, 0, 0, 150, 100);
                XSetInputFocus(display, window, RevertToNone, CurrentTime);
            } else if (event.type == FocusIn) {
                ready = true;
            } else if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
            } else if (event.type == KeyPress) {
                char buffer[64];
                KeySym sym = NoSymbol;
                Status status = 0;
                const int n
                    = Xutf8LookupString(ic, &event.xkey, buffer, sizeof buffer - 1, &sym, &status);
                const QString chars = (status == XLookupChars || status == XLookupBoth)
                    ? QString::fromUtf8(buffer, n)
                    : QString();
                const unsigned state = event.xkey.state;
                std::lock_guard lock(mutex);
                if (sym == XK_BackSpace)
                    typed.chop(typed.size() > 1 && typed.back().isLowSurrogate() ? 2 : 1);
                else if (sym == XK_Return)
                    typed += u'\n';
                else if (state & (ControlMask | Mod1Mask | Mod4Mask) && !IsModifierKey(sym))
                    typed += QStringLiteral("<%1-%2>")
                                 .arg(state & ControlMask    ? 'C'
                                          : state & Mod1Mask ? 'A'
                                                             : 'W')
                                 .arg(QString::fromLatin1(XKeysymToString(sym)));
                else if (!chars.isEmpty() && chars.front() >= u' ' && chars.front() != u'\x7f')
                    typed += chars;
            }
        }
        // Reads its events in bursts, as a busy editor does: a keycode lent to another
        // character before the client got to its last event would type the wrong one.
        std::this_thread::sleep_for(burst);
    }
    XDestroyIC(ic);
    XCloseIM(im);
    XCloseDisplay(display);
}

QString X11TestClient::text() const
{
    std::lock_guard lock(mutex);
    return typed;
}

void X11TestClient::clear()
{
    // What was sent before is read first, and goes too.
    std::this_thread::sleep_for(2 * burst);
    std::lock_guard lock(mutex);
    typed.clear();
}

QString X11TestClient::waitForText(const QString &expected, int timeoutMs) const
{
    waitUntil([&] { return text() == expected; }, timeoutMs);
    std::this_thread::sleep_for(2 * burst);
    return text();
}
