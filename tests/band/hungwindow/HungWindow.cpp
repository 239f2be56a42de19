// hungwindow.exe: a program in front of the band, for the hotkey's tests. It makes a window,
// brings it to the foreground with the focus in it, says so through an event, and then either
// stops answering (waits for a second event without pumping: a hung program) or keeps pumping
// until that event. Its window's title turns "lost" when the window loses the focus, so that a
// test can see from outside whether the band joined its input and moved the focus away.
// Arguments: the names of the ready and release events, then "hang" or "pump".
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_KILLFOCUS) SetWindowTextA(window, "lost");
    return DefWindowProcA(window, msg, wParam, lParam);
}

void PumpPending()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4) return 2;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
    const bool hang = std::wstring(argv[3]) == L"hang";
    if (!ready || !release) return 3;

    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "KervoHungWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 4;
    // In front with the focus, the activation's messages handled, before the test is told.
    for (int i = 0; i < 200 && GetForegroundWindow() != window; ++i) {
        SetForegroundWindow(window);
        PumpPending();
        Sleep(10);
    }
    SetFocus(window);
    PumpPending();
    SetEvent(ready);
    if (hang) {
        WaitForSingleObject(release, INFINITE);
    } else {
        while (MsgWaitForMultipleObjects(1, &release, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) PumpPending();
    }
    return 0;
}
