// The application Kelo# types into on Windows: a plain window that takes the focus and reports on
// standard output, a line at once, what reaches it: "char 104" for each character, "down 27" and
// "up 27" for keys, "focus" and "unfocus", "button 1 down" and "button 1 up". Other uses, each
// ending with the number of problems as its status:
//   --held                 every key and mouse button the system still thinks held, "held 16"
//   --window TITLE         that window's client size, its menu bar's titles, the foreground
//                          window: "client 556 230", "menu Language|Options|...", "foreground T"
//   --menu TITLE MENU ITEM chooses ITEM in the menu bar's menu MENU of the window, as a click does
#define UNICODE
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

void report(const char *format, ...)
{
    va_list values;
    va_start(values, format);
    std::vprintf(format, values);
    va_end(values);
    std::printf("\n");
    std::fflush(stdout); // the reader follows as it happens
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_CHAR:
        report("char %u", unsigned(w));
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        report("down %u", unsigned(w));
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        report("up %u", unsigned(w));
        break;
    case WM_SETFOCUS:
        report("focus");
        return 0;
    case WM_KILLFOCUS:
        report("unfocus");
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
        const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONUP;
        const bool down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
        report("button %d %s", left ? 1 : 3, down ? "down" : "up");
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

int reportHeld()
{
    int held = 0;
    for (int vk = 1; vk < 256; ++vk) {
        if (GetAsyncKeyState(vk) & 0x8000) {
            report("held %d", vk);
            ++held;
        }
    }
    return held;
}

std::string text(HMENU menu, UINT position)
{
    wchar_t buffer[128] = {};
    GetMenuStringW(menu, position, buffer, 128, MF_BYPOSITION);
    char utf8[512] = {};
    WideCharToMultiByte(CP_UTF8, 0, buffer, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

int reportWindow(const char *title)
{
    HWND window = FindWindowA(nullptr, title);
    RECT client {};
    if (!window || !GetClientRect(window, &client))
        return 1;
    report("client %ld %ld", client.right - client.left, client.bottom - client.top);
    std::string titles;
    const HMENU bar = GetMenu(window);
    for (int i = 0; bar && i < GetMenuItemCount(bar); ++i)
        titles += (i ? "|" : "") + text(bar, UINT(i));
    report("menu %s", titles.c_str());
    char foreground[256] = {};
    GetWindowTextA(GetForegroundWindow(), foreground, sizeof foreground);
    report("foreground %s", foreground);
    return 0;
}

int chooseMenuItem(const char *title, const char *menuTitle, const char *itemTitle)
{
    HWND window = FindWindowA(nullptr, title);
    const HMENU bar = window ? GetMenu(window) : nullptr;
    for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
        const HMENU menu = GetSubMenu(bar, i);
        for (int j = 0; menu && text(bar, UINT(i)) == menuTitle && j < GetMenuItemCount(menu); ++j) {
            if (text(menu, UINT(j)) == itemTitle) {
                PostMessageW(window, WM_COMMAND, GetMenuItemID(menu, j), 0);
                return 0;
            }
        }
    }
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--held") == 0)
        return reportHeld();
    if (argc > 2 && std::strcmp(argv[1], "--window") == 0)
        return reportWindow(argv[2]);
    if (argc > 4 && std::strcmp(argv[1], "--menu") == 0)
        return chooseMenuItem(argv[2], argv[3], argv[4]);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"KeloTypingClient";
    RegisterClassW(&windowClass);
    // Most of the screen, so that a click anywhere outside Kelo#'s window lands here.
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Typing client",
                                  WS_OVERLAPPEDWINDOW, 0, 0, 1200, 900, nullptr, nullptr,
                                  instance, nullptr);
    if (!window)
        return 100;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
