#include "win32platform.h"

#include <windows.h>

#include <algorithm>

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

} // namespace

void Win32Platform::keyEvent(int vk, bool release)
{
    keybd_event(BYTE(vk & 0xff), 0, release ? KEYEVENTF_KEYUP : 0, 0);
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

int Win32Platform::escapeState()
{
    return GetAsyncKeyState(VK_ESCAPE) & 0xffff;
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
