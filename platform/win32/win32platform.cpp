#include "win32platform.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <string>

namespace {

const wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring wide(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(const std::wstring &w)
{
    if (w.empty())
        return {};
    const int n
        = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Marks the program's own key events, which the switch-key hook lets through.
constexpr ULONG_PTR ownMark = 0x4B454C4F;

// X keysym names of the keys beyond letters, digits and F1 to F24.
const struct
{
    const char *name;
    int vk;
} keyNames[] = { { "Pause", VK_PAUSE },      { "Scroll_Lock", VK_SCROLL },
                 { "space", VK_SPACE },      { "Insert", VK_INSERT },
                 { "Home", VK_HOME },        { "End", VK_END },
                 { "Prior", VK_PRIOR },      { "Page_Up", VK_PRIOR },
                 { "Next", VK_NEXT },        { "Page_Down", VK_NEXT },
                 { "Return", VK_RETURN },    { "Tab", VK_TAB },
                 { "BackSpace", VK_BACK },   { "Delete", VK_DELETE },
                 { "Left", VK_LEFT },        { "Up", VK_UP },
                 { "Right", VK_RIGHT },      { "Down", VK_DOWN },
                 { "Print", VK_SNAPSHOT },   { "Menu", VK_APPS },
                 { "Num_Lock", VK_NUMLOCK }, { "Caps_Lock", VK_CAPITAL },
                 { "KP_Enter", VK_RETURN },  { "KP_0", VK_NUMPAD0 },
                 { "KP_1", VK_NUMPAD1 },     { "KP_2", VK_NUMPAD2 },
                 { "KP_3", VK_NUMPAD3 },     { "KP_4", VK_NUMPAD4 },
                 { "KP_5", VK_NUMPAD5 },     { "KP_6", VK_NUMPAD6 },
                 { "KP_7", VK_NUMPAD7 },     { "KP_8", VK_NUMPAD8 },
                 { "KP_9", VK_NUMPAD9 } };

// The virtual key of an X keysym name, as the switch key is named on every system; 0 for none.
int vkOfName(const std::string &name)
{
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return std::toupper(static_cast<unsigned char>(name[0]));
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
        const int n = std::atoi(name.c_str() + 1);
        if (n >= 1 && n <= 24 && std::to_string(n) == name.substr(1))
            return VK_F1 + n - 1;
    }
    for (const auto &entry : keyNames) {
        if (name == entry.name)
            return entry.vk;
    }
    return 0;
}

// The X keysym name of a virtual key, as vkOfName reads it; empty for one it has no name for.
std::string nameOfVk(int vk)
{
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return std::string(1, char(std::tolower(vk)));
    if (vk >= VK_F1 && vk <= VK_F24)
        return "F" + std::to_string(vk - VK_F1 + 1);
    for (const auto &entry : keyNames) {
        if (entry.vk == vk)
            return entry.name;
    }
    return {};
}

// A key the hook swallows, shared with it, since a hook has no other way to its platform: the
// state it keeps stands in for the global key state the swallowed key never reaches.
struct HookedKey
{
    std::atomic<int> vk { 0 };
    std::atomic<bool> down { false };
    // Since the last state(): 1 it went down, 2 up (the key's repeats are neither).
    std::atomic<int> edges { 0 };

    void set(int key)
    {
        vk = key;
        down = false;
        edges = 0;
    }
    int state() { return (down ? 0x8000 : 0) | edges.exchange(0); }
};
HookedKey hookedSwitch, hookedEscape;
// While the switch key is being chosen the hook swallows every key but Escape, keeping the one
// down, which the global key state then never shows.
std::atomic<bool> holdingAll { false };
std::atomic<int> heldVk { 0 };

// Runs in the thread that set the hook, from its message loop (the GUI thread's).
LRESULT CALLBACK switchKeyHook(int code, WPARAM message, LPARAM data)
{
    const auto *key = reinterpret_cast<const KBDLLHOOKSTRUCT *>(data);
    if (code == HC_ACTION && key->dwExtraInfo != ownMark) {
        for (HookedKey *hooked : { &hookedSwitch, &hookedEscape }) {
            if (hooked->vk != 0 && int(key->vkCode) == hooked->vk) {
                const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
                if (up || !hooked->down)
                    hooked->edges |= up ? 2 : 1;
                hooked->down = !up;
                return 1;
            }
        }
        if (holdingAll && key->vkCode != VK_ESCAPE) {
            const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
            heldVk = up ? (heldVk == int(key->vkCode) ? 0 : heldVk.load()) : int(key->vkCode);
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

} // namespace

Win32Platform::~Win32Platform()
{
    hookedSwitch.set(0);
    hookedEscape.set(0);
    rehook();
}

void Win32Platform::rehook()
{
    const bool wanted = hookedSwitch.vk != 0 || hookedEscape.vk != 0 || holdingAll;
    if (hook && !wanted) {
        UnhookWindowsHookEx(static_cast<HHOOK>(hook));
        hook = nullptr;
    } else if (!hook && wanted) {
        hook = SetWindowsHookExW(WH_KEYBOARD_LL, switchKeyHook, GetModuleHandleW(nullptr), 0);
    }
}

void Win32Platform::keyEvent(int vk, bool release)
{
    keybd_event(BYTE(vk & 0xff), 0, release ? KEYEVENTF_KEYUP : 0, ownMark);
}

void Win32Platform::unicodeEvent(char16_t unit, bool release)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = 0;
    input.ki.wScan = WORD(unit);
    input.ki.dwFlags = KEYEVENTF_UNICODE | (release ? KEYEVENTF_KEYUP : 0);
    input.ki.time = 0;
    input.ki.dwExtraInfo = GetMessageExtraInfo();
    SendInput(1, &input, sizeof(INPUT));
}

int Win32Platform::keyForChar(char16_t c)
{
    // The layout of the window being typed into, which need not be this thread's.
    const HKL layout = GetKeyboardLayout(GetWindowThreadProcessId(GetForegroundWindow(), nullptr));
    return VkKeyScanExW(wchar_t(c), layout);
}

void Win32Platform::pointerButton(Button button, bool release)
{
    DWORD flags;
    if (button == Button::Left)
        flags = release ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    else
        flags = release ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN;
    mouse_event(flags, 0, 0, 0, 0);
}

// The cursor is placed, not nudged: a relative SendInput would go through the user's pointer
// speed and acceleration.
void Win32Platform::pointerMoveBy(int dx, int dy)
{
    POINT at;
    if (GetCursorPos(&at))
        SetCursorPos(at.x + dx, at.y + dy);
}

void Win32Platform::pointerMoveTo(int x, int y)
{
    SetCursorPos(x, y);
}

bool Win32Platform::pointerPosition(int *x, int *y)
{
    POINT at;
    if (!GetCursorPos(&at))
        return false;
    *x = at.x;
    *y = at.y;
    return true;
}

int Win32Platform::escapeState()
{
    if (hook && hookedEscape.vk != 0)
        return hookedEscape.state();
    return GetAsyncKeyState(VK_ESCAPE) & 0x8001; // no release edge here
}

void Win32Platform::setEscapeGrab(bool grab)
{
    hookedEscape.set(grab ? VK_ESCAPE : 0);
    rehook();
    GetAsyncKeyState(VK_ESCAPE);
}

// Qt answers a click on a window that takes no focus with no activation (wine asks the same of
// it when the X window manager offers the focus), and shows it without activation. Adding
// WS_EX_NOACTIVATE would keep the menu bar as it is, but under wine it costs the application
// in use its keyboard focus.
void Win32Platform::keepUnfocused(std::uintptr_t) { }

bool Win32Platform::caretMayHaveMoved()
{
    // Bit 0: pressed since the last query, whoever asked (good enough for a hint).
    bool clicked = false;
    for (int button : { VK_LBUTTON, VK_RBUTTON, VK_MBUTTON })
        clicked = (GetAsyncKeyState(button) & 1) || clicked;
    void *now = GetForegroundWindow();
    const bool changed = now != foreground;
    foreground = now;
    return clicked || changed;
}

bool Win32Platform::setSwitchKey(const std::string &name, bool grab)
{
    switchVk = vkOfName(name);
    hookedSwitch.set(switchVk && grab ? switchVk : 0);
    rehook();
    GetAsyncKeyState(switchVk);
    return switchVk != 0;
}

std::string Win32Platform::keyDown()
{
    if (holdingAll)
        return nameOfVk(heldVk);
    for (int vk = VK_BACK; vk <= 0xFE; ++vk) {
        if (vk == VK_ESCAPE || vk == VK_CAPITAL || vk == VK_NUMLOCK
            || (GetAsyncKeyState(vk) & 0x8000) == 0)
            continue;
        const std::string name = nameOfVk(vk);
        if (!name.empty())
            return name;
    }
    return {};
}

void Win32Platform::holdKeyboard(bool on)
{
    heldVk = 0;
    holdingAll = on;
    rehook();
}

int Win32Platform::switchKeyState()
{
    if (!switchVk)
        return 0;
    if (hook && hookedSwitch.vk != 0)
        return hookedSwitch.state();
    return GetAsyncKeyState(switchVk) & 0x8001;
}

void Win32Platform::addSignInLaunch(const std::string &name, const std::string &path)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr)
        != ERROR_SUCCESS)
        return;
    // Quoted, with Windows separators: unquoted, a path with spaces can start another program.
    std::wstring value = wide(path);
    std::replace(value.begin(), value.end(), L'/', L'\\');
    value = L'"' + value + L'"';
    RegSetValueExW(key, wide(name).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE *>(value.c_str()),
                   DWORD((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void Win32Platform::removeSignInLaunch(const std::string &name)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, runKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, wide(name).c_str());
    RegCloseKey(key);
}

std::string Win32Platform::signInLaunch(const std::string &name)
{
    wchar_t buffer[4096];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, runKey, wide(name).c_str(), RRF_RT_REG_SZ, nullptr, buffer,
                     &size)
        != ERROR_SUCCESS)
        return {};
    std::wstring value = buffer;
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        value = value.substr(1, value.size() - 2);
    return narrow(value);
}

Platform &Platform::native()
{
    static Win32Platform platform;
    return platform;
}
