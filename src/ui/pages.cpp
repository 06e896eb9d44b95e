// The six pages of the page area: Setup, Browser, Instrument, Region, Sample
// and Master. Each draws its picture, the pressed picture of a held control of
// its own, then its values.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/profile.h"
#include "engine/transport.h"
#include "ui/draw.h"
#include "ui/editing.h"
#include "ui/midi_notes.h"
#include "ui/page_controls.h"
#include "ui/screen_places.h"

namespace zelmora {

using place::PlaceId;
using skin::PieceId;

namespace {

// A piece on cell i of a place.
void BlitAt(Canvas& canvas, PlaceId at, int i, PieceId piece) {
    const place::Box cell = place::CellOf(at, i);
    canvas.Blit(cell.x, cell.y, piece);
}

// An arrow pair's pressed picture: up on even cells, down on odd ones.
void PressedArrow(Canvas& canvas, PlaceId at, int i) {
    BlitAt(canvas, at, i, i % 2 == 0 ? PieceId::ArrowUpPressed : PieceId::ArrowDownPressed);
}

void Format(Canvas& canvas, int x, int y, int style, const char* format, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    canvas.Text(x, y, text, style);
}

// "#%.3d" of a setting, its first four characters; nothing for 0.
void NumberLabel(Canvas& canvas, int x, int y, int number) {
    if (number <= 0) return;
    char text[16];
    std::snprintf(text, sizeof text, "#%.3d", number);
    canvas.Text(x + 4, y + 4, text, 4, 2);
}

// ---- Setup ----

void DrawChannelName(AppState& app, Canvas& canvas, int y, int record) {
    const AsioHost& host = app.asioHost;
    if (record < 0 || record >= kMaxHostChannels || record >= host.inputs + host.outputs) return;
    const char* name = host.channelInfos[record].name;
    canvas.Text(586, y, name, static_cast<int>(strnlen(name, sizeof host.channelInfos[record].name)), 2);
}

void DrawSetupPage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::SetupPage);
    const int id = app.pressedControl;
    if (id >= 128 && id <= 129) PressedArrow(canvas, PlaceId::DriverArrows, id - 128);
    if (id >= 130 && id <= 137) PressedArrow(canvas, PlaceId::RoutingArrows, id - 130);
    if (id >= 138 && id <= 139) PressedArrow(canvas, PlaceId::RateArrows, id - 138);
    if (id == 140) BlitAt(canvas, PlaceId::ControlPanelButton, 0, PieceId::ControlPanelPressed);
    if (id == 141) BlitAt(canvas, PlaceId::RestartButton, 0, PieceId::RestartPressed);

    const AppSettings& s = app.settings;
    char name[256] = {};
    app.driverList.DriverName(s.driverIndex, name, sizeof name);
    DrawHex(canvas, 565, 20, s.driverIndex, 2);
    canvas.Text(586, 20, name, 2);
    const int inputs = app.asioHost.inputs;
    const int rows[4][2] = {{36, s.inputLeft}, {52, s.inputRight}, {68, s.outputLeft}, {84, s.outputRight}};
    for (int i = 0; i < 4; ++i) {
        DrawHex(canvas, 565, rows[i][0], rows[i][1], 2);
        const bool output = i >= 2;
        if (output && rows[i][1] >= app.asioHost.outputs) continue;
        if (!output && rows[i][1] >= inputs) continue;
        DrawChannelName(app, canvas, rows[i][0], output ? inputs + rows[i][1] : rows[i][1]);
    }
    canvas.Text(565, 100, app.asioHost.statusText,
                static_cast<int>(strnlen(app.asioHost.statusText, sizeof app.asioHost.statusText)), 2);
    const double rate = std::isfinite(s.sampleRate) ? std::clamp(s.sampleRate, 0.0, 1e9) : 0.0;
    Format(canvas, 916, 20, 2, "%d Hz", static_cast<int>(rate));
    Format(canvas, 916, 36, 2, "%d", app.asioHost.preferredSize);
    if constexpr (profile::kMidiInput) {
        // Under the page's greeting, in its colours: the page is 75 characters wide.
        char text[76];
        std::snprintf(text, sizeof text, "MIDI In: %s", MidiInputNames());
        canvas.Text(505, 248, text, 1);
    }
}

// ---- Instrument ----

