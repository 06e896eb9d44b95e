// The tracker's shell on systems with SDL2: one borderless window the size of
// the desktop, the back buffer presented through a streaming texture (scaled
// up by whole numbers on dense screens), SDL's events translated into the
// core's key and mouse values, and the 16 ms tick handed to the main thread as
// a user event.
#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/lifecycle.h"
#include "app/profile.h"
#include "audio/asio_host.h"
#include "platform/audio_platform.h"
#include "platform/folder_chooser.h"
#include "platform/midi_platform.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_keys.h"
#include "ui/canvas.h"
#include "ui/keyboard.h"
#include "ui/midi_notes.h"
#include "ui/mouse.h"
#include "ui/screen.h"
#include "ui/shell_services.h"
#include "ui/skin_embed.h"

namespace zelmora {

namespace {

constexpr Uint32 kTickMilliseconds = 16;

// Everything the shell keeps for the run; main thread only, except where noted.
struct SdlShell {
    SDL_Cursor* cursors[3] = {};  // arrow, our own cursor, hourglass
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    int maxTextureSide = kMaxBackBufferSide;  // what the renderer can hold
    std::unique_ptr<Canvas> backBuffer;
    // The frame is composed at the client's pixels / scale and shown scale
    // times larger.
    int scale = 1;
    SDL_TimerID timer = 0;
    Uint32 tickEvent = 0;
    Uint32 midiEvent = 0;  // notes from a MIDI keyboard are waiting
    // Set by the timer's thread when it queues a tick, cleared when the main
    // thread takes it, so a busy main thread never finds a backlog of ticks.
    std::atomic<bool> tickQueued{false};
};

SdlShell g_shell;

void Report(const char* message) {
    std::fprintf(stderr, "zelmora: %s\n", message);
}

// -- cursors --

bool LoadCursors() {
    g_shell.cursors[0] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    CursorImage image = EmbeddedCursorImage();
    SDL_Surface* surface =
        image.width > 0 ? SDL_CreateRGBSurfaceWithFormatFrom(image.argb.data(), image.width, image.height, 32,
                                                             image.width * 4, SDL_PIXELFORMAT_ARGB8888)
                        : nullptr;
    if (surface) {
        g_shell.cursors[1] = SDL_CreateColorCursor(surface, image.hotX, image.hotY);
        SDL_FreeSurface(surface);
    }
    g_shell.cursors[2] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    // A system without cursor pictures keeps its own pointer; only the arrow is needed.
    if (!g_shell.cursors[1]) g_shell.cursors[1] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
    return g_shell.cursors[0] != nullptr;
}

void ReleaseCursors() {
    for (SDL_Cursor*& cursor : g_shell.cursors) {
        if (cursor) SDL_FreeCursor(cursor);
        cursor = nullptr;
    }
}

void SetCursorShape(CursorShape shape) {
    SDL_Cursor* cursor = g_shell.cursors[static_cast<int>(shape)];
    if (cursor) SDL_SetCursor(cursor);
}

void CaptureMouse(bool capture) {
    SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
}

// -- presenting --

// The client's size in real pixels (on a high-density display SDL's window
// size counts larger units).
void PixelSize(int& width, int& height) {
    if (!profile::kIntegerScaling || SDL_GetRendererOutputSize(g_shell.renderer, &width, &height) != 0)
        SDL_GetWindowSize(g_shell.window, &width, &height);
}

// The size the frame is composed at: the client's pixels / scale.
void ClientSize(int& width, int& height) {
    PixelSize(width, height);
    width /= g_shell.scale;
    height /= g_shell.scale;
}

// A point of a mouse event (window units) in the frame's pixels.
void FramePoint(int& x, int& y) {
    int windowW = 0, windowH = 0, pixelW = 0, pixelH = 0;
    SDL_GetWindowSize(g_shell.window, &windowW, &windowH);
    PixelSize(pixelW, pixelH);
    if (windowW > 0 && windowH > 0 && (windowW != pixelW || windowH != pixelH)) {
        x = static_cast<int>(static_cast<int64_t>(x) * pixelW / windowW);
        y = static_cast<int>(static_cast<int64_t>(y) * pixelH / windowH);
    }
    // Rounded toward minus infinity, so a point left of the window stays left of it.
    x = x >= 0 ? x / g_shell.scale : -((-x + g_shell.scale - 1) / g_shell.scale);
    y = y >= 0 ? y / g_shell.scale : -((-y + g_shell.scale - 1) / g_shell.scale);
}

// The streaming texture, as large as the back buffer.
bool MakeTexture() {
    const int w = g_shell.backBuffer->Width(), h = g_shell.backBuffer->Height();
    if (g_shell.texture && g_shell.textureWidth == w && g_shell.textureHeight == h) return true;
    if (g_shell.texture) SDL_DestroyTexture(g_shell.texture);
    g_shell.texture =
        SDL_CreateTexture(g_shell.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, w, h);
    if (!g_shell.texture) return false;
    SDL_SetTextureScaleMode(g_shell.texture, SDL_ScaleModeNearest);
    g_shell.textureWidth = w;
    g_shell.textureHeight = h;
    return true;
}

// The back buffer and its texture grow with the client (full build).
void FitFrame(int width, int height) {
    if (FitBackBuffer(g_shell.backBuffer, width, height, BuiltInSkin(), g_shell.maxTextureSide) &&
        !MakeTexture())
        Report(SDL_GetError());
}

// Copies the rectangle of the back buffer into the texture and shows the
// client's top-left part of it, scale times larger (what lies beyond the back
// buffer stays black).
void Present(const Rect& changed) {
    int width = 0, height = 0;
    ClientSize(width, height);
    const Canvas& back = *g_shell.backBuffer;
    const SDL_Rect visible{0, 0, SDL_min(width, back.Width()), SDL_min(height, back.Height())};
    SDL_Rect update{changed.x, changed.y, changed.w, changed.h};
    SDL_Rect clipped;
    if (g_shell.texture && SDL_IntersectRect(&update, &visible, &clipped)) {
        const uint32_t* pixels =
            back.Pixels() + static_cast<std::size_t>(clipped.y) * back.Width() + clipped.x;
        SDL_UpdateTexture(g_shell.texture, &clipped, pixels, back.Width() * 4);
    }
    const int n = g_shell.scale;
    const SDL_Rect shown{0, 0, visible.w * n, visible.h * n};
    SDL_SetRenderDrawColor(g_shell.renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_shell.renderer);
    if (g_shell.texture) SDL_RenderCopy(g_shell.renderer, g_shell.texture, &visible, &shown);
    SDL_RenderPresent(g_shell.renderer);
}

// A whole frame: every paint redraws everything.
void Paint(AppState& app) {
    int width = 0, height = 0;
    ClientSize(width, height);
    FitFrame(width, height);
    ComposeScreen(app, *g_shell.backBuffer, width, height);
    Present(Rect{0, 0, width, height});
}

// -- the window --

bool OpenWindow(AppState& app) {
    SDL_Rect area{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(0, &area) != 0 || area.w <= 0 || area.h <= 0) {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
        area = SDL_Rect{0, 0, mode.w, mode.h};
    }
    g_shell.window = SDL_CreateWindow(
        "Zelmora", area.x, area.y, SDL_max(area.w, kMinClientWidth), SDL_max(area.h, kMinClientHeight),
        (profile::kBorderlessWindow ? SDL_WINDOW_BORDERLESS : 0) | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN |
            (profile::kIntegerScaling ? SDL_WINDOW_ALLOW_HIGHDPI : 0));
    if (!g_shell.window) {
        Report(SDL_GetError());
        return false;
    }
    Shell().window = g_shell.window;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // The system's renderer, or SDL's own where that cannot hold the back buffer's texture.
    for (const Uint32 flags : {0u, static_cast<Uint32>(SDL_RENDERER_SOFTWARE)}) {
        g_shell.renderer = SDL_CreateRenderer(g_shell.window, -1, flags);
        if (!g_shell.renderer) continue;
        SDL_RendererInfo info{};
        g_shell.maxTextureSide = kMaxBackBufferSide;
        if (SDL_GetRendererInfo(g_shell.renderer, &info) == 0 && info.max_texture_width > 0 &&
            info.max_texture_height > 0)
            g_shell.maxTextureSide =
                SDL_min(kMaxBackBufferSide, SDL_min(info.max_texture_width, info.max_texture_height));
        // The scale follows the usable desktop in real pixels.
        int windowW = 0, windowH = 0, pixelW = 0, pixelH = 0;
        SDL_GetWindowSize(g_shell.window, &windowW, &windowH);
        PixelSize(pixelW, pixelH);
        const int usableW = windowW > 0 ? area.w * pixelW / windowW : area.w;
        const int usableH = windowH > 0 ? area.h * pixelH / windowH : area.h;
        g_shell.scale = ChooseScale(usableW, usableH, std::getenv("ZELMORA_SCALE"));
        g_shell.backBuffer.reset();
        FitBackBuffer(g_shell.backBuffer, usableW / g_shell.scale, usableH / g_shell.scale, BuiltInSkin(),
                      g_shell.maxTextureSide);
        if (MakeTexture()) break;
        SDL_DestroyRenderer(g_shell.renderer);
        g_shell.renderer = nullptr;
    }
    if (!g_shell.texture) {
        Report(SDL_GetError());
        return false;
    }
    // The smallest window holds the smallest frame at the scale (in window units).
    SDL_SetWindowMinimumSize(g_shell.window, kMinClientWidth * g_shell.scale,
                             kMinClientHeight * g_shell.scale);
    SDL_StopTextInput();  // the keyboard handlers read keys, not composed text
    SDL_SetCursor(g_shell.cursors[0]);
    SDL_ShowWindow(g_shell.window);
    SDL_MaximizeWindow(g_shell.window);
    Paint(app);
    return true;
}

void ReleaseWindow() {
    g_shell.backBuffer.reset();
    if (g_shell.texture) SDL_DestroyTexture(g_shell.texture);
    if (g_shell.renderer) SDL_DestroyRenderer(g_shell.renderer);
    Shell().window = nullptr;
    if (g_shell.window) SDL_DestroyWindow(g_shell.window);
    g_shell.texture = nullptr;
    g_shell.renderer = nullptr;
    g_shell.window = nullptr;
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

// -- the 16 ms tick --

// Timer thread: queues one tick event unless one is still waiting.
Uint32 QueueTick(Uint32 interval, void*) {
    if (!g_shell.tickQueued.exchange(true)) {
        SDL_Event event{};
        event.type = g_shell.tickEvent;
        if (SDL_PushEvent(&event) <= 0) g_shell.tickQueued = false;
    }
    return interval;
}

// -- MIDI keyboards --

// A MIDI input's thread: the main thread is to take the queued notes.
void WakeForMidi() {
    SDL_Event event{};
    event.type = g_shell.midiEvent;
    SDL_PushEvent(&event);
}

void OpenMidi() {
    if constexpr (profile::kMidiInput) {
        if (g_shell.midiEvent != 0) OpenMidiInputs(WakeForMidi);
    }
}

void TakeMidi(AppState& app) {
    if constexpr (profile::kMidiInput) {
        if (TakeMidiMessages(app, (SDL_GetModState() & KMOD_SHIFT) != 0)) app.redrawRequest.store(1);
    }
}

bool StartTick(AppState&) {
    g_shell.tickEvent = SDL_RegisterEvents(1);
    if (g_shell.tickEvent == static_cast<Uint32>(-1)) return false;
    g_shell.timer = SDL_AddTimer(kTickMilliseconds, QueueTick, nullptr);
    if constexpr (profile::kMidiInput) {
        g_shell.midiEvent = SDL_RegisterEvents(1);
        if (g_shell.midiEvent == static_cast<Uint32>(-1)) g_shell.midiEvent = 0;
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
    if (g_shell.timer) SDL_RemoveTimer(g_shell.timer);
    g_shell.timer = 0;
}

// Main thread: autorepeat, the meters (presented at once), then a whole frame
// when something asked for one.
void Tick(AppState& app) {
    g_shell.tickQueued = false;
    int width = 0, height = 0;
    ClientSize(width, height);
    TickAutorepeat(app);
    TakeMidi(app);  // also here, should a wake-up have been lost
    const Rect meters = DrawLiveMeters(app, *g_shell.backBuffer, width, height);
    if (TickFinish(app)) {
        Paint(app);
    } else if (meters.w > 0 && meters.h > 0) {
        Present(meters);
    }
}

// -- input --

KeyModifiers ModifiersOf(const SDL_KeyboardEvent& key) {
    return KeyModifiers{(key.keysym.mod & KMOD_SHIFT) != 0, (key.keysym.mod & KMOD_CTRL) != 0};
}

// Left 0, right 1; other buttons are not used.
int ButtonOf(Uint8 button) {
    if (button == SDL_BUTTON_LEFT) return 0;
    if (button == SDL_BUTTON_RIGHT) return 1;
    return -1;
}

// Returns false when the window is to close.
bool HandleEvent(AppState& app, const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            return false;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) Paint(app);
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) Present(Rect{});
            // The key releases go elsewhere now: the notes held are let go.
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) ReleaseHeldNotes(app);
            return true;
        case SDL_KEYDOWN: {
            const SDL_Keysym& key = event.key.keysym;
            // Keys with Alt belong to the system, as on Windows: Alt+F4 closes.
            if (key.mod & KMOD_ALT) return key.sym != SDLK_F4;
            const int virtualKey = VirtualKeyFromSdl(key.sym, key.scancode);
            if (virtualKey) KeyDown(app, virtualKey, event.key.repeat != 0, ModifiersOf(event.key));
            return true;
        }
        case SDL_KEYUP: {
            // Always delivered, so a note released while Alt is held stops sounding.
            const int virtualKey = VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode);
            if (virtualKey) KeyUp(app, virtualKey);
            return true;
        }
        case SDL_MOUSEBUTTONDOWN: {
            const int button = ButtonOf(event.button.button);
            // Clicks count on while they come quickly; as on Windows, the second
            // of each pair is the double-click.
            const bool doubleClick = event.button.clicks >= 2 && event.button.clicks % 2 == 0;
            int x = event.button.x, y = event.button.y;
            FramePoint(x, y);
            if (button >= 0) MouseDown(app, x, y, button, doubleClick);
            return true;
        }
        case SDL_MOUSEBUTTONUP: {
            const int button = ButtonOf(event.button.button);
            int x = event.button.x, y = event.button.y;
            FramePoint(x, y);
            if (button >= 0) MouseUp(app, x, y, button);
            return true;
        }
        case SDL_MOUSEMOTION: {
            int x = event.motion.x, y = event.motion.y;
            FramePoint(x, y);
            MouseMove(app, x, y);
            return true;
        }
        case SDL_MOUSEWHEEL: {
            if constexpr (!profile::kMouseWheel) return true;
            int notches = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
            if (notches == 0) return true;
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            FramePoint(x, y);
            MouseWheel(app, x, y, notches * 120);
            return true;
        }
        default:
            if (event.type == g_shell.tickEvent) Tick(app);
            if (g_shell.midiEvent != 0 && event.type == g_shell.midiEvent) TakeMidi(app);
            return true;
    }
}

