// The Win32 layer against real windows: keys and characters typed into an EDIT control, the
// Escape key state, and the sign-in entry in the registry. Plain C++ so it cross-builds with
// mingw and runs under wine.
#include "win32/win32platform.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what, const std::string &detail = {})
{
    ++(ok ? passed : failed);
    std::printf("%s %s %s\n", ok ? "PASS" : "FAIL", what, ok ? "" : detail.c_str());
    std::fflush(stdout);
}

void checkText(const std::wstring &actual, const std::wstring &expected, const char *what)
{
    std::string shown;
    for (wchar_t c : actual) {
        char hex[12];
        std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7f ? "%c" : "\\u%04x", unsigned(c));
        shown += hex;
    }
    check(actual == expected, what, "got \"" + shown + "\"");
}

// Lets the window procedures see what was injected: input reaches a window only through its
// thread's message loop.
void pump(DWORD ms = 100)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

// The common controls of version 6, as a current application gets them through its manifest:
// only their EDIT control knows Ctrl+A.
void useCommonControls6()
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string file = std::string(dir) + "kelo-platform-test.manifest";
    const char manifest[]
        = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
          "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
          "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
          "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
          "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" "
          "language=\"*\"/></dependentAssembly></dependency></assembly>";
    if (std::FILE *out = std::fopen(file.c_str(), "w")) {
        std::fputs(manifest, out);
        std::fclose(out);
    }
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.lpSource = file.c_str();
    HANDLE handle = CreateActCtxA(&context);
    ULONG_PTR cookie = 0;
    if (handle != INVALID_HANDLE_VALUE && ActivateActCtx(handle, &cookie))
        LoadLibraryW(L"comctl32.dll");
    std::remove(file.c_str());
}

// An EDIT control in a top-level window, with the keyboard focus; nullptr when it cannot get it.
HWND focusedEdit()
{
    useCommonControls6();
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
    wchar_t buffer[256] = {};
    GetWindowTextW(edit, buffer, 256);
    return buffer;
}

void typeUnits(Platform &platform, const std::wstring &s)
{
    for (wchar_t c : s) {
        platform.unicodeEvent(char16_t(c), false);
        pump(20);
        platform.unicodeEvent(char16_t(c), true);
        pump(20);
    }
}

void key(Platform &platform, int vk, bool release)
{
    platform.keyEvent(vk, release);
    pump(20);
}

void testTyping(Platform &platform, HWND edit)
{
    typeUnits(platform, L"h\u00e9");
    pump();
    checkText(textOf(edit), L"h\u00e9", "unicode: ASCII and an accented letter");

    // Backspace takes back a character outside Latin-1; then one beyond the BMP, in two units.
    typeUnits(platform, L"\u20ac");
    key(platform, VK_BACK, false);
    key(platform, VK_BACK, true);
    typeUnits(platform, L"\U0001F600");
    pump();
    checkText(textOf(edit), L"h\u00e9\U0001F600", "Backspace, and a surrogate pair");

    // Ctrl+A selects everything; what is typed next replaces it.
    key(platform, VK_CONTROL, false);
    key(platform, platform.keyForChar(u'a') & 0xff, false);
    key(platform, platform.keyForChar(u'a') & 0xff, true);
    key(platform, VK_CONTROL, true);
    typeUnits(platform, L"x");
    pump();
    checkText(textOf(edit), L"x", "Ctrl+A then typing replaces the selection");
}

// Bit 15 while Escape is down, bit 0 for a press since the last read.
void testEscape(Platform &platform)
{
    platform.escapeState();
    check(platform.escapeState() == 0, "Escape idle reads 0");
    key(platform, VK_ESCAPE, false);
    key(platform, VK_ESCAPE, true);
    const int tapped = platform.escapeState();
    check(tapped != 0 && !(tapped & 0x8000), "a tap between two reads is seen, not as down",
          std::to_string(tapped));
    key(platform, VK_ESCAPE, false);
    check(platform.escapeState() & 0x8000, "Escape held reads bit 15");
    key(platform, VK_ESCAPE, true);
    platform.escapeState();
    check(platform.escapeState() == 0, "Escape released reads 0 again");
}

const wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring rawValue(const wchar_t *name)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, runKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size)
        != ERROR_SUCCESS)
        return L"<none>";
    return buffer;
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

    const struct
    {
        const char *path;
        const wchar_t *stored;
    } moves[] = {
        { "C:/Program Files/Kelo Sharp/Zo\xc3\xab/kelo.exe",
          L"\"C:\\Program Files\\Kelo Sharp\\Zo\u00eb\\kelo.exe\"" },
        { "D:/Apps/My Tool/tool.exe", L"\"D:\\Apps\\My Tool\\tool.exe\"" },
    };
    for (const auto &move : moves) {
        platform.addSignInLaunch("Kelo#", move.path);
        checkText(rawValue(L"Kelo#"), move.stored,
                  "sign-in entry stored quoted, as Windows spells it");
        std::string program = move.path;
        std::replace(program.begin(), program.end(), '/', '\\');
        check(platform.signInLaunch("Kelo#") == program, "sign-in entry reads back unquoted",
              platform.signInLaunch("Kelo#"));
    }
    platform.removeSignInLaunch("Kelo#");
    checkText(rawValue(L"Kelo#"), L"<none>", "removed entry is gone from the registry");
    checkText(rawValue(L"KeloTestOther"), other, "other values untouched");

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
    }
    testSignIn(platform);
    for (int vk = 1; vk < 256; ++vk) {
        if ((GetAsyncKeyState(vk) & 0x8000) && vk != VK_LBUTTON && vk != VK_RBUTTON)
            check(false, "a key is left down", std::to_string(vk));
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