// The shape of the envelope the tab shows: attack, decay and release take
// three quarters of the width in proportion to their times, the sustain the
// last quarter; the level rises to full, falls to the sustain, then to none.
void DrawEnvelopeShape(Canvas& canvas, const Envelope& e) {
    const place::Place& box = place::Get(PlaceId::EnvelopeShape);
    // The stages in order: attack, decay, sustain, release.
    const double times[4] = {EnvelopeTimeTable[e.attack], EnvelopeTimeTable[e.decay], 0.0,
                             EnvelopeTimeTable[e.release]};
    const double total = times[0] + times[1] + times[3];
    const int moving = box.w * 3 / 4;
    int widths[4];
    for (int k : {0, 1, 3}) widths[k] = std::max(2, static_cast<int>(moving * times[k] / total));
    widths[2] = std::max(2, box.w - widths[0] - widths[1] - widths[3]);
    const double sustain = e.sustain / 255.0;
    const double from[4] = {0.0, 1.0, sustain, sustain}, to[4] = {1.0, sustain, sustain, 0.0};
    int x = box.x, previous = box.y + box.h - 1;
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < widths[k] && x < box.x + box.w; ++i, ++x) {
            const double level = from[k] + (to[k] - from[k]) * (i + 1) / widths[k];
            const int y = box.y + box.h - 1 - static_cast<int>(level * (box.h - 4));
            const int top = std::min(y, previous), bottom = std::max(y, previous);
            canvas.Fill(x, top, 1, bottom - top + 2, 0xB4944E);  // the gold of the page's readings
            previous = y;
        }
    }
}

void DrawInstrumentPage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::InstrumentPage);
    if constexpr (profile::kEnvelopeTimes) {
        static constexpr int kTabEnvelope[3] = {0, 2, 3};
        DrawEnvelopeShape(canvas, app.song.instruments[app.currentInstrument & 0xFF]
                                      .envelopes[kTabEnvelope[std::clamp(app.envelopeTab, 0, 2)]]);
    }
    const int tab = std::clamp(app.envelopeTab, 0, 2);
    const place::Box lit = place::CellOf(PlaceId::EnvelopeTabs, tab);
    canvas.BlitPart(lit.x, lit.y, PieceId::EnvelopeTabLit, 0, skin::kEnvelopeTabH * tab, lit.w, lit.h);

    // Every value at its field: the byte in hex (the modulation settings as
    // number labels), and its reading right of the field.
    static constexpr const char* kFilterNames[5] = {"Disabled", "Lowpass ", "Highpass", "Bandpass", "Notch   "};
    char text[64];
    for (int i = 0; i < kValueControlCount; ++i) {
        const ValueControl& c = kValueControls[i];
        const place::Box b = place::CellOf(c.place, c.cell);
        const int value = ControlByte(app, c);
        if (c.modulation >= 0) {
            NumberLabel(canvas, b.x + place::kFieldInset, b.y, value);
            continue;
        }
        DrawHex(canvas, b.x + place::kFieldInset, b.y + place::kFieldInset, value, 2);
        const int x = b.x + b.w + 1, y = b.y + place::kFieldInset;
        switch (c.reading) {
            case Reading::kDecibels:
                DecibelText(value / 64.0, text, sizeof text);
                canvas.Text(x, y, text, 2);
                break;
            case Reading::kPan: Format(canvas, x, y, 2, "L=%d%% R=%d%%", (25600 - 100 * value) / 256, 100 * value / 256); break;
            case Reading::kTune: Format(canvas, x, y, 2, "%d", value - 128); break;
            case Reading::kHertz: Format(canvas, x, y, 2, "%.1f Hz", 440.0 * std::pow(2.0, (value - 128) / 24.0)); break;
            case Reading::kFilter:
                if (value < 5) canvas.Text(x, y, kFilterNames[value], 2);
                break;
            case Reading::kPercent: Format(canvas, x, y, 2, "%d%%", 100 * value / 256); break;
            case Reading::kSeconds:
                if constexpr (profile::kEnvelopeTimes) Format(canvas, x, y, 2, "%.3f s.", EnvelopeTimeTable[value]);
                break;
            case Reading::kNone: break;
        }
    }
}

// ---- Sample ----

constexpr uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); }