int RunLoop(AppState& app) {
    SDL_Event event;
    while (SDL_WaitEvent(&event)) {
        if (!HandleEvent(app, event)) return 0;
    }
    Report(SDL_GetError());
    return 0;
}

std::string SettingsPath() {
    return SettingsFilePath();
}

// SDL falls back to an invisible display of its own when there is none; the
// tracker is of no use there unless that was asked for.
bool HaveDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver) return false;
    const bool invisible = std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    return !invisible || (asked && std::strcmp(asked, driver) == 0);
}

}  // namespace

}  // namespace zelmora

int main(int, char**) {
    using namespace zelmora;
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0 || !HaveDisplay()) {
        std::fprintf(
            stderr,
            "zelmora: no graphical display found (DISPLAY and WAYLAND_DISPLAY are not set or cannot be "
            "opened). Start Zelmora on a desktop.\n");
        SDL_Quit();
        return 1;
    }
    Shell().captureMouse = CaptureMouse;
    Shell().setCursor = SetCursorShape;
    Shell().chooseFolder = ChooseFolderPosix;

    ShellSteps steps;
    steps.loadCursors = LoadCursors;
    steps.settingsPath = SettingsPath;
    steps.autosaveFolder = AutosaveFolder;
    steps.beforeState = [] {
        // JACK, where a server runs, comes first: a musician who started one wants it.
        if constexpr (profile::kJackDriver) AddJackDriver();
        AddSdlAudioDrivers();
    };
    steps.openWindow = OpenWindow;
    steps.startAudio = StartAudioDriver;
    steps.startTick = StartTick;
    steps.runLoop = RunLoop;
    steps.stopTick = StopTick;
    steps.stopAudio = StopAudioDriver;
    steps.releaseWindow = ReleaseWindow;
    steps.releaseCursors = ReleaseCursors;
    steps.report = Report;
    const int code = RunProgram(steps, AppState::Options{});
    Shell() = ShellServices{};
    SDL_Quit();
    return code;
}
