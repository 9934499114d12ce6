#include "typingtarget.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <clocale>
#include <poll.h>

using Clock = std::chrono::steady_clock;

TypingTarget::~TypingTarget()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
}

bool TypingTarget::start(int x, int y)
{
    // Xutf8LookupString needs a locale Xlib supports; C.UTF-8 is always there.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    thread = std::thread([this, x, y] { run(x, y); });
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!hasFocus && !failed && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return hasFocus;
}

void TypingTarget::run(int x, int y)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        failed = true;
        return;
    }
    XSetWindowAttributes attributes {};
    // Not managed: no window manager places it or moves the focus away from it.
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(display, DefaultScreen(display));
    attributes.event_mask = KeyPressMask | FocusChangeMask | StructureNotifyMask;
    const Window window = XCreateWindow(
        display, DefaultRootWindow(display), x, y, 240, 120, 0, CopyFromParent, InputOutput,
        CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    XSetLocaleModifiers("@im=none");
    XIM im = XOpenIM(display, nullptr, nullptr, nullptr);
    XIC ic = im ? XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                            window, XNFocusWindow, window, nullptr)
                : nullptr;
    if (!ic) {
        failed = true;
        if (im)
            XCloseIM(im);
        XCloseDisplay(display);
        return;
    }
    XMapRaised(display, window);
    XSync(display, False);

    pollfd fd { ConnectionNumber(display), POLLIN, 0 };
    while (!stopping) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            const auto arrived = Clock::now();
            if (XFilterEvent(&event, None))
                continue;
            switch (event.type) {
            case MapNotify:
                XSetInputFocus(display, window, RevertToParent, CurrentTime);
                break;
            case FocusIn:
                hasFocus = true;
                break;
            case FocusOut:
                hasFocus = false;
                break;
            case MappingNotify:
                XRefreshKeyboardMapping(&event.xmapping);
                break;
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
                pressed << Key { sym, chars, event.xkey.time, arrived };
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

QList<TypingTarget::Key> TypingTarget::keys() const
{
    std::lock_guard lock(mutex);
    return pressed;
}

QString TypingTarget::text() const
{
    QString out;
    for (const Key &key : keys()) {
        if (key.keysym == XK_Return)
            out += u'\n';
        else if (!key.chars.isEmpty() && key.chars.front().unicode() >= 0x20
                 && key.chars.front().unicode() != 0x7f)
            out += key.chars;
    }
    return out;
}

void TypingTarget::clear()
{
    std::lock_guard lock(mutex);
    pressed.clear();
}

QList<TypingTarget::Key> TypingTarget::waitForKeys(qsizetype n, int timeoutMs) const
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (keys().size() < n && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return keys();
}
