// The application Kelo# types into on Windows: a window that takes the focus and reports each
// character on standard output ("char 104"), and "unfocus" if it loses the focus. Other uses end
// with the number of problems as their status:
//   --held            every key or mouse button the system still thinks held: "held 16"
//   --window T        window T's client size, whether it has a menu bar, the foreground window:
//                     "client 556 230", "menu bar", "foreground Typing client"
//   --menu T M I      chooses item I of menu M (both from 0) of window T's menu bar with the
//                     keys, posted to T: wine lets no process read another's menus
#define UNICODE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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
        std::string foreground(256, '\0');
        foreground.resize(GetWindowTextA(GetForegroundWindow(), foreground.data(), 256));
        std::printf("client %ld %ld\nmenu %s\nforeground %s\n", client.right, client.bottom,
                    bar ? "bar" : "none", foreground.c_str());
        return 0;
    }
    if (use == "--menu" && argc > 4 && bar) {
        bool posted = PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, 0); // the first menu lit
        const auto key = [&](int vk, int times) {
            for (int i = 0; i < times; ++i)
                posted = PostMessageW(window, WM_KEYDOWN, WPARAM(vk), 1) && posted;
        };
        key(VK_RIGHT, std::atoi(argv[3]));
        key(VK_DOWN, 1 + std::atoi(argv[4])); // opened, its first item lit, then down to I
        key(VK_RETURN, 1);
        return !posted;
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