void DrawWaveform(Canvas& canvas, int x, int y, int w, int h, const Sample& sample, int64_t first, int64_t perColumn) {
    canvas.Fill(x, y, w, h, 0);
    const int32_t frames = UsableFrames(sample);
    if (frames == 0) return;
    const int channels = sample.channels;
    const int L = h / channels;
    // SANITY: a lane too thin to hold a line is left black instead of
    // scaling by a negative height.
    if (L < 4) return;
    for (int ch = 0; ch < channels; ++ch) {
        const int t = y + ch * L, c = t + L / 2;
        canvas.Fill(x, t, w, 1, Rgb(16, 16, 16));
        canvas.Fill(x, c, w, 1, Rgb(144, 112, 88));
        canvas.Fill(x, c - L / 4, w, 1, Rgb(48, 40, 24));
        canvas.Fill(x, c + L / 4, w, 1, Rgb(48, 40, 24));
        const double* audio = sample.audio[ch] + kSampleGuard;
        const double scale = L / 2 - 1;
        int previousTop = c, previousBottom = c;
        int64_t frame = first;
        for (int column = 0; column < w && frame < frames; ++column) {
            const int64_t end = std::min<int64_t>(frame + perColumn, frames);
            double hi = -1.0, lo = 1.0;
            for (; frame < end; ++frame) {
                hi = std::max(hi, audio[frame]);
                lo = std::min(lo, audio[frame]);
            }
            // SANITY: values beyond full scale (float samples may exceed 1.0)
            // are clamped to it, so a column stays inside its lane and never
            // reaches the next lane or past the view.
            const int hiPixels = static_cast<int>(std::clamp(hi, -1.0, 1.0) * scale);
            const int loPixels = static_cast<int>(std::clamp(lo, -1.0, 1.0) * scale);
            const int top = std::min(c - hiPixels, previousBottom);
            const int bottom = std::max(c - loPixels, previousTop);
            canvas.Fill(x + column, top, 1, bottom - top + 1, Rgb(180, 176, 120));
            previousTop = top;
            previousBottom = bottom;
        }
    }
    if (sample.loopMode == 0) return;
    const Rect saved = canvas.Clip();
    canvas.SetClip(Rect{std::max(x, saved.x), std::max(y, saved.y),
                        std::min(x + w, saved.x + saved.w) - std::max(x, saved.x),
                        std::min(y + h, saved.y + saved.h) - std::max(y, saved.y)});
    const int64_t xs64 = x + (static_cast<int64_t>(sample.loopStart) - first) / perColumn;
    const int64_t xe64 =
        x + (static_cast<int64_t>(sample.loopStart) + sample.loopLength - first) / perColumn;
    const int xs = static_cast<int>(std::clamp<int64_t>(xs64, -64, 4096));
    const int xe = static_cast<int>(std::clamp<int64_t>(xe64, -64, 4096));
    canvas.Blit(xs - 4, y, PieceId::LoopStart);
    canvas.Blit(xe - 4, y, PieceId::LoopEnd);
    for (int dy = y + 12; dy < y + h; dy += 4) {
        canvas.Invert(xs, dy, 1, 2);
        canvas.Invert(xe, dy, 1, 2);
    }
    canvas.SetClip(saved);
}

// The views are drawn straight into the frame, so they show with the frame
// they belong to.
void DrawSamplePage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::SamplePage);
    const Sample& sample = app.song.instruments[app.currentInstrument & 0xFF].samples[app.currentSample & 0xFF];
    const place::Place& detail = place::Get(PlaceId::SampleDetail);
    const place::Place& overview = place::Get(PlaceId::SampleOverview);
    const SampleSpan zoomed = DetailSpan(app), whole = OverviewSpan(app);
    DrawWaveform(canvas, detail.x, detail.y, detail.w, detail.h, sample, zoomed.first, zoomed.perColumn);
    DrawWaveform(canvas, overview.x, overview.y, overview.w, overview.h, sample, whole.first, whole.perColumn);
    if constexpr (!profile::kEverydayEditing) return;
    // A zoomed detail view: its span lit in the overview.
    if (zoomed.perColumn != whole.perColumn && UsableFrames(sample) > 0) {
        const int x0 = overview.x + static_cast<int>(zoomed.first / whole.perColumn);
        const int w = std::max(1, static_cast<int>(512 * zoomed.perColumn / whole.perColumn));
        const skin::Piece& tint = skin::Get(PieceId::ListTint);
        canvas.Blend(x0, overview.y, std::min(w, overview.x + overview.w - x0), overview.h, tint.x, tint.y);
    }
    const int32_t frames = UsableFrames(sample);
    const int32_t numbers[3] = {frames, frames ? sample.loopStart : 0, frames ? sample.loopLength : 0};
    for (int k = 0; k < 3; ++k) {
        const place::Box cell = place::CellOf(PlaceId::SampleNumbers, k);
        Format(canvas, cell.x + 80, cell.y + place::kFieldInset, 2, "%d", numbers[k]);
    }
    static constexpr const char* kLoopModes[3] = {"Off", "Forward", "Ping-Pong"};
    const place::Box loop = place::CellOf(PlaceId::LoopModeButton, 0);
    canvas.Text(loop.x + place::kFieldInset, loop.y + place::kFieldInset, kLoopModes[std::clamp(sample.loopMode, 0, 2)], 2);
}

