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
#include "ui/midi_notes.h"

namespace zelmora {

using skin::PieceId;

namespace {

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
    if (id >= 128 && id <= 137) {
        const int y = 16 + 16 * ((id - 128) / 2);
        canvas.Blit(id % 2 == 0 ? 813 : 829, y, id % 2 == 0 ? PieceId::ArrowUpPressed : PieceId::ArrowDownPressed);
    }
    if (id == 138) canvas.Blit(992, 16, PieceId::ArrowUpPressed);
    if (id == 139) canvas.Blit(1008, 16, PieceId::ArrowDownPressed);
    if (id == 140) canvas.Blit(851, 50, PieceId::ControlPanelPressed);
    if (id == 141) canvas.Blit(959, 50, PieceId::RestartPressed);

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

void DrawInstrumentPage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::InstrumentPage);
    const Instrument& in = app.song.instruments[app.currentInstrument & 0xFF];

    char text[64];
    DrawHex(canvas, 565, 20, in.volume, 2);
    DecibelText(in.volume / 64.0, text, sizeof text);
    canvas.Text(618, 20, text, 2);
    DrawHex(canvas, 565, 36, in.pan, 2);
    Format(canvas, 618, 36, 2, "L=%d%% R=%d%%", (25600 - 100 * in.pan) / 256, 100 * in.pan / 256);
    DrawHex(canvas, 565, 52, in.tune, 2);
    Format(canvas, 618, 52, 2, "%d", in.tune - 128);
    DrawHex(canvas, 565, 68, in.cutoff, 2);
    Format(canvas, 618, 68, 2, "%.1f Hz", 440.0 * std::pow(2.0, (in.cutoff - 128) / 24.0));
    static constexpr const char* kFilterNames[5] = {"Disabled", "Lowpass ", "Highpass", "Bandpass", "Notch   "};
    DrawHex(canvas, 565, 100, in.filterType, 2);
    if (in.filterType < 5) canvas.Text(618, 100, kFilterNames[in.filterType], 2);
    DrawHex(canvas, 565, 116, in.resonance, 2);
    Format(canvas, 618, 116, 2, "%d%%", 100 * in.resonance / 256);

    static constexpr int kModulationRows[6] = {16, 32, 48, 64, 96, 112};
    for (int i = 0; i < 6; ++i) NumberLabel(canvas, 724, kModulationRows[i], in.modulation[i]);

    const int tab = std::clamp(app.envelopeTab, 0, 2);
    canvas.BlitPart(763 + 87 * tab, 16, PieceId::EnvelopeTabLit, 0, skin::kEnvelopeTabH * tab, 87,
                    skin::kEnvelopeTabH);
    // The tabs show the first, third and fourth envelopes.
    static constexpr int kTabEnvelope[3] = {0, 2, 3};
    const Envelope& e = in.envelopes[kTabEnvelope[tab]];
    struct Row {
        int y;
        uint8_t value;
        int reading;  // 0 none, 1 seconds, 2 percent
    };
    const Row rows[] = {{52, e.attack, 1},           {68, e.decay, 1},          {84, e.sustain, 2},
                        {100, e.release, 1},         {116, e.amount, 2},        {148, e.oscillatorAttack, 0},
                        {164, e.oscillatorRate, 0},  {180, e.oscillatorType, 0}, {196, e.oscillatorPhase, 0},
                        {212, e.oscillatorAmount, 0}};
    for (const Row& row : rows) {
        DrawHex(canvas, 830, row.y, row.value, 2);
        if (row.reading == 1) {
            if constexpr (profile::kEnvelopeTimes) Format(canvas, 883, row.y, 2, "%.3f s.", EnvelopeTimeTable[row.value]);
        }
        if (row.reading == 2) Format(canvas, 883, row.y, 2, "%d%%", 100 * row.value / 256);
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
            // Values beyond full scale stay inside the lane.
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
    const int64_t perColumn = std::max<int64_t>(UsableFrames(sample), 0) / 512 + 1;
    DrawWaveform(canvas, 505, 23, 512, 128, sample, 0, perColumn);
    DrawWaveform(canvas, 505, 153, 512, 32, sample, 0, perColumn);
}

// ---- Master ----

void DrawMasterPage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::MasterPage);
    if (app.song.eqOn) canvas.Blit(859, 5, PieceId::EqSwitchLit);
    const skin::Piece& shadow = skin::Get(PieceId::FaderShadow);
    for (int k = 0; k < 15; ++k) {
        const int g = std::clamp<int>(app.song.eqGains[k], -32, 32);
        canvas.Blend(532 + 21 * k, 62 - g, shadow.w, shadow.h, shadow.x, shadow.y);
        canvas.Blit(530 + 21 * k, 60 - g, PieceId::FaderKnob);
        char label[16];
        std::snprintf(label, sizeof label, "%c%.2d", g < 1 ? '-' : '+', std::abs(static_cast<int>(g * 0.375)));
        canvas.SmallText(528 + 21 * k, 128, label, 3, 2);
    }
}

