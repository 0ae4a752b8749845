/* The least a Win32 tray program can be: a hidden window, a 60-second timer and one
   tray icon. The benchmark measures Quilmaren Filters against it. */
#include <windows.h>
#include <shellapi.h>

static LRESULT CALLBACK BaselineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    NOTIFYICONDATAA data;
    switch (message) {
    case WM_CREATE:
        SetTimer(window, 1, 60000, NULL);
        return 0;
    case WM_DESTROY:
        ZeroMemory(&data, sizeof data);
        data.cbSize = NOTIFYICONDATAA_V3_SIZE;
        data.hWnd = window;
        data.uID = 1;
        Shell_NotifyIconA(NIM_DELETE, &data);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BaselineProc;
    wc.hInstance = instance;
    wc.lpszClassName = "BaselineTray";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("BaselineTray", "Baseline tray", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, NULL, NULL,
                                instance, NULL);

    NOTIFYICONDATAA data;
    ZeroMemory(&data, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V3_SIZE;
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = LoadIconA(NULL, (LPCSTR) IDI_APPLICATION);
    lstrcpynA(data.szTip, "Baseline tray", sizeof data.szTip);
    Shell_NotifyIconA(NIM_ADD, &data);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0))
        DispatchMessageA(&message);
    return 0;
}
