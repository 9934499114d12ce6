// The Win32 layer against real windows: typing into an EDIT control, the Escape key state, and
// the sign-in entry in the registry. Plain C++ so it cross-builds with mingw and runs under wine.
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
    for (wchar_t c : ok || got.empty() ? std::wstring() : L" got " + got)
        std::printf(c < 0x80 ? "%c" : " %04x ", unsigned(c));
    std::printf("\n");
    std::fflush(stdout);
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

// An EDIT control of the common controls version 6, as an application with a manifest gets
// it (only that one knows Ctrl+A), with the keyboard focus; nullptr when it cannot get it.
HWND focusedEdit()
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string file = std::string(dir) + "kelo-platform-test.manifest";
    if (std::FILE *out = std::fopen(file.c_str(), "w")) {
        std::fputs("<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
                   "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
                   "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
                   "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" "
                   "language=\"*\"/></dependentAssembly></dependency></assembly>",
                   out);
        std::fclose(out);
    }
    ACTCTXA context = { sizeof context };
    context.lpSource = file.c_str();
    HANDLE handle = CreateActCtxA(&context);
    ULONG_PTR cookie = 0;
    if (handle != INVALID_HANDLE_VALUE && ActivateActCtx(handle, &cookie))
        LoadLibraryW(L"comctl32.dll");
    std::remove(file.c_str());

    HWND frame = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"Kelo platform test",
                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 500, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                                10, 10, 300, 30, frame, nullptr, nullptr, nullptr);
    for (int i = 0; frame && edit && i < 100; ++i) {
        SetForegroundWindow(frame);
        SetFocus(edit);
        pump(50);
        if (GetForegroundWindow() == frame && GetFocus() == edit)
            return edit;
    }
    return nullptr;
}

std::wstring textOf(HWND edit)
{
    pump(100);
    wchar_t buffer[256] = {};
    GetWindowTextW(edit, buffer, 256);
    return buffer;
}

void type(Platform &platform, const std::wstring &s)
{
    for (wchar_t c : s) {
        for (bool release : { false, true }) {
            platform.unicodeEvent(char16_t(c), release);
            pump();
        }
    }
}

// Presses (positive) and releases (negative) of virtual keys, in order.
void keys(Platform &platform, std::initializer_list<int> vks)
{
    for (int vk : vks) {
        platform.keyEvent(vk < 0 ? -vk : vk, vk < 0);
        pump();
    }
}

void testTyping(Platform &platform, HWND edit)
{
    type(platform, L"h\u00e9");
    check(textOf(edit) == L"h\u00e9", "unicode: ASCII and an accented letter", textOf(edit));
    // Backspace takes back a character outside Latin-1; then one beyond the BMP, in two units.
    type(platform, L"\u20ac");
    keys(platform, { VK_BACK, -VK_BACK });
    type(platform, L"\U0001F600");
    check(textOf(edit) == L"h\u00e9\U0001F600", "Backspace, and a surrogate pair", textOf(edit));
    // Ctrl+A selects everything; what is typed next replaces it.
    const int a = platform.keyForChar(u'a') & 0xff;
    keys(platform, { VK_CONTROL, a, -a, -VK_CONTROL });
    type(platform, L"x");
    check(textOf(edit) == L"x", "Ctrl+A then typing replaces the selection", textOf(edit));
}

// Bit 15 while Escape is down, bit 0 for a press since the last read.
void testEscape(Platform &platform)
{
    platform.escapeState();
    check(platform.escapeState() == 0, "Escape idle reads 0");
    keys(platform, { VK_ESCAPE, -VK_ESCAPE });
    const int tapped = platform.escapeState();
    check(tapped != 0 && !(tapped & 0x8000), "a tap between two reads is seen, not as down");
    keys(platform, { VK_ESCAPE });
    check(platform.escapeState() & 0x8000, "Escape held reads bit 15");
    keys(platform, { -VK_ESCAPE });
    platform.escapeState();
    check(platform.escapeState() == 0, "Escape released reads 0 again");
}

// A chosen switch key reads like Escape. Grabbed, the focused window gets nothing of the
// user's presses, while the program's own presses of it still arrive.
void testSwitchKey(Platform &platform, HWND edit)
{
    const auto user = [](int vk, bool release) {
        keybd_event(BYTE(vk), 0, release ? KEYEVENTF_KEYUP : 0, 0);
        pump();
    };
    check(!platform.setSwitchKey("NoSuchKey", false), "an unknown key name is refused");
    check(platform.setSwitchKey("F8", false), "F8 is a switch key");
    user(VK_F8, false);
    check(platform.switchKeyState() & 0x8000, "the switch key held reads bit 15");
    user(VK_F8, true);
    platform.switchKeyState();
    check(platform.switchKeyState() == 0, "the switch key released reads 0");
    SetWindowTextW(edit, L"");
    check(platform.setSwitchKey("space", true), "space is a grabbed switch key");
    platform.switchKeyState();
    user(VK_SPACE, false);
    user(VK_SPACE, true);
    const int tapped = platform.switchKeyState();
    check(tapped == 1, "a grabbed tap is seen", std::to_wstring(tapped));
    keys(platform, { 'A', -'A', VK_SPACE, -VK_SPACE, 'B', -'B' });
    check(textOf(edit) == L"a b", "the window gets the program's space, not the user's",
          textOf(edit));
    platform.setSwitchKey("", false);
    user(VK_SPACE, false);
    user(VK_SPACE, true);
    check(textOf(edit) == L"a b ", "released, the key reaches the window again", textOf(edit));
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
        check(stored(L"Kelo#") == value, "sign-in entry stored quoted, as Windows spells it",
              stored(L"Kelo#"));
        std::string program = path;
        std::replace(program.begin(), program.end(), '/', '\\');
        check(platform.signInLaunch("Kelo#") == program, "sign-in entry reads back unquoted");
    }
    platform.removeSignInLaunch("Kelo#");
    check(stored(L"Kelo#") == L"<none>", "removed entry is gone from the registry");
    check(stored(L"KeloTestOther") == other, "other values untouched");
    RegDeleteValueW(key, L"KeloTestOther");
    RegCloseKey(key);
}

} // namespace

int main()
{
    Win32Platform platform;
    const HWND edit = focusedEdit();
    check(edit, "test window has the keyboard focus");
    if (edit) {
        testTyping(platform, edit);
        testEscape(platform);
        testSwitchKey(platform, edit);
    }
    testSignIn(platform);
    for (int vk = 3; vk < 256; ++vk) {
        if (GetAsyncKeyState(vk) & 0x8000)
            check(false, "a key is left down", std::to_wstring(vk));
    }
    std::printf("%d failed\n", failed);
    return failed ? 1 : 0;
}