// ---- Browser ----

void DrawBrowserPage(AppState& app, Canvas& canvas) {
    canvas.Blit(494, 0, PieceId::BrowserPage);
    const int id = app.pressedControl;
    if (id == 160) canvas.Blit(992, 16, PieceId::ChooseFolderPressed);
    if (id == 161) canvas.Blit(545, 16, PieceId::ArrowUpPressed);
    if (id == 162) canvas.Blit(502, 36, PieceId::SmallUpPressed);
    if (id == 163) canvas.Blit(502, 240, PieceId::SmallDownPressed);
    if (id == 165 && profile::kOwnModuleFormat) canvas.Blit(792, 256, PieceId::SavePressed);
    if (id == 166) canvas.Blit(1008, 16, PieceId::RefreshPressed);

    const int folderLength = static_cast<int>(strnlen(app.browserFolder, sizeof app.browserFolder));
    canvas.Text(565, 20, app.browserFolder, std::min(folderLength, 60), 2);
    if (folderLength >= 60) canvas.Text(964, 20, "...", 3, 2);

    const int count = std::clamp<int>(app.browserCount, 0, static_cast<int>(app.browserList.size()));
    const int scroll = std::clamp(app.browserScroll, 0, std::max(0, count - 18));
    for (int r = 0; r < 18; ++r) {
        const int index = scroll + r;
        if (index >= count) break;
        const BrowserEntry& entry = app.browserList[index];
        const int nameLength = static_cast<int>(strnlen(entry.name, sizeof entry.name));
        const int y = 38 + 12 * r;
        if (entry.directory) {
            canvas.Blit(524, 36 + 12 * r, PieceId::FolderIcon);
            canvas.Text(538, y, entry.name, std::min(nameLength, 68), 0);
        } else {
            char size[24];
            const int sizeLength = std::snprintf(size, sizeof size, "%u KB", entry.sizeLow / 1024);
            canvas.Text(1017 - 7 * sizeLength, y, size, sizeLength, 1);
            canvas.Text(526, y, entry.name, std::min(nameLength, 68 - sizeLength), 1);
        }
        if (index == app.browserSelection) canvas.BlendPiece(522, 36 + 12 * r, PieceId::BrowserTint);
    }

    const PieceId thumb = id == 164 ? PieceId::VerticalThumbDragged : PieceId::VerticalThumb;
    if (count <= 18)
        canvas.BlitStretchedVertical(503, 49, 190, thumb);
    else
        canvas.BlitStretchedVertical(503, 49 + 190 * scroll / count, (3420 + count - 1) / count, thumb);

    canvas.Text(565, 260, app.song.name, kNameLength, 2);
}

}  // namespace

void DrawPage(AppState& app, Canvas& canvas) {
    switch (app.screenPage) {
        case 0: DrawSetupPage(app, canvas); break;
        case 1: DrawBrowserPage(app, canvas); break;
        case 2: DrawInstrumentPage(app, canvas); break;
        case 3: canvas.Blit(494, 0, PieceId::RegionPage); break;
        case 4: DrawSamplePage(app, canvas); break;
        case 5: DrawMasterPage(app, canvas); break;
        default: break;  // no page: the band stays as the panels left it
    }
}

}  // namespace zelmora
