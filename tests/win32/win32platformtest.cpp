// The Win32 layer against real windows: keys and characters typed into an EDIT control, a
// click on a button, the Escape key state, and the sign-in entry in the registry. Plain C++
// so it cross-builds with mingw and runs under wine.
#include "win32/win32platform.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int passed = 0;
int failed = 0;

std::string utf8(const std::wstring &w)
{
    std::string out;
    for (wchar_t c : w) {
        if (c >= 0x20 && c < 0x7f) {
            out += char(c);
        } else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "\\u%04x", unsigned(c));
            out += hex;
        }
    }
    return out;
}

void check(bool ok, const char *what, const std::string &detail = {})
{
    if (ok) {
        ++passed;
        std::printf("PASS %s\n", what);
    } else {
        ++failed;
        std::printf("FAIL %s %s\n", what, detail.c_str());
    }
    std::fflush(stdout);
}

void checkText(const std::wstring &actual, const std::wstring &expected, const char *what)
{
    check(actual == expected, what,
          "got \"" + utf8(actual) + "\", expected \"" + utf8(expected) + "\"");
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

int clicks = 0;

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_COMMAND && HIWORD(w) == BN_CLICKED)
        ++clicks;
    return DefWindowProcW(window, message, w, l);
}

struct TestWindow
{
    HWND frame = nullptr;
    HWND edit = nullptr;
    HWND button = nullptr;

    // The common controls of version 6, as a current application gets them through its
    // manifest: only their EDIT control knows Ctrl+A.
    static void useCommonControls6()
    {
        wchar_t path[MAX_PATH];
        GetTempPathW(MAX_PATH, path);
        std::wstring file = std::wstring(path) + L"kelo-platform-test.manifest";
        const char manifest[]
            = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
              "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
              "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
              "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
              "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" "
              "language=\"*\"/></dependentAssembly></dependency></assembly>";
        HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(out, manifest, sizeof manifest - 1, &written, nullptr);
        CloseHandle(out);
        ACTCTXW context = {};
        context.cbSize = sizeof context;
        context.lpSource = file.c_str();
        HANDLE handle = CreateActCtxW(&context);
        ULONG_PTR cookie = 0;
        if (handle != INVALID_HANDLE_VALUE && ActivateActCtx(handle, &cookie))
            LoadLibraryW(L"comctl32.dll");
        DeleteFileW(file.c_str());
    }

    bool create()
    {
        useCommonControls6();
        WNDCLASSW cls = {};
        cls.lpfnWndProc = frameProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"KeloPlatformTest";
        cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        RegisterClassW(&cls);
        frame = CreateWindowExW(WS_EX_TOPMOST, cls.lpszClassName, L"Kelo platform test",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 500, 200, nullptr,
                                nullptr, cls.hInstance, nullptr);
        edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                               10, 10, 300, 30, frame, nullptr, cls.hInstance, nullptr);
        button = CreateWindowExW(0, L"BUTTON", L"Click", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10,
                                 60, 120, 40, frame, nullptr, cls.hInstance, nullptr);
        if (!frame || !edit || !button)
            return false;
        ShowWindow(frame, SW_SHOW);
        UpdateWindow(frame);
        return focus();
    }

    bool focus()
    {
        for (int i = 0; i < 100; ++i) {
            SetForegroundWindow(frame);
            SetFocus(edit);
            pump(50);
            if (GetForegroundWindow() == frame && GetFocus() == edit)
                return true;
        }
        return false;
    }

    std::wstring text() const
    {
        wchar_t buffer[256] = {};
        GetWindowTextW(edit, buffer, 256);
        return buffer;
    }

    void clear()
    {
        SetWindowTextW(edit, L"");
        pump(20);
    }
};

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

void tap(Platform &platform, int vk)
{
    key(platform, vk, false);
    key(platform, vk, true);
}