// ---- Region ----

void DrawRegionPage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::RegionPage);
    if constexpr (!profile::kEverydayEditing) return;
    const Instrument& in = app.song.instruments[app.currentInstrument & 0xFF];
    const Sample& s = in.samples[app.currentSample & 0xFF];
    // The keyboard: the slot's key range lit, the key sounding pressed, and a
    // red mark under every key no region of the instrument plays.
    const place::Place& k = place::Get(PlaceId::RegionKeyboard);
    for (int pass = 0; pass < 2; ++pass)
        for (int note = 0; note < 128; ++note) {
            const bool black = IsBlackKey(note);
            if (black != (pass == 1)) continue;
            const place::Box b = KeyBox(note);
            const bool lit = note >= s.keyLow && note <= s.keyHigh && UsableFrames(s) > 0;
            uint32_t colour = black ? (lit ? Rgb(150, 112, 40) : Rgb(24, 26, 30)) : (lit ? Rgb(230, 190, 100) : Rgb(216, 220, 226));
            if (note == app.previewedKey) colour = Rgb(240, 90, 60);
            canvas.Fill(b.x, b.y, black ? b.w : b.w - 1, b.h, colour);
            bool played = false;
            for (const Sample& r : in.samples)
                if (UsableFrames(r) && note >= r.keyLow && note <= r.keyHigh) {
                    played = true;
                    break;
                }
            if (!played && !black) canvas.Fill(b.x, k.y + k.h + 2, b.w - 1, 2, Rgb(200, 60, 40));
        }
    // Each value: its field in hex (signed values as two's complement bytes)
    // and its reading beside it.
    char text[32];
    for (int i = 0; i < kRegionControlCount; ++i) {
        const RegionControl& c = kRegionControls[i];
        const place::Box b = place::CellOf(PlaceId::RegionValues, c.cell);
        const int value = RegionValue(app, c);
        DrawHex(canvas, b.x + 64 + place::kFieldInset, b.y + place::kFieldInset, value & 0xFF, 2);
        switch (c.reading) {
            case RegionReading::kNote: std::snprintf(text, sizeof text, "%.3s", NoteName(std::clamp(value, 0, 127) + 1)); break;
            case RegionReading::kNumber: std::snprintf(text, sizeof text, "%d", value); break;
            case RegionReading::kSemitones: std::snprintf(text, sizeof text, "%+d st", value); break;
            case RegionReading::kCents: std::snprintf(text, sizeof text, "%+d ct", value); break;
            case RegionReading::kPercent: std::snprintf(text, sizeof text, "%d%%", value); break;
            case RegionReading::kPan: std::snprintf(text, sizeof text, "%+d", value - 128); break;
        }
        canvas.Text(b.x + 92, b.y + place::kFieldInset, text, 2);
    }
}

// ---- Master ----

void DrawMasterPage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::MasterPage);
    const place::Place& eqSwitch = place::Get(PlaceId::EqSwitch);
    if (app.song.eqOn) canvas.Blit(eqSwitch.x + 2, eqSwitch.y + 2, PieceId::EqSwitchLit);
    const place::Place& fader = place::Get(PlaceId::EqFader);
    for (int k = 0; k < 15; ++k) {
        const int g = std::clamp<int>(app.song.eqGains[k], -32, 32);
        DrawFader(canvas, fader.x + place::kEqFaderPitch * k, fader.y - g);
        char label[16];
        std::snprintf(label, sizeof label, "%c%.2d", g < 1 ? '-' : '+', std::abs(static_cast<int>(g * 0.375)));
        canvas.SmallText(fader.x - 2 + place::kEqFaderPitch * k, 128, label, 3, 2);
    }
}

