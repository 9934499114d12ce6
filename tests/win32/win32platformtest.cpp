// The Win32 layer against real windows: typing into an EDIT control, the switch keys' state,
// the sign-in entry in the registry, the pointer. Plain C++, so it cross-builds with mingw for
// wine.
#include "win32/win32platform.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

int failed = 0;

void check(bool ok, const char *what, const std::wstring &got = {})
{
    failed += !ok;
    std::printf("%s %s", ok ? "PASS" : "FAIL", what);
    for (wchar_t c : ok ? std::wstring() : got)
        std::printf(" %04x", unsigned(c));
    std::printf("\n");
}

// Input reaches a window only through its thread's message loop.
void pump(DWORD ms = 20)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(5)) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// What the EDIT control holds, checked and then cleared.
void typed(HWND edit, const wchar_t *expected, const char *what)
{
    pump(100);
    wchar_t buffer[256] = {};
    GetWindowTextW(edit, buffer, 256);
    check(std::wstring(buffer) == expected, what, buffer);
    SetWindowTextW(edit, L"");
}

// Presses (positive) and releases (negative) of virtual keys, by the program or by the user.
void keys(Platform &platform, std::initializer_list<int> vks, bool user = false)
{
    for (int vk : vks) {
        if (user)
            keybd_event(BYTE(vk < 0 ? -vk : vk), 0, vk < 0 ? KEYEVENTF_KEYUP : 0, 0);
        else
            platform.keyEvent(vk < 0 ? -vk : vk, vk < 0);
        pump();
    }
}

// The user's key read as the state of a switch: idle, after a tap, held, and let go ("-TD-").
std::string reads(Platform &platform, int (Platform::*state)(), int vk)
{
    const auto read = [&] {
        const int s = (platform.*state)();
        return s & 0x8000 ? 'D' : s ? 'T' : '-';
    };
    read();
    std::string out(1, read());
    keys(platform, { vk, -vk }, true);
    out += read();
    keys(platform, { vk }, true);
    out += read();
    keys(platform, { -vk }, true);
    read();
    return out + read();
}

// Typing; a chosen switch key reads like Escape. Grabbed, the focused window gets nothing of
// the user's presses, while the program's own presses of it still arrive.
void testKeys(Platform &platform, HWND edit)
{
    // Backspace takes back a character outside Latin-1; one beyond the BMP goes in two units.
    for (wchar_t c : std::wstring(L"h\u00e9\u20ac\b\U0001F600")) {
        for (bool release : { false, true }) {
            c == L'\b' ? platform.keyEvent(VK_BACK, release) : platform.unicodeEvent(c, release);
            pump();
        }
    }
    typed(edit, L"h\u00e9\U0001F600", "Unicode, Backspace, a surrogate pair");
    const auto switchKey = &Platform::switchKeyState;
    check(reads(platform, &Platform::escapeState, VK_ESCAPE) == "-TD-", "Escape");
    // Taken by the hook, Escape reads the same from the hook's own state.
    platform.setEscapeGrab(true);
    check(reads(platform, &Platform::escapeState, VK_ESCAPE) == "-TD-", "Escape, grabbed");
    platform.setEscapeGrab(false);
    check(!platform.setSwitchKey("NoSuchKey", false), "an unknown key name is refused");
    check(platform.setSwitchKey("F8", false) && reads(platform, switchKey, VK_F8) == "-TD-", "F8");
    check(platform.setSwitchKey("space", true) && reads(platform, switchKey, VK_SPACE) == "-TD-",
          "space, grabbed");
    const int a = platform.keyForChar(u'a') & 0xff;
    keys(platform, { VK_SHIFT, a, -a, -VK_SHIFT, VK_SPACE, -VK_SPACE, 'B', -'B' });
    typed(edit, L"A b", "the window gets the program's keys, not the user's space");
    platform.setSwitchKey("", false);
    keys(platform, { VK_SPACE, -VK_SPACE }, true);
    typed(edit, L" ", "released, the key reaches the window again");
    // Held while the switch key is chosen: the user's keys reach no window, yet are seen.
    platform.holdKeyboard(true);
    keys(platform, { 'C', VK_F9 }, true);
    check(platform.keyDown() == "F9", "held, the key down is seen");
    keys(platform, { -VK_F9, -'C' }, true);
    platform.holdKeyboard(false);
    typed(edit, L"", "held, the window gets no key");
}

const wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring stored(const wchar_t *name)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    return RegGetValueW(HKEY_CURRENT_USER, runKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size)
            == ERROR_SUCCESS
        ? buffer
        : L"<none>";
}

// The Run value holds the program quoted, with Windows separators, so that a path with spaces
// cannot start another program; it follows the program when it moves; other values stay.
void testSignIn(Platform &platform)
{
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                    nullptr);
    const wchar_t other[] = L"C:\\other\\other.exe";
    RegSetValueExW(key, L"KeloTestOther", 0, REG_SZ, reinterpret_cast<const BYTE *>(other),
                   sizeof other);
    for (const auto &[path, value] :
         { std::pair("C:/Program Files/Kelo Sharp/Zo\xc3\xab/kelo.exe",
                     L"\"C:\\Program Files\\Kelo Sharp\\Zo\u00eb\\kelo.exe\""),
           std::pair("D:/Apps/My Tool/tool.exe", L"\"D:\\Apps\\My Tool\\tool.exe\"") }) {
        platform.addSignInLaunch("Kelo#", path);
        std::string program = path;
        std::replace(program.begin(), program.end(), '/', '\\');
        check(stored(L"Kelo#") == value && platform.signInLaunch("Kelo#") == program,
              "sign-in entry stored quoted, as Windows spells it, read back unquoted",
              stored(L"Kelo#"));
    }
    platform.removeSignInLaunch("Kelo#");
    check(stored(L"Kelo#") == L"<none>" && stored(L"KeloTestOther") == other,
          "removed, other values untouched");
    RegDeleteValueW(key, L"KeloTestOther");
    RegCloseKey(key);
}

// The cursor goes where it is placed and steps by exactly what is asked, whatever the pointer
// speed; the platform reads back where it is.
void testPointer(Platform &platform)
{
    platform.pointerMoveTo(100, 120);
    platform.pointerMoveBy(5, -3);
    POINT at {};
    int x = 0, y = 0;
    check(GetCursorPos(&at) && at.x == 105 && at.y == 117 && platform.pointerPosition(&x, &y)
              && x == 105 && y == 117,
          "pointer placed, stepped and read back",
          std::to_wstring(at.x) + L"," + std::to_wstring(at.y));
}

} // namespace

int main()
{
    Win32Platform platform;
    HWND frame = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"Kelo platform test",
                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 500, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                                10, 10, 300, 30, frame, nullptr, nullptr, nullptr);
    for (int i = 0; i < 100 && (GetForegroundWindow() != frame || GetFocus() != edit); ++i) {
        SetForegroundWindow(frame);
        SetFocus(edit);
        pump(50);
    }
    check(GetForegroundWindow() == frame && GetFocus() == edit, "the EDIT control has the focus");
    testKeys(platform, edit);
    testSignIn(platform);
    testPointer(platform);
    for (int vk = 3; vk < 256; ++vk) {
        if (GetAsyncKeyState(vk) & 0x8000)
            check(false, "a key is left down", std::to_wstring(vk));
    }
    std::printf("%d failed\n", failed);
    return failed ? 1 : 0;
}
