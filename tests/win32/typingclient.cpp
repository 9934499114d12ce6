// The application Kelo# types into on Windows: a window that takes the focus and reports each
// character on standard output ("char 104"), and "unfocus" if it loses the focus. Other uses end
// with the number of problems as their status:
//   --held            every key or mouse button the system still thinks held: "held 16"
//   --window T        window T's client size, its menu bar and the foreground window:
//                     "client 556 230", "menu Language|Options|...", "foreground Typing client"
//   --menu T MENU I   chooses item I of menu MENU in window T's menu bar, as a click does
#define UNICODE
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_CHAR || message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        // Flushed at once: the test reads as it happens.
        std::printf(message == WM_CHAR ? "char %u\n" : message == WM_SETFOCUS ? "focus\n" : "unfocus\n",
                    unsigned(w));
        std::fflush(stdout);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, w, l);
}

std::string text(HMENU menu, int position)
{
    char buffer[256] = {};
    GetMenuStringA(menu, UINT(position), buffer, sizeof buffer, MF_BYPOSITION);
    return buffer;
}

int tool(int argc, char **argv)
{
    const std::string use = argv[1];
    if (use == "--held") {
        int held = 0;
        for (int vk = 1; vk < 256; ++vk)
            if (GetAsyncKeyState(vk) & 0x8000)
                std::printf("held %d\n", vk), ++held;
        return held;
    }
    HWND window = argc > 2 ? FindWindowA(nullptr, argv[2]) : nullptr;
    const HMENU bar = window ? GetMenu(window) : nullptr;
    RECT client {};
    if (use == "--window" && GetClientRect(window, &client)) {
        std::string titles, foreground(256, '\0');
        for (int i = 0; bar && i < GetMenuItemCount(bar); ++i)
            titles += (i ? "|" : "") + text(bar, i);
        foreground.resize(GetWindowTextA(GetForegroundWindow(), foreground.data(), 256));
        std::printf("client %ld %ld\nmenu %s\nforeground %s\n", client.right, client.bottom,
                    titles.c_str(), foreground.c_str());
        return 0;
    }
    for (int i = 0; use == "--menu" && argc > 4 && bar && i < GetMenuItemCount(bar); ++i) {
        const HMENU menu = text(bar, i) == argv[3] ? GetSubMenu(bar, i) : nullptr;
        for (int j = 0; menu && j < GetMenuItemCount(menu); ++j)
            if (text(menu, j) == argv[4])
                return !PostMessageW(window, WM_COMMAND, GetMenuItemID(menu, j), 0);
    }
    std::printf("%s: nothing to do\n", use.c_str());
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        return tool(argc, argv);
    WNDCLASSW windowClass {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"KeloTypingClient";
    RegisterClassW(&windowClass);
    // Most of the screen, so that a click outside Kelo#'s window lands here.
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Typing client",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1200, 900, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return window ? 0 : 1;
}
