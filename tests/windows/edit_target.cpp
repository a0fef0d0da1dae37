// A plain Win32 program with one multi-line edit control that has the keyboard focus: the
// other application that SendInputKeyboard types into. It takes the foreground when it starts;
// a test reads the control's text with WM_GETTEXT and closes it with WM_CLOSE.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

HWND g_edit = nullptr;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_CREATE:
        g_edit = CreateWindowExW(0, L"EDIT", L"",
                                 WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL |
                                     ES_WANTRETURN | WS_VSCROLL,
                                 0, 0, 400, 200, window, nullptr, nullptr, nullptr);
        return g_edit ? 0 : -1;
    case WM_SETFOCUS:
        SetFocus(g_edit);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, w, l);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"TrelvaneEditTarget";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (!RegisterClassW(&wc))
        return 1;
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Edit target", WS_OVERLAPPEDWINDOW, 40, 40,
                                  420, 240, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(g_edit);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
