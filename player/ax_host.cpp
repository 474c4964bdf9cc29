#include "player/ax_host.h"

#include <mutex>

namespace player {

namespace {

UINT g_getControl = 0, g_getHost = 0;
std::mutex g_registering;
bool g_registered = false;

IUnknown* HostedControl(HWND window) { return reinterpret_cast<IUnknown*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

LRESULT CALLBACK AxHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (create->lpszName == nullptr) return -1;
        wchar_t text[64];
        if (MultiByteToWideChar(CP_ACP, 0, create->lpszName, -1, text, 64) == 0) return -1;
        CLSID clsid;
        if (FAILED(CLSIDFromString(text, &clsid))) return -1;
        IUnknown* control = nullptr;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&control))) ||
            control == nullptr) {
            return -1;  // no control: the window is not created
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
        return 0;
    }
    if (message == WM_DESTROY) {
        if (IUnknown* control = HostedControl(window)) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            control->Release();
        }
        return 0;
    }
    if (message != 0 && message == g_getControl) {
        IUnknown* control = HostedControl(window);
        if (control != nullptr) control->AddRef();
        return reinterpret_cast<LRESULT>(control);
    }
    if (message != 0 && message == g_getHost) return 0;  // no host object of its own
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool RegisterAxHostClass(HINSTANCE instance) {
    const std::lock_guard<std::mutex> lock(g_registering);
    if (g_registered) return true;
    g_getControl = RegisterWindowMessageA("WM_ATLGETCONTROL");
    g_getHost = RegisterWindowMessageA("WM_ATLGETHOST");
    if (g_getControl == 0 || g_getHost == 0) return false;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = AxHostProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.lpszClassName = kAxHostClassName;
    if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    g_registered = true;
    return true;
}

UINT AxGetControlMessage() { return g_getControl; }
UINT AxGetHostMessage() { return g_getHost; }

HRESULT AxHostControl(HWND host, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (g_getControl == 0) return E_FAIL;
    IUnknown* control = reinterpret_cast<IUnknown*>(SendMessageA(host, g_getControl, 0, 0));
    if (control == nullptr) return E_FAIL;
    const HRESULT hr = control->QueryInterface(iid, object);
    control->Release();
    return hr;
}

}  // namespace player