// ---- Browser ----

void DrawBrowserPage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::BrowserPage);
    const int id = app.pressedControl;
    if (id == 160) BlitAt(canvas, PlaceId::ChooseFolderButton, 0, PieceId::ChooseFolderPressed);
    if (id == 161) BlitAt(canvas, PlaceId::ParentButton, 0, PieceId::ArrowUpPressed);
    if (id == 162) BlitAt(canvas, PlaceId::BrowserUp, 0, PieceId::SmallUpPressed);
    if (id == 163) BlitAt(canvas, PlaceId::BrowserDown, 0, PieceId::SmallDownPressed);
    if (id == 165 && profile::kOwnModuleFormat) BlitAt(canvas, PlaceId::SaveButton, 0, PieceId::SavePressed);
    if (id == 167 && profile::kEverydayEditing) BlitAt(canvas, PlaceId::ExportButton, 0, PieceId::ExportPressed);
    if (id == 166) BlitAt(canvas, PlaceId::RefreshButton, 0, PieceId::RefreshPressed);

    const int folderLength = static_cast<int>(strnlen(app.browserFolder, sizeof app.browserFolder));
    canvas.Text(565, 20, app.browserFolder, std::min(folderLength, 60), 2);
    if (folderLength >= 60) canvas.Text(964, 20, "...", 3, 2);

    const place::Place& rows = place::Get(PlaceId::BrowserRows);
    const int shown = rows.h / rows.cellH;
    const int count = std::clamp<int>(app.browserCount, 0, static_cast<int>(app.browserList.size()));
    const int scroll = std::clamp(app.browserScroll, 0, std::max(0, count - shown));
    for (int r = 0; r < shown; ++r) {
        const int index = scroll + r;
        if (index >= count) break;
        const BrowserEntry& entry = app.browserList[index];
        const int nameLength = static_cast<int>(strnlen(entry.name, sizeof entry.name));
        const place::Box row = place::CellOf(PlaceId::BrowserRows, r);
        const int y = row.y + place::kRowTextDy;
        if (entry.directory) {
            canvas.Blit(row.x + 2, row.y, PieceId::FolderIcon);
            canvas.Text(row.x + 16, y, entry.name, std::min(nameLength, 68), 0);
        } else {
            char size[24];
            const int sizeLength = std::snprintf(size, sizeof size, "%u KB", entry.sizeLow / 1024);
            canvas.Text(row.x + row.w - 3 - 7 * sizeLength, y, size, sizeLength, 1);
            canvas.Text(row.x + 4, y, entry.name, std::min(nameLength, 68 - sizeLength), 1);
        }
        if (index == app.browserSelection) canvas.BlendPiece(row.x, row.y, PieceId::BrowserTint);
    }

    const place::Place& bar = place::Get(PlaceId::BrowserBar);
    const PieceId thumb = id == 164 ? PieceId::VerticalThumbDragged : PieceId::VerticalThumb;
    const int track = bar.h - 2;
    if (count <= shown)
        canvas.BlitStretchedVertical(bar.x + 1, bar.y + 1, track, thumb);
    else
        canvas.BlitStretchedVertical(bar.x + 1, bar.y + 1 + track * scroll / count,
                                     (track * shown + count - 1) / count, thumb);

    const place::Place& nameField = place::Get(PlaceId::SongNameField);
    canvas.Text(nameField.x + place::kFieldInset, nameField.y + place::kFieldInset, app.song.name,
                kNameLength, 2);
}

}  // namespace

void DrawPage(AppState& app, Canvas& canvas) {
    switch (app.screenPage) {
        case 0: DrawSetupPage(app, canvas); break;
        case 1: DrawBrowserPage(app, canvas); break;
        case 2: DrawInstrumentPage(app, canvas); break;
        case 3: DrawRegionPage(app, canvas); break;
        case 4: DrawSamplePage(app, canvas); break;
        case 5: DrawMasterPage(app, canvas); break;
        default: break;  // no page: the band stays as the panels left it
    }
}

}  // namespace zelmora