void testTyping(Platform &platform, TestWindow &window)
{
    window.clear();
    typeUnits(platform, L"h\u00e9");
    pump();
    checkText(window.text(), L"h\u00e9", "unicode: ASCII and an accented letter");

    typeUnits(platform, L"\u20ac");
    pump();
    checkText(window.text(), L"h\u00e9\u20ac", "unicode: a character outside Latin-1");
    tap(platform, VK_BACK);
    pump();
    checkText(window.text(), L"h\u00e9", "Backspace removes the last character");

    typeUnits(platform, L"\U0001F600");
    pump();
    checkText(window.text(), L"h\u00e9\U0001F600", "unicode: a surrogate pair");

    // Ctrl+A selects everything; what is typed next replaces it.
    key(platform, VK_CONTROL, false);
    tap(platform, platform.keyForChar(u'a') & 0xff);
    key(platform, VK_CONTROL, true);
    typeUnits(platform, L"x");
    pump();
    checkText(window.text(), L"x", "Ctrl+A then typing replaces the selection");

    // Virtual keys through keyForChar, with Shift when the layout needs it.
    for (char16_t c : std::u16string(u"Ab1!")) {
        const int k = platform.keyForChar(c);
        if (k & 0x100)
            key(platform, VK_SHIFT, false);
        tap(platform, k & 0xff);
        if (k & 0x100)
            key(platform, VK_SHIFT, true);
    }
    pump();
    checkText(window.text(), L"xAb1!", "virtual keys from keyForChar");
}

void testKeyForChar(Platform &platform)
{
    check(platform.keyForChar(u'a') == 'A', "keyForChar a");
    check(platform.keyForChar(u'A') == (0x100 | 'A'), "keyForChar A needs Shift");
    check(platform.keyForChar(u'5') == '5', "keyForChar 5");
    check(platform.keyForChar(u'\u4e2d') == -1, "keyForChar: no key for a CJK character");
}

void testPointer(Platform &platform, TestWindow &window)
{
    RECT r;
    GetWindowRect(window.button, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    pump();
    clicks = 0;
    platform.pointerButton(Platform::Button::Left, false);
    pump(50);
    platform.pointerButton(Platform::Button::Left, true);
    pump();
    check(clicks == 1, "left button down and up click a button",
          "clicks " + std::to_string(clicks));
    // The right button does not click a push button.
    platform.pointerButton(Platform::Button::Right, false);
    pump(50);
    platform.pointerButton(Platform::Button::Right, true);
    pump();
    check(clicks == 1, "right button is not the left one");
    check(!(GetAsyncKeyState(VK_LBUTTON) & 0x8000) && !(GetAsyncKeyState(VK_RBUTTON) & 0x8000),
          "no button left down");
}

void testEscape(Platform &platform)
{
    platform.escapeState();
    check(platform.escapeState() == 0, "Escape idle reads 0");
    tap(platform, VK_ESCAPE);
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

void testSignIn(Platform &platform)
{
    // A value of another program, which must survive.
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                    nullptr);
    const wchar_t other[] = L"C:\\other\\other.exe";
    RegSetValueExW(key, L"KeloTestOther", 0, REG_SZ, reinterpret_cast<const BYTE *>(other),
                   sizeof other);

    const std::string path = "C:/Program Files/Kelo Sharp/Zo\xc3\xab/kelo.exe";
    platform.addSignInLaunch("Kelo#", path);
    check(platform.signInLaunch("Kelo#") == path, "sign-in entry reads back",
          platform.signInLaunch("Kelo#"));
    checkText(rawValue(L"Kelo#"), L"C:/Program Files/Kelo Sharp/Zo\u00eb/kelo.exe",
              "sign-in entry stored unquoted, as given");

    platform.addSignInLaunch("Kelo#", "C:/elsewhere/kelo.exe");
    check(platform.signInLaunch("Kelo#") == "C:/elsewhere/kelo.exe", "adding again replaces");

    platform.removeSignInLaunch("Kelo#");
    check(platform.signInLaunch("Kelo#").empty(), "removed entry reads empty");
    checkText(rawValue(L"Kelo#"), L"<none>", "removed entry is gone from the registry");
    checkText(rawValue(L"KeloTestOther"), other, "other values untouched");
    platform.removeSignInLaunch("Kelo#");
    check(platform.signInLaunch("Kelo#").empty(), "removing twice is harmless");

    RegDeleteValueW(key, L"KeloTestOther");
    RegCloseKey(key);
}

} // namespace

int main()
{
    Win32Platform platform;
    TestWindow window;
    const bool focused = window.create();
    check(focused, "test window has the keyboard focus");
    if (focused) {
        testTyping(platform, window);
        testPointer(platform, window);
        window.focus();
        testEscape(platform);
    }
    testKeyForChar(platform);
    testSignIn(platform);
    for (int vk = 1; vk < 256; ++vk) {
        if ((GetAsyncKeyState(vk) & 0x8000) && vk != VK_LBUTTON && vk != VK_RBUTTON)
            check(false, "a key is left down", std::to_string(vk));
    }
    DestroyWindow(window.frame);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
