// The tracker's shell on Windows: the one borderless window, its message
// routing, painting of the back buffer, and the 16 ms multimedia timer, whose
// ticks are posted to the window so that they run on the main thread.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/lifecycle.h"
#include "app/profile.h"
#include "audio/asio_host.h"
#include "platform/folder_chooser.h"
#include "platform/midi_platform.h"
#include "platform/platform.h"
#include "platform/win32/wasapi_driver.h"
#include "ui/canvas.h"
#include "ui/keyboard.h"
#include "ui/midi_notes.h"
#include "ui/mouse.h"
#include "ui/screen.h"
#include "ui/shell_services.h"

namespace zelmora {

namespace {

constexpr const char* kClassName = "ZelmoraMainWindow";
constexpr UINT kTickMilliseconds = 16;
constexpr UINT kTickMessage = WM_APP + 1;
constexpr UINT kMidiMessage = WM_APP + 2;  // notes from a MIDI keyboard are waiting
constexpr int kSkinResource = 101;
constexpr int kCursorResource = 102;

// Everything the shell keeps for the run; main thread only, except where noted.
struct Win32Shell {
    HINSTANCE instance = nullptr;
    HCURSOR cursors[3] = {};  // arrow, our own cursor, hourglass
    HWND window = nullptr;
    Skin skin;
    std::unique_ptr<Canvas> backBuffer;
    // The frame is composed at the client's pixels / scale and shown scale
    // times larger (the manifest declares per-monitor density awareness, so
    // client pixels are the screen's own).
    int scale = 1;
    UINT timer = 0;
    // Set by the timer's thread when it posts a tick, cleared when the window
    // takes it, so a busy main thread never finds a backlog of ticks.
    std::atomic<bool> tickQueued{false};
};

Win32Shell g_shell;

// -- cursors --

bool LoadCursors() {
    g_shell.cursors[0] = LoadCursorA(nullptr, IDC_ARROW);
    g_shell.cursors[1] = LoadCursorA(g_shell.instance, MAKEINTRESOURCEA(kCursorResource));
    if (!g_shell.cursors[1]) g_shell.cursors[1] = LoadCursorA(nullptr, IDC_HAND);
    g_shell.cursors[2] = LoadCursorA(nullptr, IDC_WAIT);
    return g_shell.cursors[0] != nullptr;
}

// SANITY: the cursors are let go, not destroyed: LoadCursor hands out shared
// cursors, and destroying a shared cursor is an error of the caller.
void ReleaseCursors() {
    for (HCURSOR& cursor : g_shell.cursors) cursor = nullptr;
}

void SetCursorShape(CursorShape shape) {
    const HCURSOR cursor = g_shell.cursors[static_cast<int>(shape)];
    if (cursor) SetCursor(cursor);
}

void CaptureMouse(bool capture) {
    if (capture) {
        SetCapture(g_shell.window);
    } else {
        ReleaseCapture();
    }
}

// -- presenting --

// The size the frame is composed at: the client's pixels / scale.
void ClientSize(int& width, int& height) {
    RECT client{};
    GetClientRect(g_shell.window, &client);
    width = (client.right - client.left) / g_shell.scale;
    height = (client.bottom - client.top) / g_shell.scale;
}

// Copies a rectangle of the back buffer to the same place in the window,
// scale times larger. The rows are handed over as a top-down picture of
// exactly their height, so the source origin means the same whichever way the
// system counts rows.
void CopyToWindow(HDC dc, Rect r) {
    const Canvas& back = *g_shell.backBuffer;
    const int right = r.x + r.w < back.Width() ? r.x + r.w : back.Width();
    const int bottom = r.y + r.h < back.Height() ? r.y + r.h : back.Height();
    if (r.x < 0) r.x = 0;
    if (r.y < 0) r.y = 0;
    if (right <= r.x || bottom <= r.y) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = back.Width();
    info.bmiHeader.biHeight = -(bottom - r.y);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const uint32_t* rows = back.Pixels() + static_cast<std::size_t>(r.y) * back.Width();
    const int n = g_shell.scale;
    if (n == 1) {
        SetDIBitsToDevice(dc, r.x, r.y, static_cast<DWORD>(right - r.x), static_cast<DWORD>(bottom - r.y),
                          r.x, 0, 0, static_cast<UINT>(bottom - r.y), rows, &info, DIB_RGB_COLORS);
        return;
    }
    // Whole pixels, no smoothing: each becomes an n x n block.
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, r.x * n, r.y * n, (right - r.x) * n, (bottom - r.y) * n, r.x, 0, right - r.x,
                  bottom - r.y, rows, &info, DIB_RGB_COLORS, SRCCOPY);
}

void Paint(AppState& app) {
    int width = 0, height = 0;
    ClientSize(width, height);
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(g_shell.window, &paint);
    FitBackBuffer(g_shell.backBuffer, width, height, g_shell.skin);
    ComposeScreen(app, *g_shell.backBuffer, width, height);
    CopyToWindow(dc, Rect{0, 0, width, height});
    EndPaint(g_shell.window, &paint);
}

// -- MIDI keyboards --

// The MIDI thread: the main thread is to take the queued notes.
void WakeForMidi() { PostMessageA(g_shell.window, kMidiMessage, 0, 0); }

void OpenMidi() {
    if constexpr (profile::kMidiInput) OpenMidiInputs(WakeForMidi);
}

void TakeMidi(AppState& app) {
    if constexpr (profile::kMidiInput) {
        if (TakeMidiMessages(app, GetKeyState(VK_SHIFT) < 0)) InvalidateRect(g_shell.window, nullptr, FALSE);
    }
}

// -- the tick --

// The multimedia timer's thread: posts one tick unless one is still waiting.
void CALLBACK PostTick(UINT, UINT, DWORD_PTR window, DWORD_PTR, DWORD_PTR) {
    if (!g_shell.tickQueued.exchange(true)) {
        if (!PostMessageA(reinterpret_cast<HWND>(window), kTickMessage, 0, 0)) g_shell.tickQueued = false;
    }
}

// Main thread: autorepeat, the meters straight onto the window, then a repaint
// when something asked for one.
void Tick(AppState& app) {
    g_shell.tickQueued = false;
    int width = 0, height = 0;
    ClientSize(width, height);
    TickAutorepeat(app);
    TakeMidi(app);  // also here, should a wake-up have been lost
    const Rect meters = DrawLiveMeters(app, *g_shell.backBuffer, width, height);
    if (meters.w > 0 && meters.h > 0) {
        const HDC dc = GetDC(g_shell.window);
        CopyToWindow(dc, meters);
        ReleaseDC(g_shell.window, dc);
    }
    if (TickFinish(app)) InvalidateRect(g_shell.window, nullptr, FALSE);
}

bool StartTick(AppState&) {
    g_shell.timer = timeSetEvent(kTickMilliseconds, 0, PostTick, reinterpret_cast<DWORD_PTR>(g_shell.window),
                                 TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    if constexpr (profile::kMidiInput) {
        OpenMidi();
        Shell().reopenMidi = OpenMidi;
    }
    return g_shell.timer != 0;
}

void StopTick() {
    if constexpr (profile::kMidiInput) {
        Shell().reopenMidi = nullptr;
        CloseMidiInputs();
    }
    if (g_shell.timer) timeKillEvent(g_shell.timer);
    g_shell.timer = 0;
}

// -- the window procedure --

// The mouse handlers take the cursor's position in the frame's pixels (client
// pixels / scale), asked of the system.
POINT CursorInClient() {
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(g_shell.window, &point);
    // Rounded toward minus infinity, so a point left of the window stays left of it.
    const LONG n = g_shell.scale;
    point.x = point.x >= 0 ? point.x / n : -((-point.x + n - 1) / n);
    point.y = point.y >= 0 ? point.y / n : -((-point.y + n - 1) / n);
    return point;
}

void Press(AppState& app, int button, bool doubleClick) {
    const POINT p = CursorInClient();
    MouseDown(app, p.x, p.y, button, doubleClick);
}

void Release(AppState& app, int button) {
    const POINT p = CursorInClient();
    MouseUp(app, p.x, p.y, button);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AppState* app = AppState::instance;
    if (message == WM_GETMINMAXINFO) {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize.x = kMinClientWidth * g_shell.scale;
        limits->ptMinTrackSize.y = kMinClientHeight * g_shell.scale;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    if (!app || !g_shell.backBuffer) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
        case WM_PAINT:
            Paint(*app);
            return 0;
        case WM_LBUTTONDOWN:
            Press(*app, 0, false);
            return 0;
        case WM_RBUTTONDOWN:
            Press(*app, 1, false);
            return 0;
        case WM_LBUTTONDBLCLK:
            Press(*app, 0, true);
            return 0;
        case WM_RBUTTONDBLCLK:
            Press(*app, 1, true);
            return 0;
        case WM_LBUTTONUP:
            Release(*app, 0);
            return 0;
        case WM_RBUTTONUP:
            Release(*app, 1);
            return 0;
        case WM_MOUSEMOVE: {
            const POINT p = CursorInClient();
            MouseMove(*app, p.x, p.y);
            return 0;
        }
        case WM_MOUSEWHEEL: {
            if constexpr (!profile::kMouseWheel) return DefWindowProcA(window, message, wParam, lParam);
            const POINT p = CursorInClient();
            MouseWheel(*app, p.x, p.y, static_cast<short>(HIWORD(wParam)));
            return 0;
        }
        case WM_KEYDOWN: {
            const bool repeat = (lParam & (1L << 30)) != 0;
            const KeyModifiers modifiers{GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0};
            KeyDown(*app, static_cast<int>(wParam), repeat, modifiers);
            return 0;
        }
        case WM_KEYUP:
            KeyUp(*app, static_cast<int>(wParam));
            return 0;
        case WM_KILLFOCUS:
            // The key releases go elsewhere now: the notes held are let go.
            ReleaseHeldNotes(*app);
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_ACTIVATEAPP:
            if (!wParam) ReleaseHeldNotes(*app);
            return DefWindowProcA(window, message, wParam, lParam);
        case kTickMessage:
            Tick(*app);
            return 0;
        case kMidiMessage:
            TakeMidi(*app);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// -- creating and releasing the window --

// The skin picture from bitmap resource 101 (a BMP without its file header).
bool LoadSkin() {
    const HRSRC found = FindResourceA(g_shell.instance, MAKEINTRESOURCEA(kSkinResource), MAKEINTRESOURCEA(2));
    const HGLOBAL loaded = found ? LoadResource(g_shell.instance, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return false;
    return DecodeBmp(static_cast<const uint8_t*>(bytes), SizeofResource(g_shell.instance, found),
                     g_shell.skin);
}

bool OpenWindow(AppState& app) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = g_shell.instance;
    windowClass.hCursor = g_shell.cursors[0];
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExA(&windowClass)) return false;
    if (!LoadSkin()) return false;
    // The scale follows the usable desktop (the work area, in real pixels);
    // the back buffer starts at the desktop's size and grows if the window does.
    RECT desktop{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
    const int desktopW = desktop.right - desktop.left, desktopH = desktop.bottom - desktop.top;
    g_shell.scale = ChooseScale(desktopW, desktopH, std::getenv("ZELMORA_SCALE"));
    FitBackBuffer(g_shell.backBuffer, desktopW / g_shell.scale, desktopH / g_shell.scale, g_shell.skin);
    const DWORD style = profile::kBorderlessWindow ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    g_shell.window = CreateWindowExA(0, kClassName, "Zelmora", style, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                     nullptr, nullptr, g_shell.instance, nullptr);
    if (!g_shell.window) return false;
    Shell().window = g_shell.window;
    (void)app;  // the window procedure reaches the state through the published pointer
    ShowWindow(g_shell.window, SW_SHOWMAXIMIZED);
    UpdateWindow(g_shell.window);
    return true;
}

void ReleaseWindow() {
    Shell().window = nullptr;
    if (g_shell.window && IsWindow(g_shell.window)) DestroyWindow(g_shell.window);
    g_shell.window = nullptr;
    g_shell.backBuffer.reset();
    g_shell.skin = Skin{};
    UnregisterClassA(kClassName, g_shell.instance);
}

// -- audio, with the hourglass while the driver starts or stops --

void StartAudioDriver(AppState& app) {
    SetCursorShape(CursorShape::kHourglass);
    StartAudio(app, g_shell.window);
    SetCursorShape(CursorShape::kArrow);
}

void StopAudioDriver(AppState& app) {
    SetCursorShape(CursorShape::kHourglass);
    StopAudio(app);
    SetCursorShape(CursorShape::kArrow);
}

int RunLoop(AppState&) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

std::string SettingsPath() {
    return SettingsFilePath();
}

}  // namespace

}  // namespace zelmora

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace zelmora;
    g_shell.instance = instance;
    Shell().captureMouse = CaptureMouse;
    Shell().setCursor = SetCursorShape;
    Shell().chooseFolder = ChooseFolderWin32;

    ShellSteps steps;
    steps.loadCursors = LoadCursors;
    steps.settingsPath = SettingsPath;
    steps.autosaveFolder = AutosaveFolder;
    // Machines without an ASIO driver play through the system's outputs.
    if constexpr (profile::kWasapiDriver) steps.beforeState = [] { AddWasapiDrivers(); };
    steps.openWindow = OpenWindow;
    steps.startAudio = StartAudioDriver;
    steps.startTick = StartTick;
    steps.runLoop = RunLoop;
    steps.stopTick = StopTick;
    steps.stopAudio = StopAudioDriver;
    steps.releaseWindow = ReleaseWindow;
    steps.releaseCursors = ReleaseCursors;
    const int code = RunProgram(steps, AppState::Options{});
    Shell() = ShellServices{};
    return code;
}
