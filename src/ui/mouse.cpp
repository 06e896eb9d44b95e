// Mouse handling. Every control of the screen is one row of the region table
// below: its rectangle, the page it belongs to, how it acts (at the press,
// repeated while held, dragged, or at the release) and its action. The press
// test, the cursor shape and the autorepeat all read that one table.
#include "ui/mouse.h"

#include <algorithm>
#include <cstdint>

#include "app/app_state.h"
#include "app/export.h"
#include "app/history.h"
#include "app/profile.h"
#include "audio/asio_host.h"
#include "engine/transport.h"
#include "formats/importers.h"
#include "ui/browser.h"
#include "ui/editing.h"
#include "ui/page_controls.h"
#include "ui/keyboard.h"
#include "ui/screen_places.h"
#include "ui/shell_services.h"

namespace zelmora {

namespace {

using place::PlaceId;

constexpr int kAnyPage = -1;
constexpr int kSetupPage = 0, kBrowserPage = 1, kInstrumentPage = 2, kRegionPage = 3, kSamplePage = 4, kMasterPage = 5;
constexpr int kToolbarPages = profile::kAllPages ? 6 : 2;  // Setup and Browser come first
constexpr int kBrowserRows = place::Get(PlaceId::BrowserRows).h / place::Get(PlaceId::BrowserRows).cellH;

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
    PlaceId place;         // its rectangle; a grid of cells has one id a cell,
                           // id = firstId + row * columns + column
    int firstId;           // 0 for regions that are never held
    Kind kind;
    Action action;
    Covers covers = nullptr;  // a narrower test inside the rectangle, for the cursor
    int faderBand = -1;       // the equaliser band: its fader's place moves by band and gain
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
    Set(Changing(app, "Pattern Number", app.song.orders[order]), app.song.orders[order] + by, 0, 255);
}

// The last order never goes below the position or the restart order.
void MoveLastOrder(AppState& app, int by) {
    const int lowest = std::max<int>(app.song.restartOrder, app.song.orderPosition);
    Set(Changing(app, "Song Length", app.song.lastOrder), app.song.lastOrder + by, lowest, 255);
}

void MoveRestart(AppState& app, int by) {
    Set(Changing(app, "Restart", app.song.restartOrder), app.song.restartOrder + by, 0, LastOrder(app));
}

// The order list as one record for the history: its entries, length and restart.
void WillChangeOrders(AppState& app, const char* what) {
    WillChange(app, what, app.song.orders, sizeof app.song.orders);
    Changing(app, what, app.song.lastOrder);
    Changing(app, what, app.song.restartOrder);
}

void InsertOrder(AppState& app) {
    Song& s = app.song;
    if (s.lastOrder >= 255) return;
    WillChangeOrders(app, "Insert Order");
    ++s.lastOrder;
    for (int i = s.lastOrder; i > s.orderPosition; --i) s.orders[i] = s.orders[i - 1];
}

void DeleteOrder(AppState& app) {
    Song& s = app.song;
    if (s.orderPosition >= s.lastOrder) return;
    WillChangeOrders(app, "Delete Order");
    for (int i = s.orderPosition; i < s.lastOrder; ++i) s.orders[i] = s.orders[i + 1];
    --s.lastOrder;
    if (s.restartOrder > s.lastOrder) s.restartOrder = s.lastOrder;
}

void FillOrders(AppState& app) {
    WillChangeOrders(app, "Fill Orders");
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

// The order shown in the row under y of the nine rows around the position;
// -1 when that order does not exist.
int OrderAtRow(const AppState& app, int y) {
    const int order = app.song.orderPosition - 4 + place::RowAt(PlaceId::OrderRows, y);
    return order >= 0 && order <= LastOrder(app) ? order : -1;
}

bool OverOrderRow(const AppState& app, int, int y) { return OrderAtRow(app, y) >= 0; }

void OrderRow(AppState& app, const Event& e) {
    const int order = OrderAtRow(app, e.y);
    if (order < 0) return;
    const int sign = e.button == 1 ? -1 : 1;
    if (e.x < place::Get(PlaceId::OrderHighDigit).x)
        app.song.orderPosition = static_cast<uint8_t>(order);
    else if (e.x < place::Get(PlaceId::OrderLowDigit).x)
        MovePattern(app, order, 16 * sign);
    else
        MovePattern(app, order, sign);
}

// -- the sequencer panel -----------------------------------------------------

struct SongValue {
    uint8_t Song::*field;
    int lo, hi;
    const char* what;  // as the edit history names a change of it
};
constexpr SongValue kSongValues[4] = {{&Song::tempo, 32, 255, "Tempo"},
                                      {&Song::speed, 1, 31, "Speed"},
                                      {&Song::trackCount, 1, 32, "Track Count"},
                                      {&Song::editStep, 0, 16, "Edit Step"}};

void StepSongValue(AppState& app, int which, int by) {
    const SongValue& v = kSongValues[which];
    Set(Changing(app, v.what, app.song.*v.field), app.song.*v.field + by, v.lo, v.hi);
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

// A list row's name as a text field, where the list draws it.
void OpenRowName(AppState& app, char* name, PlaceId rows, int row) {
    const place::Box r = place::CellOf(rows, row);
    OpenTextField(app, name, r.x + place::kRowNameDx, r.y + place::kRowTextDy, 22);
}

void InstrumentRow(AppState& app, const Event& e) {
    const int row = place::RowAt(PlaceId::InstrumentRows, e.y);
    // SANITY: the first shown instrument is kept within the list, so a row
    // never names an instrument past the last.
    app.currentInstrument = Clamp(app.firstShownInstrument + row, 0, kMaxInstruments - 1);
    if (e.doubleClick)
        OpenRowName(app, app.song.instruments[app.currentInstrument].name, PlaceId::InstrumentRows, row);
}

void SampleRow(AppState& app, const Event& e) {
    const int row = place::RowAt(PlaceId::SampleRows, e.y);
    app.currentSample = Clamp(app.firstShownSample + row, 0, kMaxSampleSlots - 1);
    if (e.doubleClick) {
        const int instrument = Clamp(app.currentInstrument, 0, kMaxInstruments - 1);
        OpenRowName(app, app.song.instruments[instrument].samples[app.currentSample].name,
                    PlaceId::SampleRows, row);
    }
}

bool OverToolbarButton(const AppState&, int, int y) {
    return place::RowAt(PlaceId::Toolbar, y) < kToolbarPages;
}

void Toolbar(AppState& app, const Event& e) {
    if (OverToolbarButton(app, e.x, e.y)) app.screenPage = place::RowAt(PlaceId::Toolbar, e.y);
}

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
    const int index = app.browserScroll + place::RowAt(PlaceId::BrowserRows, y);
    return index < app.browserCount ? index : -1;
}

bool OverBrowserEntry(const AppState& app, int, int y) { return BrowserEntryAt(app, y) >= 0; }

void BrowserRow(AppState& app, const Event& e) {
    const int index = BrowserEntryAt(app, e.y);
    if (index < 0) return;
    app.browserSelection = index;
    if (e.doubleClick) OpenBrowserEntry(app, index);
}

void SongName(AppState& app, const Event&) {
    const place::Place& field = place::Get(PlaceId::SongNameField);
    OpenTextField(app, app.song.name, field.x + place::kFieldInset, field.y + place::kFieldInset, 32);
}

void Save(AppState& app, const Event&) {
    if constexpr (!profile::kOwnModuleFormat) return;
    ShellSetCursor(CursorShape::kHourglass);
    SaveModule(app);
    // Every attempt lists the folder again, so a new file shows at once.
    ListFolder(app);
}

void Export(AppState& app, const Event&) {
    if constexpr (profile::kEverydayEditing) StartExport(app);
}

// -- the Instrument editor and Master pages ----------------------------------

const Region* RegionOf(int id);

// The cell of the held field id within its region's place: the page's value
// controls are found by where they stand, so a drag that leaves the cell
// still moves the value it began on.
place::Box HeldCell(const Event& e) {
    const Region* r = RegionOf(e.id);
    return r ? place::CellOf(r->place, e.id - r->firstId) : place::Box{-1, -1, 0, 0};
}

// A drag up raises a value, as the playlist's fields do; a double-click resets it.
template <typename Control>
void DragOrReset(AppState& app, const Event& e, const Control* control, void (*move)(AppState&, const Control&, int),
                 void (*reset)(AppState&, const Control&)) {
    if (!control) return;
    if (e.doubleClick)
        reset(app, *control);
    else
        move(app, *control, -e.dy);
}

bool OverValueField(const AppState&, int x, int y) { return ValueControlAt(x, y) != nullptr; }

void RegionKeys(AppState& app, const Event& e) {
    if constexpr (profile::kEverydayEditing) RegionKeyPress(app, e.x, e.y);
}

bool OverRegionField(const AppState&, int x, int y) { return RegionControlAt(x, y) != nullptr; }

void RegionField(AppState& app, const Event& e) {
    if constexpr (!profile::kEverydayEditing) return;
    const place::Box cell = HeldCell(e);
    DragOrReset(app, e, RegionControlAt(cell.x, cell.y), MoveRegionValue, ResetRegionValue);
}

void SampleView(AppState& app, const Event& e) {
    if constexpr (profile::kEverydayEditing) LoopMarkerPress(app, e.x, e.y);
}

void LoopMode(AppState& app, const Event&) {
    if constexpr (profile::kEverydayEditing) SwitchLoopMode(app);
}

void ValueField(AppState& app, const Event& e) {
    if constexpr (!profile::kEverydayEditing) return;
    const place::Box cell = HeldCell(e);
    DragOrReset(app, e, ValueControlAt(cell.x, cell.y), MoveValue, ResetValue);
}

void EnvelopeTab(AppState& app, const Event& e) {
    const place::Place& tabs = place::Get(PlaceId::EnvelopeTabs);
    app.envelopeTab = Clamp((e.x - tabs.x) / tabs.cellW, 0, 2);
}

void EqSwitch(AppState& app, const Event&) {
    if constexpr (!profile::kMasterSection) return;
    Changing(app, "Equaliser Switch", app.song.eqOn) = app.song.eqOn ? 0 : 1;
}

void Fader(AppState& app, const Event& e) {
    if constexpr (!profile::kMasterSection) return;
    const int band = e.id - 284;
    Set(Changing(app, "Equaliser", app.song.eqGains[band]), app.song.eqGains[band] - e.dy, -32, 32);
}

constexpr Region FaderRegion(int band) {
    return {kMasterPage, PlaceId::EqFader, 284 + band, Kind::kDrag, Fader, nullptr, band};
}

// The regions in the order they are tested; where several hold the point,
// the last one that sets the pressed control wins.
constexpr Region kRegions[] = {
    // Playlist panel.
    {kAnyPage, PlaceId::PlaylistArrows, 1, Kind::kRepeat, PlaylistArrow},
    {kAnyPage, PlaceId::OrderUp, 9, Kind::kRepeat, OrderUp},
    {kAnyPage, PlaceId::OrderDown, 10, Kind::kRepeat, OrderDown},
    {kAnyPage, PlaceId::OrderBar, 11, Kind::kDrag, OrderBar},
    {kAnyPage, PlaceId::OrderRows, 0, Kind::kClick, OrderRow, OverOrderRow},
    {kAnyPage, PlaceId::InsertButton, 12, Kind::kRepeat, InsertButton},
    {kAnyPage, PlaceId::DeleteButton, 13, Kind::kRepeat, DeleteButton},
    {kAnyPage, PlaceId::SmallArrows, 14, Kind::kRepeat, SmallArrow},
    {kAnyPage, PlaceId::PlaylistFields, 16, Kind::kDrag, PlaylistField},
    {kAnyPage, PlaceId::FillButton, 20, Kind::kRepeat, FillButton},
    // Sequencer panel.
    {kAnyPage, PlaceId::SequencerFields, 32, Kind::kDrag, SequencerField},
    {kAnyPage, PlaceId::SequencerArrows, 36, Kind::kRepeat, SequencerArrow},
    {kAnyPage, PlaceId::Transport, 44, Kind::kClick, TransportButton},
    // Instrument and region lists.
    {kAnyPage, PlaceId::InstrumentUp, 64, Kind::kRepeat, InstrumentUp},
    {kAnyPage, PlaceId::InstrumentDown, 65, Kind::kRepeat, InstrumentDown},
    {kAnyPage, PlaceId::InstrumentBar, 66, Kind::kDrag, InstrumentBar},
    {kAnyPage, PlaceId::InstrumentRows, 0, Kind::kClick, InstrumentRow},
    {kAnyPage, PlaceId::SampleUp, 67, Kind::kRepeat, SampleUp},
    {kAnyPage, PlaceId::SampleDown, 68, Kind::kRepeat, SampleDown},
    {kAnyPage, PlaceId::SampleBar, 69, Kind::kDrag, SampleBar},
    {kAnyPage, PlaceId::SampleRows, 0, Kind::kClick, SampleRow},
    // Page toolbar: six buttons; the earlier skin holds only the Setup and
    // Browser pages, so its toolbar offers those two and the rest do nothing.
    {kAnyPage, PlaceId::Toolbar, 0, Kind::kClick, Toolbar, OverToolbarButton},
    // Setup page.
    {kSetupPage, PlaceId::DriverArrows, 128, Kind::kRelease, Driver},
    {kSetupPage, PlaceId::RoutingArrows, 130, Kind::kRepeat, Routing},
    {kSetupPage, PlaceId::RateArrows, 138, Kind::kRelease, Rate},
    {kSetupPage, PlaceId::ControlPanelButton, 140, Kind::kRelease, ControlPanel},
    {kSetupPage, PlaceId::RestartButton, 141, Kind::kRelease, Restart},
    // Browser page.
    {kBrowserPage, PlaceId::ChooseFolderButton, 160, Kind::kRelease, BrowserChoose},
    {kBrowserPage, PlaceId::ParentButton, 161, Kind::kRelease, BrowserParent},
    {kBrowserPage, PlaceId::BrowserUp, 162, Kind::kRepeat, BrowserUp},
    {kBrowserPage, PlaceId::BrowserDown, 163, Kind::kRepeat, BrowserDown},
    {kBrowserPage, PlaceId::BrowserBar, 164, Kind::kDrag, BrowserBar},
    {kBrowserPage, PlaceId::BrowserRows, 0, Kind::kClick, BrowserRow, OverBrowserEntry},
    {kBrowserPage, PlaceId::SongNameField, 0, Kind::kClick, SongName},
    {kBrowserPage, PlaceId::SaveButton, 165, Kind::kRelease, Save},
    {kBrowserPage, PlaceId::ExportButton, 167, Kind::kRelease, Export},
    {kBrowserPage, PlaceId::RefreshButton, 166, Kind::kRelease, BrowserRefresh},
    // Instrument editor page: the tabs, and the value fields (ids 300, 310, 320 up).
    {kInstrumentPage, PlaceId::EnvelopeTabs, 0, Kind::kClick, EnvelopeTab},
    {kInstrumentPage, PlaceId::InstrumentValues, 300, Kind::kDrag, ValueField, OverValueField},
    {kInstrumentPage, PlaceId::ModulationValues, 310, Kind::kDrag, ValueField, OverValueField},
    {kInstrumentPage, PlaceId::EnvelopeValues, 320, Kind::kDrag, ValueField, OverValueField},
    // Region editor page: the keyboard, and the value fields (ids 340 up).
    {kRegionPage, PlaceId::RegionKeyboard, 0, Kind::kClick, RegionKeys},
    {kRegionPage, PlaceId::RegionValues, 340, Kind::kDrag, RegionField, OverRegionField},
    // Sample editor page: the loop markers in both views, the loop mode.
    {kSamplePage, PlaceId::SampleDetail, 0, Kind::kClick, SampleView},
    {kSamplePage, PlaceId::SampleOverview, 0, Kind::kClick, SampleView},
    {kSamplePage, PlaceId::LoopModeButton, 0, Kind::kClick, LoopMode},
    // Master page.
    {kMasterPage, PlaceId::EqSwitch, 0, Kind::kClick, EqSwitch},
    FaderRegion(0), FaderRegion(1), FaderRegion(2), FaderRegion(3), FaderRegion(4),
    FaderRegion(5), FaderRegion(6), FaderRegion(7), FaderRegion(8), FaderRegion(9),
    FaderRegion(10), FaderRegion(11), FaderRegion(12), FaderRegion(13), FaderRegion(14),
};

// The region's rectangle now: its place, or for a fader its band's place
// moved up by the band's gain.
place::Box RegionRect(const AppState& app, const Region& r) {
    const place::Place& p = place::Get(r.place);
    place::Box rect{p.x, p.y, p.w, p.h};
    if (r.faderBand >= 0) {
        rect.x += place::kEqFaderPitch * r.faderBand;
        rect.y -= app.song.eqGains[r.faderBand];
    }
    return rect;
}

bool Shown(const AppState& app, const Region& r) { return r.page == kAnyPage || r.page == app.screenPage; }

bool Contains(const AppState& app, const Region& r, int x, int y) {
    const place::Box rect = RegionRect(app, r);
    return x >= rect.x && x < rect.x + rect.w && y >= rect.y && y < rect.y + rect.h;
}

// The id of the grid cell under the point, 0 for regions without ids.
int IdAt(const AppState& app, const Region& r, int x, int y) {
    if (r.firstId == 0) return 0;
    const place::Place& p = place::Get(r.place);
    const place::Box rect = RegionRect(app, r);
    return r.firstId + ((y - rect.y) / p.cellH) * place::Columns(p) + (x - rect.x) / p.cellW;
}

// The row that owns a control id, null for none.
const Region* RegionOf(int id) {
    if (id <= 0) return nullptr;
    for (const Region& r : kRegions) {
        if (r.firstId != 0 && id >= r.firstId && id < r.firstId + place::Cells(place::Get(r.place)))
            return &r;
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
    // One press to its release is one step of the edit history (the closed
    // field before it is a step of its own).
    BeginStep(app);

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
        // A double-click on a drag control resets it (where its action knows how).
        if (r.kind == Kind::kDrag && doubleClick && e.id != 0) r.action(app, e);
    }
    // Below the top band: the pattern view's cells, lights and faders.
    if (y >= place::kTopBandHeight) PatternViewPress(app, x, y, button, doubleClick);

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
    if (app.draggedFader >= 0 || app.selectingCells) PatternViewDrag(app, x, y, dy);
    if (app.draggedLoopMarker != 0) LoopMarkerDrag(app, x);
    if (app.draggedKeyEnd != 0) RegionKeyDrag(app, x);
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
    PatternViewRelease(app);
    app.draggedLoopMarker = 0;
    RegionKeyRelease(app);
    EndStep(app);
    RequestRedraw(app);
}

void MouseWheel(AppState& app, int x, int y, int delta) {
    app.mouseX = x;
    app.mouseY = y;
    const int n = delta / 120;
    auto inside = [x, y](PlaceId id) {
        const place::Place& p = place::Get(id);
        return x >= p.x && x < p.x + p.w && y >= p.y && y < p.y + p.h;
    };
    if (inside(PlaceId::OrderWheel)) MovePosition(app, -n);
    // The wheel alone reaches instrument 0 at the top of the list.
    if (inside(PlaceId::InstrumentWheel))
        Set(app.firstShownInstrument, app.firstShownInstrument - n, 0, kTopInstrument);
    if (inside(PlaceId::SampleWheel)) Set(app.firstShownSample, app.firstShownSample - n, 0, kTopSample);
    if (inside(PlaceId::BrowserWheel) && app.screenPage == kBrowserPage) ScrollBrowser(app, -n);
    if (y >= place::kPatternRowsTop) {
        app.transport.row = Clamp(app.transport.row - n, 0, CurrentPattern(app).lastRow);
    }
    const place::Place& detail = place::Get(PlaceId::SampleDetail);
    if (app.screenPage == kSamplePage && profile::kEverydayEditing && x >= detail.x && x < detail.x + detail.w &&
        y >= detail.y && y < detail.y + detail.h)
        ZoomSampleView(app, x, n);
    if (app.screenPage == kRegionPage && profile::kEverydayEditing)
        if (const RegionControl* control = RegionControlAt(x, y)) {
            BeginStep(app);
            MoveRegionValue(app, *control, n);
            EndStep(app);
        }
    if (app.screenPage == kInstrumentPage && profile::kEverydayEditing)
        if (const ValueControl* control = ValueControlAt(x, y)) {
            BeginStep(app);  // each notch of the wheel is a step of its own
            MoveValue(app, *control, n);
            EndStep(app);
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
