// Mouse handling. Every control of the screen is one row of the region table
// below: its rectangle, the page it belongs to, how it acts (at the press,
// repeated while held, dragged, or at the release) and its action. The press
// test, the cursor shape and the autorepeat all read that one table.
#include "ui/mouse.h"

#include <algorithm>
#include <cstdint>

#include "app/app_state.h"
#include "app/profile.h"
#include "audio/asio_host.h"
#include "engine/transport.h"
#include "formats/importers.h"
#include "ui/browser.h"
#include "ui/keyboard.h"
#include "ui/shell_services.h"

namespace zelmora {

namespace {

constexpr int kAnyPage = -1;
constexpr int kSetupPage = 0, kBrowserPage = 1, kInstrumentPage = 2, kMasterPage = 5;
constexpr int kToolbarPages = profile::kAllPages ? 6 : 2;  // Setup and Browser come first
constexpr int kBrowserRows = 18;
constexpr int kRowHeight = 12;

enum class Kind {
    kClick,    // acts at the press (an id, when it has one, only shows it pressed)
    kRepeat,   // acts at the press and again from the 16th tick while held
    kDrag,     // follows the vertical movement while held, one unit per pixel
    kRelease,  // acts when the button goes up
};

// What an action is told: the control's id, the point, the button, whether
// the press was a double click, and the vertical movement of a drag.
struct Event {
    int id = 0;
    int x = 0, y = 0;
    int button = 0;
    bool doubleClick = false;
    int dy = 0;
};

using Action = void (*)(AppState&, const Event&);
using Covers = bool (*)(const AppState&, int x, int y);

struct Region {
    int page;              // kAnyPage, or the page that shows it
    int x, y, w, h;        // client pixels; a fader's y is moved by its band gain
    int cellW, cellH;      // a grid of ids, id = firstId + row * columns + column
    int columns;
    int firstId;           // 0 for regions that are never held
    Kind kind;
    Action action;
    Covers covers = nullptr;  // a narrower test inside the rectangle, for the cursor
    int faderBand = -1;       // the equaliser band whose gain moves the rectangle
};

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

template <typename T>
void Set(T& field, int value, int lo, int hi) {
    field = static_cast<T>(Clamp(value, lo, hi));
}

// -- the order list --------------------------------------------------------

int LastOrder(const AppState& app) { return app.song.lastOrder; }

void MovePosition(AppState& app, int by) {
    Set(app.song.orderPosition, app.song.orderPosition + by, 0, LastOrder(app));
}

void MovePattern(AppState& app, int order, int by) {
    Set(app.song.orders[order], app.song.orders[order] + by, 0, 255);
}

// The last order never goes below the position or the restart order.
void MoveLastOrder(AppState& app, int by) {
    const int lowest = std::max<int>(app.song.restartOrder, app.song.orderPosition);
    Set(app.song.lastOrder, app.song.lastOrder + by, lowest, 255);
}

void MoveRestart(AppState& app, int by) {
    Set(app.song.restartOrder, app.song.restartOrder + by, 0, LastOrder(app));
}

void InsertOrder(AppState& app) {
    Song& s = app.song;
    if (s.lastOrder >= 255) return;
    ++s.lastOrder;
    for (int i = s.lastOrder; i > s.orderPosition; --i) s.orders[i] = s.orders[i - 1];
}

void DeleteOrder(AppState& app) {
    Song& s = app.song;
    if (s.orderPosition >= s.lastOrder) return;
    for (int i = s.orderPosition; i < s.lastOrder; ++i) s.orders[i] = s.orders[i + 1];
    --s.lastOrder;
    if (s.restartOrder > s.lastOrder) s.restartOrder = s.lastOrder;
}

void FillOrders(AppState& app) {
    for (int i = 0; i <= app.song.lastOrder; ++i) app.song.orders[i] = static_cast<uint8_t>(i);
}

void PlaylistArrow(AppState& app, const Event& e) {
    const int step = (e.id - 1) % 2 == 0 ? 1 : -1;
    switch ((e.id - 1) / 2) {
        case 0: MovePosition(app, step); break;
        case 1: MovePattern(app, app.song.orderPosition, step); break;
        case 2: MoveLastOrder(app, step); break;
        default: MoveRestart(app, step); break;
    }
}

void PlaylistField(AppState& app, const Event& e) {
    switch (e.id) {
        case 16: MovePosition(app, e.dy); break;
        case 17: MovePattern(app, app.song.orderPosition, -e.dy); break;
        case 18: MoveLastOrder(app, -e.dy); break;
        default: MoveRestart(app, -e.dy); break;
    }
}

void OrderUp(AppState& app, const Event&) { MovePosition(app, -1); }
void OrderDown(AppState& app, const Event&) { MovePosition(app, 1); }
void OrderBar(AppState& app, const Event& e) { MovePosition(app, e.dy); }
void InsertButton(AppState& app, const Event&) { InsertOrder(app); }
void DeleteButton(AppState& app, const Event&) { DeleteOrder(app); }
void FillButton(AppState& app, const Event&) { FillOrders(app); }
void SmallArrow(AppState& app, const Event& e) {
    MovePattern(app, app.song.orderPosition, e.id == 14 ? 1 : -1);
}

// The order shown in row (y - 84) / 12 of the nine rows around the position;
// -1 when that order does not exist.
int OrderAtRow(const AppState& app, int y) {
    const int order = app.song.orderPosition - 4 + (y - 84) / kRowHeight;
    return order >= 0 && order <= LastOrder(app) ? order : -1;
}

bool OverOrderRow(const AppState& app, int, int y) { return OrderAtRow(app, y) >= 0; }

void OrderRow(AppState& app, const Event& e) {
    const int order = OrderAtRow(app, e.y);
    if (order < 0) return;
    const int sign = e.button == 1 ? -1 : 1;
    if (e.x < 49)
        app.song.orderPosition = static_cast<uint8_t>(order);
    else if (e.x < 59)
        MovePattern(app, order, 16 * sign);
    else
        MovePattern(app, order, sign);
}

// -- the sequencer panel -----------------------------------------------------

struct SongValue {
    uint8_t Song::*field;
    int lo, hi;
};
constexpr SongValue kSongValues[4] = {
    {&Song::tempo, 32, 255}, {&Song::speed, 1, 31}, {&Song::trackCount, 1, 32}, {&Song::editStep, 0, 16}};

void StepSongValue(AppState& app, int which, int by) {
    const SongValue& v = kSongValues[which];
    Set(app.song.*v.field, app.song.*v.field + by, v.lo, v.hi);
}

void SequencerField(AppState& app, const Event& e) { StepSongValue(app, e.id - 32, -e.dy); }
void SequencerArrow(AppState& app, const Event& e) {
    StepSongValue(app, (e.id - 36) / 2, (e.id - 36) % 2 == 0 ? 1 : -1);
}

void TransportButton(AppState& app, const Event& e) {
    switch (e.id) {
        case 44: PlayTransport(app, false, true); break;
        case 45: PlayTransport(app, true, true); break;
        case 46: StopPlayer(app); break;
        default: PlayTransport(app, false, false); break;
    }
}

// -- the instrument and region lists -----------------------------------------

constexpr int kTopInstrument = 244, kTopSample = 248;

void InstrumentUp(AppState& app, const Event&) {
    Set(app.firstShownInstrument, app.firstShownInstrument - 1, 1, kTopInstrument);
}
void InstrumentDown(AppState& app, const Event&) {
    Set(app.firstShownInstrument, app.firstShownInstrument + 1, 1, kTopInstrument);
}
void InstrumentBar(AppState& app, const Event& e) {
    Set(app.firstShownInstrument, app.firstShownInstrument + e.dy, 1, kTopInstrument);
}
void SampleUp(AppState& app, const Event&) {
    Set(app.firstShownSample, app.firstShownSample - 1, 0, kTopSample);
}
void SampleDown(AppState& app, const Event&) {
    Set(app.firstShownSample, app.firstShownSample + 1, 0, kTopSample);
}
void SampleBar(AppState& app, const Event& e) {
    Set(app.firstShownSample, app.firstShownSample + e.dy, 0, kTopSample);
}

void InstrumentRow(AppState& app, const Event& e) {
    const int row = (e.y - 16) / kRowHeight;
    // SANITY: the first shown instrument is kept within the list, so a row
    // never names an instrument past the last.
    app.currentInstrument = Clamp(app.firstShownInstrument + row, 0, kMaxInstruments - 1);
    if (e.doubleClick)
        OpenTextField(app, app.song.instruments[app.currentInstrument].name, 243, 18 + kRowHeight * row, 22);
}

void SampleRow(AppState& app, const Event& e) {
    const int row = (e.y - 176) / kRowHeight;
    app.currentSample = Clamp(app.firstShownSample + row, 0, kMaxSampleSlots - 1);
    if (e.doubleClick) {
        const int instrument = Clamp(app.currentInstrument, 0, kMaxInstruments - 1);
        OpenTextField(app, app.song.instruments[instrument].samples[app.currentSample].name, 243,
                      178 + kRowHeight * row, 22);
    }
}

void Toolbar(AppState& app, const Event& e) { app.screenPage = (e.y - 16) / 16; }

// -- the Setup page ----------------------------------------------------------

void Driver(AppState& app, const Event& e) {
    ShellSetCursor(CursorShape::kHourglass);
    SelectDriver(app, Shell().window, e.id == 128 ? 1 : -1);
}

void Routing(AppState& app, const Event& e) {
    const int step = (e.id - 130) % 2 == 0 ? 1 : -1;
    switch ((e.id - 130) / 2) {
        case 0: StepInputLeft(app, step); break;
        case 1: StepInputRight(app, step); break;
        case 2: StepOutputLeft(app, step); break;
        default: StepOutputRight(app, step); break;
    }
}

void Rate(AppState& app, const Event& e) {
    ShellSetCursor(CursorShape::kHourglass);
    StepSampleRate(app, Shell().window, e.id == 138 ? 1 : -1);
}

void ControlPanel(AppState& app, const Event&) { OpenDriverControlPanel(app); }

void Restart(AppState& app, const Event&) {
    ShellSetCursor(CursorShape::kHourglass);
    RestartAudio(app, Shell().window);
    // The restart also looks for MIDI keyboards plugged in since the start.
    if constexpr (profile::kMidiInput) {
        if (Shell().reopenMidi) Shell().reopenMidi();
    }
}

// -- the Browser page ---------------------------------------------------------

void ScrollBrowser(AppState& app, int by) {
    if (app.browserCount <= kBrowserRows) return;
    app.browserScroll = Clamp(app.browserScroll + by, 0, app.browserCount - kBrowserRows);
}

void BrowserChoose(AppState& app, const Event&) { ChooseFolder(app); }
void BrowserParent(AppState& app, const Event&) { ParentFolder(app); }
void BrowserUp(AppState& app, const Event&) { ScrollBrowser(app, -1); }
void BrowserDown(AppState& app, const Event&) { ScrollBrowser(app, 1); }
void BrowserBar(AppState& app, const Event& e) { ScrollBrowser(app, e.dy); }
void BrowserRefresh(AppState& app, const Event&) { ListFolder(app); }

int BrowserEntryAt(const AppState& app, int y) {
    const int index = app.browserScroll + (y - 36) / kRowHeight;
    return index < app.browserCount ? index : -1;
}

bool OverBrowserEntry(const AppState& app, int, int y) { return BrowserEntryAt(app, y) >= 0; }

void BrowserRow(AppState& app, const Event& e) {
    const int index = BrowserEntryAt(app, e.y);
    if (index < 0) return;
    app.browserSelection = index;
    if (e.doubleClick) OpenBrowserEntry(app, index);
}

void SongName(AppState& app, const Event&) { OpenTextField(app, app.song.name, 565, 260, 32); }

void Save(AppState& app, const Event&) {
    if constexpr (!profile::kOwnModuleFormat) return;
    ShellSetCursor(CursorShape::kHourglass);
    SaveModule(app);
    // Every attempt lists the folder again, so a new file shows at once.
    ListFolder(app);
}

// -- the Instrument editor and Master pages ----------------------------------

void EnvelopeTab(AppState& app, const Event& e) { app.envelopeTab = Clamp((e.x - 763) / 87, 0, 2); }

void EqSwitch(AppState& app, const Event&) {
    if constexpr (!profile::kMasterSection) return;
    app.song.eqOn = app.song.eqOn ? 0 : 1;
}

void Fader(AppState& app, const Event& e) {
    if constexpr (!profile::kMasterSection) return;
    const int band = e.id - 284;
    Set(app.song.eqGains[band], app.song.eqGains[band] - e.dy, -32, 32);
}

constexpr Region FaderRegion(int band) {
    return {kMasterPage, 530 + 21 * band, 60, 15, 32, 15, 32, 1, 284 + band, Kind::kDrag, Fader, nullptr,
            band};
}

// The regions in the order they are tested; where several hold the point,
// the last one that sets the pressed control wins.
constexpr Region kRegions[] = {
    // Playlist panel.
    {kAnyPage, 88, 16, 32, 64, 16, 16, 2, 1, Kind::kRepeat, PlaylistArrow},
    {kAnyPage, 8, 84, 16, 12, 16, 12, 1, 9, Kind::kRepeat, OrderUp},
    {kAnyPage, 8, 180, 16, 12, 16, 12, 1, 10, Kind::kRepeat, OrderDown},
    {kAnyPage, 8, 96, 16, 84, 16, 84, 1, 11, Kind::kDrag, OrderBar},
    {kAnyPage, 28, 84, 42, 108, 42, 108, 1, 0, Kind::kClick, OrderRow, OverOrderRow},
    {kAnyPage, 156, 116, 32, 16, 32, 16, 1, 12, Kind::kRepeat, InsertButton},
    {kAnyPage, 156, 144, 32, 16, 32, 16, 1, 13, Kind::kRepeat, DeleteButton},
    {kAnyPage, 156, 132, 32, 12, 16, 12, 2, 14, Kind::kRepeat, SmallArrow},
    {kAnyPage, 67, 16, 21, 64, 21, 16, 1, 16, Kind::kDrag, PlaylistField},
    {kAnyPage, 156, 160, 32, 16, 32, 16, 1, 20, Kind::kRepeat, FillButton},
    // Sequencer panel.
    {kAnyPage, 53, 208, 35, 64, 35, 16, 1, 32, Kind::kDrag, SequencerField},
    {kAnyPage, 88, 208, 32, 64, 16, 16, 2, 36, Kind::kRepeat, SequencerArrow},
    {kAnyPage, 122, 210, 32, 30, 32, 30, 1, 44, Kind::kClick, TransportButton},
    {kAnyPage, 154, 210, 32, 30, 32, 30, 1, 45, Kind::kClick, TransportButton},
    {kAnyPage, 122, 240, 32, 30, 32, 30, 1, 46, Kind::kClick, TransportButton},
    {kAnyPage, 154, 240, 32, 30, 32, 30, 1, 47, Kind::kClick, TransportButton},
    // Instrument and region lists.
    {kAnyPage, 196, 16, 16, 12, 16, 12, 1, 64, Kind::kRepeat, InstrumentUp},
    {kAnyPage, 196, 148, 16, 12, 16, 12, 1, 65, Kind::kRepeat, InstrumentDown},
    {kAnyPage, 196, 28, 16, 120, 16, 120, 1, 66, Kind::kDrag, InstrumentBar},
    {kAnyPage, 216, 16, 210, 144, 210, 144, 1, 0, Kind::kClick, InstrumentRow},
    {kAnyPage, 196, 176, 16, 12, 16, 12, 1, 67, Kind::kRepeat, SampleUp},
    {kAnyPage, 196, 260, 16, 12, 16, 12, 1, 68, Kind::kRepeat, SampleDown},
    {kAnyPage, 196, 188, 16, 72, 16, 72, 1, 69, Kind::kDrag, SampleBar},
    {kAnyPage, 216, 176, 210, 96, 210, 96, 1, 0, Kind::kClick, SampleRow},
    // Page toolbar: six buttons; the earlier skin holds only the Setup and
    // Browser pages, so its toolbar offers those two and the rest do nothing.
    {kAnyPage, 434, 16, 60, 16 * kToolbarPages, 60, 16 * kToolbarPages, 1, 0, Kind::kClick, Toolbar},
    // Setup page.
    {kSetupPage, 813, 16, 32, 16, 16, 16, 2, 128, Kind::kRelease, Driver},
    {kSetupPage, 813, 32, 32, 64, 16, 16, 2, 130, Kind::kRepeat, Routing},
    {kSetupPage, 992, 16, 32, 16, 16, 16, 2, 138, Kind::kRelease, Rate},
    {kSetupPage, 851, 50, 108, 44, 108, 44, 1, 140, Kind::kRelease, ControlPanel},
    {kSetupPage, 959, 50, 63, 44, 63, 44, 1, 141, Kind::kRelease, Restart},
    // Browser page.
    {kBrowserPage, 992, 16, 16, 16, 16, 16, 1, 160, Kind::kRelease, BrowserChoose},
    {kBrowserPage, 545, 16, 16, 16, 16, 16, 1, 161, Kind::kRelease, BrowserParent},
    {kBrowserPage, 502, 36, 16, 12, 16, 12, 1, 162, Kind::kRepeat, BrowserUp},
    {kBrowserPage, 502, 240, 16, 12, 16, 12, 1, 163, Kind::kRepeat, BrowserDown},
    {kBrowserPage, 502, 48, 16, 192, 16, 192, 1, 164, Kind::kDrag, BrowserBar},
    {kBrowserPage, 522, 36, 498, 216, 498, 216, 1, 0, Kind::kClick, BrowserRow, OverBrowserEntry},
    {kBrowserPage, 561, 256, 231, 16, 231, 16, 1, 0, Kind::kClick, SongName},
    {kBrowserPage, 792, 256, 36, 16, 36, 16, 1, 165, Kind::kRelease, Save},
    {kBrowserPage, 1008, 16, 16, 16, 16, 16, 1, 166, Kind::kRelease, BrowserRefresh},
    // Instrument editor page.
    {kInstrumentPage, 763, 16, 261, 16, 261, 16, 1, 0, Kind::kClick, EnvelopeTab},
    // Master page.
    {kMasterPage, 857, 3, 10, 10, 10, 10, 1, 0, Kind::kClick, EqSwitch},
    FaderRegion(0), FaderRegion(1), FaderRegion(2), FaderRegion(3), FaderRegion(4),
    FaderRegion(5), FaderRegion(6), FaderRegion(7), FaderRegion(8), FaderRegion(9),
    FaderRegion(10), FaderRegion(11), FaderRegion(12), FaderRegion(13), FaderRegion(14),
};

int RegionTop(const AppState& app, const Region& r) {
    return r.faderBand >= 0 ? r.y - app.song.eqGains[r.faderBand] : r.y;
}

bool Shown(const AppState& app, const Region& r) { return r.page == kAnyPage || r.page == app.screenPage; }

bool Contains(const AppState& app, const Region& r, int x, int y) {
    const int top = RegionTop(app, r);
    return x >= r.x && x < r.x + r.w && y >= top && y < top + r.h;
}

// The id of the grid cell under the point, 0 for regions without ids.
int IdAt(const AppState& app, const Region& r, int x, int y) {
    if (r.firstId == 0) return 0;
    return r.firstId + ((y - RegionTop(app, r)) / r.cellH) * r.columns + (x - r.x) / r.cellW;
}

// The row that owns a control id, null for none.
const Region* RegionOf(int id) {
    if (id <= 0) return nullptr;
    for (const Region& r : kRegions) {
        const int count = (r.w / r.cellW) * (r.h / r.cellH);
        if (r.firstId != 0 && id >= r.firstId && id < r.firstId + count) return &r;
    }
    return nullptr;
}

void SetCursorFor(const AppState& app, int x, int y) {
    ShellSetCursor(OverControl(app, x, y) ? CursorShape::kControl : CursorShape::kArrow);
}

void RequestRedraw(AppState& app) { app.redrawRequest.store(1, std::memory_order_relaxed); }

}  // namespace

bool OverControl(const AppState& app, int x, int y) {
    for (const Region& r : kRegions)
        if (Shown(app, r) && Contains(app, r, x, y) && (!r.covers || r.covers(app, x, y))) return true;
    return false;
}

void MouseDown(AppState& app, int x, int y, int button, bool doubleClick) {
    ShellCaptureMouse(true);
    app.mouseX = x;
    app.mouseY = y;
    app.pressedControl = 0;
    app.repeatCounter = 0;
    CloseTextField(app);

    for (const Region& r : kRegions) {
        // The page is read per row: a toolbar click counts for the rows after it.
        if (!Shown(app, r) || !Contains(app, r, x, y)) continue;
        Event e;
        e.id = IdAt(app, r, x, y);
        e.x = x;
        e.y = y;
        e.button = button;
        e.doubleClick = doubleClick;
        if (e.id != 0) app.pressedControl = e.id;
        if (r.kind == Kind::kClick) r.action(app, e);
    }

    SetCursorFor(app, x, y);
    PerformControlAction(app, app.pressedControl);
    RequestRedraw(app);
}

void MouseMove(AppState& app, int x, int y) {
    const int dy = y - app.mouseY;
    app.mouseX = x;
    app.mouseY = y;
    if (const Region* r = RegionOf(app.pressedControl); r && r->kind == Kind::kDrag && dy != 0) {
        Event e;
        e.id = app.pressedControl;
        e.x = x;
        e.y = y;
        e.dy = dy;
        r->action(app, e);
    }
    SetCursorFor(app, x, y);
    if (app.pressedControl != 0) RequestRedraw(app);
}

void MouseUp(AppState& app, int x, int y, int button) {
    ShellCaptureMouse(false);
    app.mouseX = x;
    app.mouseY = y;
    const int held = app.pressedControl;
    if (const Region* r = RegionOf(held); r && r->kind == Kind::kRelease) {
        app.pressedControl = 0;
        Event e;
        e.id = held;
        e.x = x;
        e.y = y;
        e.button = button;
        r->action(app, e);
    }
    SetCursorFor(app, x, y);
    app.pressedControl = 0;
    app.repeatCounter = 0;
    RequestRedraw(app);
}

void MouseWheel(AppState& app, int x, int y, int delta) {
    app.mouseX = x;
    app.mouseY = y;
    const int n = delta / 120;
    auto inside = [x, y](int rx, int ry, int rw, int rh) {
        return x >= rx && x < rx + rw && y >= ry && y < ry + rh;
    };
    if (inside(4, 84, 128, 108)) MovePosition(app, -n);
    // The wheel alone reaches instrument 0 at the top of the list.
    if (inside(192, 16, 238, 144))
        Set(app.firstShownInstrument, app.firstShownInstrument - n, 0, kTopInstrument);
    if (inside(192, 176, 238, 96)) Set(app.firstShownSample, app.firstShownSample - n, 0, kTopSample);
    if (inside(498, 36, 526, 216) && app.screenPage == kBrowserPage) ScrollBrowser(app, -n);
    if (y >= 340) {
        const Pattern& pattern = app.song.patterns[app.song.orders[app.song.orderPosition]];
        app.transport.row = Clamp(app.transport.row - n, 0, pattern.lastRow);
    }
    RequestRedraw(app);
}

void PerformControlAction(AppState& app, int id) {
    const Region* r = RegionOf(id);
    if (!r || r->kind != Kind::kRepeat) return;
    Event e;
    e.id = id;
    e.x = app.mouseX;
    e.y = app.mouseY;
    r->action(app, e);
}

}  // namespace zelmora
