#include "../passwordwatch.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <chrono>
#include <cstdio>

namespace {

// The two UI Automation client interfaces used here, as far as the calls made: mingw-w64's
// headers do not declare them. The slots before a called method only keep the table's order
// and are never called.
struct UiaElement : IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE setFocus() = 0;
    virtual HRESULT STDMETHODCALLTYPE getRuntimeId(void *) = 0;
    virtual HRESULT STDMETHODCALLTYPE findFirst(int, void *, void **) = 0;
    virtual HRESULT STDMETHODCALLTYPE findAll(int, void *, void **) = 0;
    virtual HRESULT STDMETHODCALLTYPE findFirstBuildCache(int, void *, void *, void **) = 0;
    virtual HRESULT STDMETHODCALLTYPE findAllBuildCache(int, void *, void *, void **) = 0;
    virtual HRESULT STDMETHODCALLTYPE buildUpdatedCache(void *, void **) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValue(int propertyId, VARIANT *value) = 0;
};

struct UiaAutomation : IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE compareElements(void *, void *, BOOL *) = 0;
    virtual HRESULT STDMETHODCALLTYPE compareRuntimeIds(void *, void *, BOOL *) = 0;
    virtual HRESULT STDMETHODCALLTYPE getRootElement(void **) = 0;
    virtual HRESULT STDMETHODCALLTYPE elementFromHandle(void *, void **) = 0;
    virtual HRESULT STDMETHODCALLTYPE elementFromPoint(POINT, void **) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFocusedElement(UiaElement **element) = 0;
};

// CLSID_CUIAutomation, IID_IUIAutomation and UIA_IsPasswordPropertyId of UIAutomationClient.h.
constexpr CLSID automationClass
    = { 0xff48dba4, 0x60ef, 0x4201, { 0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e } };
constexpr IID automationInterface
    = { 0x30cbe57d, 0xd9d0, 0x452a, { 0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee } };
constexpr int isPasswordProperty = 30019;

// How often the focus is looked at: a person chooses a letter at most a few times a second.
constexpr auto period = std::chrono::milliseconds(200);

bool focusIsPassword(UiaAutomation *automation)
{
    UiaElement *element = nullptr;
    if (FAILED(automation->GetFocusedElement(&element)) || !element)
        return false;
    VARIANT value;
    VariantInit(&value);
    const bool password = SUCCEEDED(element->GetCurrentPropertyValue(isPasswordProperty, &value))
        && value.vt == VT_BOOL && value.boolVal == VARIANT_TRUE;
    VariantClear(&value);
    element->Release();
    return password;
}

} // namespace

void PasswordWatch::run()
{
    // UI Automation's client calls are made from a multithreaded apartment of this thread's own,
    // so the window's thread never waits on an application.
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fprintf(stderr, "Kelo#: no COM on the watch thread: password fields not recognised\n");
        return;
    }
    UiaAutomation *automation = nullptr;
    if (FAILED(CoCreateInstance(automationClass, nullptr, CLSCTX_INPROC_SERVER, automationInterface,
                                reinterpret_cast<void **>(&automation)))
        || !automation) {
        std::fprintf(stderr, "Kelo#: no UI Automation: password fields not recognised\n");
        CoUninitialize();
        return;
    }
    while (!stopping) {
        password = focusIsPassword(automation);
        Sleep(DWORD(period.count()));
    }
    password = false;
    automation->Release();
    CoUninitialize();
}
