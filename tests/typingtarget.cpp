#include "typingtarget.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <clocale>
#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;

template<typename Done> void waitUntil(Done done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

TypingTarget::TypingTarget(std::chrono::milliseconds readGap)
    : gap(readGap)
{
}

TypingTarget::~TypingTarget()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
}

bool TypingTarget::start()
{
    // Xutf8LookupString needs a locale Xlib supports; C.UTF-8 is always there.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    thread = std::thread([this] { run(); });
    waitUntil([this] { return hasFocus || failed; }, 10000);
    return hasFocus;
}

void TypingTarget::run()
{
    Display *display = XOpenDisplay(nullptr);
    XSetLocaleModifiers("@im=none");
    XIM im = display ? XOpenIM(display, nullptr, nullptr, nullptr) : nullptr;
    if (!im) {
        failed = true;
        return;
    }
    XSetWindowAttributes attributes {};
    // Not managed: no window manager places it or moves the focus away from it.
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(display, DefaultScreen(display));
    attributes.event_mask = KeyPressMask | FocusChangeMask | StructureNotifyMask | ButtonPressMask
        | ButtonReleaseMask | PointerMotionMask;
    const Window window = XCreateWindow(
        display, DefaultRootWindow(display), 60, 60, 240, 120, 0, CopyFromParent, InputOutput,
        CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    XIC ic = XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                       window, XNFocusWindow, window, nullptr);
    XMapRaised(display, window);
    XSync(display, False);

    const auto note = [this](const QString &what) {
        std::lock_guard lock(mutex);
        pointed << what;
    };
    pollfd fd { ConnectionNumber(display), POLLIN, 0 };
    while (!stopping) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            const auto arrived = Clock::now();
            if (XFilterEvent(&event, None))
                continue;
            const XButtonEvent &b = event.xbutton;
            switch (event.type) {
            case MapNotify:
                // The pointer rests on it too, should the focus follow the pointer.
                XWarpPointer(display, None, window, 0, 0, 0, 0, 120, 60);
                XSetInputFocus(display, window, RevertToParent, CurrentTime);
                break;
            case FocusIn:
            case FocusOut:
                hasFocus = event.type == FocusIn;
                break;
            case MappingNotify:
                XRefreshKeyboardMapping(&event.xmapping);
                break;
            case KeyPress: {
                char buffer[64];
                KeySym sym = NoSymbol;
                Status status = 0;
                const int n = ic
                    ? Xutf8LookupString(ic, &event.xkey, buffer, sizeof buffer - 1, &sym, &status)
                    : 0;
                std::lock_guard lock(mutex);
                pressed << Key { sym, event.xkey.state,
                                 status == XLookupChars || status == XLookupBoth
                                     ? QString::fromUtf8(buffer, n)
                                     : QString(),
                                 arrived };
                break;
            }
            case ButtonPress:
            case ButtonRelease:
                note(QString::asprintf("%s %u %d,%d",
                                       event.type == ButtonPress ? "press" : "release", b.button,
                                       b.x_root, b.y_root));
                break;
            case MotionNotify:
                note(QString::asprintf("motion %d,%d", event.xmotion.x_root, event.xmotion.y_root));
                break;
            default:
                break;
            }
        }
        // A busy editor reads in bursts: a keycode lent to another character before the
        // client read its last event would type the wrong one.
        if (gap.count() > 0)
            std::this_thread::sleep_for(gap);
        else
            poll(&fd, 1, 20);
    }
    if (ic)
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
        if (key.keysym == XK_BackSpace)
            out.chop(out.size() > 1 && out.back().isLowSurrogate() ? 2 : 1);
        else if (key.keysym == XK_Return)
            out += u'\n';
        else if (key.state & (ControlMask | Mod1Mask | Mod4Mask) && !IsModifierKey(key.keysym))
            out += QStringLiteral("<%1-%2>")
                       .arg(key.state & ControlMask    ? 'C'
                                : key.state & Mod1Mask ? 'A'
                                                       : 'W')
                       .arg(QString::fromLatin1(XKeysymToString(key.keysym)));
        else if (!key.chars.isEmpty() && key.chars.front() >= u' ' && key.chars.front() != u'\x7f')
            out += key.chars;
    }
    return out;
}

QStringList TypingTarget::pointer() const
{
    std::lock_guard lock(mutex);
    return pointed;
}

void TypingTarget::clear()
{
    std::this_thread::sleep_for(2 * gap);
    std::lock_guard lock(mutex);
    pressed.clear();
    pointed.clear();
}

QString TypingTarget::waitForText(const QString &expected, int timeoutMs) const
{
    waitUntil([&] { return text() == expected; }, timeoutMs);
    std::this_thread::sleep_for(2 * gap);
    return text();
}

QStringList TypingTarget::waitForPointer(const QStringList &expected, int timeoutMs) const
{
    waitUntil([&] { return pointer() == expected; }, timeoutMs);
    std::this_thread::sleep_for(2 * gap);
    return pointer();
}
