#include "x11testclient.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <clocale>
#include <poll.h>

X11TestClient::X11TestClient() = default;

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ready && !failed && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ready;
}

void X11TestClient::focus(bool window)
{
    focusRequest = window ? 1 : 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void X11TestClient::run()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        failed = true;
        return;
    }
    XSetWindowAttributes attributes {};
    // Not managed, so no window manager moves it or takes the focus from it.
    attributes.override_redirect = True;
    attributes.event_mask
        = KeyPressMask | KeyReleaseMask | ButtonPressMask | FocusChangeMask | StructureNotifyMask;
    const Window window
        = XCreateWindow(display, DefaultRootWindow(display), x(), y(), 300, 200, 0, CopyFromParent,
                        InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
    XSetLocaleModifiers("@im=none");
    XIM im = XOpenIM(display, nullptr, nullptr, nullptr);
    XIC ic = im ? XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                            window, XNFocusWindow, window, nullptr)
                : nullptr;
    if (!ic) {
        failed = true;
        XCloseDisplay(display);
        return;
    }
    XMapRaised(display, window);
    XSync(display, False);

    pollfd fd { ConnectionNumber(display), POLLIN, 0 };
    while (!stopping) {
        if (const int request = focusRequest.exchange(-1); request >= 0) {
            XSetInputFocus(display, request ? window : None, RevertToNone, CurrentTime);
            XSync(display, False);
        }
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (XFilterEvent(&event, None))
                continue;
            switch (event.type) {
            case MapNotify:
                XWarpPointer(display, None, window, 0, 0, 0, 0, 150, 100);
                XSetInputFocus(display, window, RevertToNone, CurrentTime);
                break;
            case FocusIn:
                ready = true;
                break;
            case MappingNotify:
                XRefreshKeyboardMapping(&event.xmapping);
                break;
            case ButtonPress: {
                std::lock_guard lock(mutex);
                clicked << int(event.xbutton.button);
                break;
            }
            case KeyPress: {
                char buffer[64];
                KeySym sym = NoSymbol;
                Status status = 0;
                const int n
                    = Xutf8LookupString(ic, &event.xkey, buffer, sizeof buffer - 1, &sym, &status);
                const QString chars = (status == XLookupChars || status == XLookupBoth)
                    ? QString::fromUtf8(buffer, n)
                    : QString();
                std::lock_guard lock(mutex);
                pressed << Key { sym, event.xkey.state, chars };
                // An editor's reading of the key: chords and other control keys type nothing.
                if (sym == XK_BackSpace) {
                    typed.chop(typed.size() > 1 && typed.back().isLowSurrogate() ? 2 : 1);
                } else if (sym == XK_Return) {
                    typed += u'\n';
                } else if (!(event.xkey.state & (ControlMask | Mod1Mask | Mod4Mask))
                           && !chars.isEmpty() && chars.front().unicode() >= 0x20
                           && chars.front().unicode() != 0x7f) {
                    typed += chars;
                }
                break;
            }
            default:
                break;
            }
        }
        poll(&fd, 1, 20);
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

QList<X11TestClient::Key> X11TestClient::keys() const
{
    std::lock_guard lock(mutex);
    return pressed;
}

QList<int> X11TestClient::buttons() const
{
    std::lock_guard lock(mutex);
    return clicked;
}

void X11TestClient::clear()
{
    std::lock_guard lock(mutex);
    typed.clear();
    pressed.clear();
    clicked.clear();
}

QString X11TestClient::waitForText(const QString &expected, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text() != expected && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // A little longer, so that anything typed beyond the expectation shows too.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return text();
}

QList<X11TestClient::Key> X11TestClient::waitForKeys(qsizetype n, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (keys().size() < n && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return keys();
}

QList<int> X11TestClient::waitForButtons(qsizetype n, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (buttons().size() < n && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return buttons();
}
