#include "typingtarget.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <clocale>
#include <poll.h>

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {
template<typename Value, typename Get>
Value waitFor(Get get, const Value &expected, int timeoutMs, milliseconds after)
{
    for (const auto end = Clock::now() + milliseconds(timeoutMs);
         get() != expected && Clock::now() < end;)
        std::this_thread::sleep_for(milliseconds(10));
    std::this_thread::sleep_for(after);
    return get();
}
} // namespace

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
    return waitFor([this] { return bool(hasFocus); }, true, 10000, {});
}

void TypingTarget::run()
{
    Display *display = XOpenDisplay(nullptr);
    XSetLocaleModifiers("@im=none");
    XIM im = display ? XOpenIM(display, nullptr, nullptr, nullptr) : nullptr;
    if (!im)
        return;
    XSetWindowAttributes attributes {};
    // Not managed: no window manager places it or moves the focus away from it. Lowest, as a
    // desktop, so that kelo's window stays in sight over it.
    attributes.override_redirect = !managed;
    attributes.background_pixel = WhitePixel(display, DefaultScreen(display));
    attributes.event_mask = KeyPressMask | FocusChangeMask | StructureNotifyMask | ButtonPressMask
        | ButtonReleaseMask | PointerMotionMask;
    const Window window = XCreateWindow(
        display, DefaultRootWindow(display), rect.x(), rect.y(), unsigned(rect.width()),
        unsigned(rect.height()), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    XIC ic = XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                       window, XNFocusWindow, window, nullptr);
    if (!managed)
        XLowerWindow(display, window);
    else if (XWMHints *hints = XAllocWMHints()) {
        hints->flags = InputHint;
        hints->input = True;
        XSetWMHints(display, window, hints);
        XFree(hints);
    }
    XMapWindow(display, window);
    XSync(display, False);
    pollfd fd { ConnectionNumber(display), POLLIN, 0 };
    while (!stopping) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            const auto arrived = Clock::now();
            const XButtonEvent &b = event.xbutton;
            std::lock_guard lock(mutex);
            if (event.type == MapNotify) {
                // The pointer rests on it too, should the focus follow the pointer.
                XWarpPointer(display, None, window, 0, 0, 0, 0, rect.width() / 2,
                             rect.height() / 2);
                if (!managed) // the manager gives it, as to an application
                    XSetInputFocus(display, window, RevertToParent, CurrentTime);
            } else if (event.type == FocusIn || event.type == FocusOut) {
                hasFocus = event.type == FocusIn;
            } else if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
            } else if (event.type == KeyPress) {
                char buffer[64];
                KeySym sym = NoSymbol;
                Status status = 0;
                const int n
                    = ic ? Xutf8LookupString(ic, &event.xkey, buffer, 63, &sym, &status) : 0;
                const bool chars = status == XLookupChars || status == XLookupBoth;
                pressed << Key { sym, event.xkey.state, QString::fromUtf8(buffer, chars ? n : 0),
                                 arrived };
            } else if (event.type == ButtonPress || event.type == ButtonRelease) {
                pointed << QString::asprintf("%s %u %d,%d",
                                             event.type == ButtonPress ? "press" : "release",
                                             b.button, b.x_root, b.y_root);
            } else if (event.type == MotionNotify) {
                pointed << QString::asprintf("motion %d,%d", b.x_root, b.y_root);
            }
        }
        // A keycode lent to another character before the client read its last event would
        // type the wrong one: a busy editor reading in bursts shows it.
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

QString TypingTarget::text() const
{
    QString out;
    for (const Key &key : keys()) {
        if (key.keysym == XK_BackSpace)
            out.chop(out.size() > 1 && out.back().isLowSurrogate() ? 2 : 1);
        else if (key.keysym == XK_Return)
            out += u'\n';
        else if (key.keysym == XK_Escape)
            out += QStringLiteral("<Esc>");
        else if (key.state & (ControlMask | Mod1Mask) && !IsModifierKey(key.keysym))
            out += QStringLiteral("<%1-%2>")
                       .arg(key.state & ControlMask ? 'C' : 'A')
                       .arg(QString::fromLatin1(XKeysymToString(key.keysym)));
        else if (!key.chars.isEmpty() && key.chars.front() >= u' ' && key.chars.front() != u'\x7f')
            out += key.chars;
    }
    return out;
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
    return waitFor([this] { return text(); }, expected, timeoutMs, 2 * gap);
}

QStringList TypingTarget::waitForPointer(const QStringList &expected, int timeoutMs) const
{
    return waitFor([this] { return pointer(); }, expected, timeoutMs, 2 * gap);
}
