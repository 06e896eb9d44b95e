// The panels that are always on screen: playlist, sequencer, instrument and
// region lists, toolbar and the pattern editor. Each draws its background,
// then the pressed picture of the held control, then its values, all from the
// song and editor state of this moment.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/profile.h"
#include "ui/draw.h"
#include "ui/editing.h"
#include "ui/screen_places.h"

namespace zelmora {

using place::PlaceId;
using skin::PieceId;

namespace {

// Note-name table: 4 bytes an entry, padded with zeros.
struct NoteNames {
    char names[132][4];
    constexpr NoteNames() : names{} {
        constexpr char kLetters[] = "CCDDEFFGGAAB";
        constexpr char kSharps[] = "-#-#--#-#-#-";
        names[0][0] = names[0][1] = names[0][2] = '-';
        for (int n = 0; n < 128; ++n) {
            const int octave = n / 12;
            names[n + 1][0] = kLetters[n % 12];
            names[n + 1][1] = kSharps[n % 12];
            names[n + 1][2] = static_cast<char>(octave < 10 ? '0' + octave : 'A');
        }
        const char* extra[3] = {"Off", "Mid", "Res"};
        for (int i = 0; i < 3; ++i)
            for (int c = 0; c < 3; ++c) names[129 + i][c] = extra[i][c];
    }
};
constexpr NoteNames kNoteNames;

constexpr char kHexDigits[] = "0123456789ABCDEF";

// A pressed picture on cell i of a place.
void Pressed(Canvas& canvas, PlaceId at, int i, PieceId piece) {
    const place::Box cell = place::CellOf(at, i);
    canvas.Blit(cell.x, cell.y, piece);
}

// The pressed picture of an arrow pair's cell: the up arrow on even cells
// (left), the down arrow on odd ones.
void PressedArrow(Canvas& canvas, PlaceId at, int i) {
    Pressed(canvas, at, i, i % 2 == 0 ? PieceId::ArrowUpPressed : PieceId::ArrowDownPressed);
}

// A vertical scroll thumb inside its bar (one pixel in from its left and top).
void BarThumb(Canvas& canvas, PlaceId bar, int offset, int h, bool dragged) {
    const place::Place& p = place::Get(bar);
    canvas.BlitStretchedVertical(p.x + 1, p.y + 1 + offset, h,
                                 dragged ? PieceId::VerticalThumbDragged : PieceId::VerticalThumb);
}

int RowsPerBeatStyle(int row, int rowsPerBeat) {
    // A rows-per-beat of 0 marks no beats rather than dividing by it.
    if (rowsPerBeat <= 0) return 1;
    return row % rowsPerBeat == 0 ? 0 : 1;
}

}  // namespace

const char* NoteName(int noteByte) {
    if (noteByte < 0 || noteByte > 131) return "???";
    return kNoteNames.names[noteByte];
}

void DrawHex(Canvas& canvas, int x, int y, int value, int style) {
    char text[2];
    if (value == 256) {
        text[0] = '!';
        text[1] = '0';
    } else {
        text[0] = kHexDigits[(value >> 4) & 15];
        text[1] = kHexDigits[value & 15];
    }
    canvas.Text(x, y, text, 2, style);
}

void DrawField(Canvas& canvas, int x, int y, const char* field, int size, int count, int style) {
    char text[256];
    count = std::clamp(count, 0, 256);
    for (int i = 0; i < count; ++i) text[i] = i < size ? field[i] : '\0';
    canvas.Text(x, y, text, count, style);
}

void DrawPlaylist(AppState& app, Canvas& canvas) {
    const Song& song = app.song;
    canvas.Blit(0, 0, PieceId::PlaylistPanel);
    const int id = app.pressedControl;
    if (id >= 1 && id <= 8) PressedArrow(canvas, PlaceId::PlaylistArrows, id - 1);
    if (id == 9) Pressed(canvas, PlaceId::OrderUp, 0, PieceId::SmallUpPressed);
    if (id == 10) Pressed(canvas, PlaceId::OrderDown, 0, PieceId::SmallDownPressed);
    if (id == 12) Pressed(canvas, PlaceId::InsertButton, 0, PieceId::InsertPressed);
    if (id == 13) Pressed(canvas, PlaceId::DeleteButton, 0, PieceId::DeletePressed);
    if (id == 14) Pressed(canvas, PlaceId::SmallArrows, 0, PieceId::SmallUpPressed);
    if (id == 15) Pressed(canvas, PlaceId::SmallArrows, 1, PieceId::SmallDownPressed);
    if (id >= 16 && id <= 19) Pressed(canvas, PlaceId::PlaylistFields, id - 16, PieceId::FieldPressed);
    if (id == 20) Pressed(canvas, PlaceId::FillButton, 0, PieceId::FillPressed);

    const int position = song.orderPosition;
    const int length = song.lastOrder + 1;
    const int values[4] = {position, song.orders[position], length, song.restartOrder};
    for (int i = 0; i < 4; ++i) {
        const place::Box field = place::CellOf(PlaceId::PlaylistFields, i);
        DrawHex(canvas, field.x + place::kFieldInset, field.y + place::kFieldInset, values[i], 2);
    }

    const int barLength = place::Get(PlaceId::OrderBar).h - 2;
    BarThumb(canvas, PlaceId::OrderBar, barLength * position / length, (barLength + length - 1) / length,
             id == 11);

    const int indexX = place::Get(PlaceId::OrderIndexColumn).x + place::kRowNumberDx;
    const int patternX = place::Get(PlaceId::OrderHighDigit).x + place::kRowNumberDx;
    for (int line = 0; line < 9; ++line) {
        const int entry = position - 4 + line;
        if (entry < 0 || entry > song.lastOrder) continue;
        const int y = place::CellOf(PlaceId::OrderRows, line).y + place::kRowTextDy;
        const int style = entry == position ? 2 : entry % 4 == 0 ? 0 : 1;
        DrawHex(canvas, indexX, y, entry, style);
        DrawHex(canvas, patternX, y, song.orders[entry], style);
        DrawField(canvas, patternX + 21, y, song.patterns[song.orders[entry]].name, kNameLength, 11, style);
    }
}

void DrawSequencer(AppState& app, Canvas& canvas) {
    const Song& song = app.song;
    canvas.Blit(0, 192, PieceId::SequencerPanel);
    const int id = app.pressedControl;
    if (id >= 32 && id <= 35) Pressed(canvas, PlaceId::SequencerFields, id - 32, PieceId::LabelPressed);
    if (id >= 36 && id <= 43) PressedArrow(canvas, PlaceId::SequencerArrows, id - 36);
    constexpr PieceId kTransportPressed[4] = {PieceId::PlaySongPressed, PieceId::PlayPatternPressed,
                                              PieceId::StopPressed, PieceId::PlayFromRowPressed};
    if (id >= 44 && id <= 47) Pressed(canvas, PlaceId::Transport, id - 44, kTransportPressed[id - 44]);

    // The button of the running play mode is lit.
    const int lit = app.transport.playMode == kPlaySong ? 0 : app.transport.playMode == kPlayPattern ? 1 : -1;
    if (lit >= 0) {
        const place::Box button = place::CellOf(PlaceId::Transport, lit);
        canvas.Invert(button.x, button.y, button.w, button.h);
    }

    // Three digits of tempo, two of the others, right-aligned in their fields.
    char text[16];
    auto at = [](int i, int digits) {
        const place::Box field = place::CellOf(PlaceId::SequencerFields, i);
        return Rect{field.x + field.w - 3 - 7 * digits, field.y + place::kFieldInset, 0, 0};
    };
    std::snprintf(text, sizeof text, "%.3d", song.tempo);
    canvas.Text(at(0, 3).x, at(0, 3).y, text, 3, 2);
    DrawHex(canvas, at(1, 2).x, at(1, 2).y, song.speed, 2);
    std::snprintf(text, sizeof text, "%.2d", song.trackCount);
    canvas.Text(at(2, 2).x, at(2, 2).y, text, 2, 2);
    DrawHex(canvas, at(3, 2).x, at(3, 2).y, song.editStep, 2);
}

namespace {

// One list: rows of number and name from the first shown item, the current
// one tinted.
void DrawListRows(Canvas& canvas, PlaceId rows, int first, int current, auto nameOf) {
    const place::Place& p = place::Get(rows);
    for (int line = 0; line < p.h / p.cellH; ++line) {
        const int number = first + line;
        const int style = number == current ? 0 : 1;
        const place::Box row = place::CellOf(rows, line);
        DrawHex(canvas, row.x + place::kRowNumberDx, row.y + place::kRowTextDy, number, style);
        DrawField(canvas, row.x + place::kRowNameDx, row.y + place::kRowTextDy, nameOf(number), kNameLength,
                  22, style);
        if (number == current) canvas.BlendPiece(row.x, row.y, PieceId::ListTint);
    }
}

// The lists' thumbs have a fixed height: the top h rows of the thumb piece.
void ListThumb(Canvas& canvas, PlaceId bar, int offset, int h, bool dragged) {
    const place::Place& p = place::Get(bar);
    canvas.BlitPart(p.x + 1, p.y + 1 + offset,
                    dragged ? PieceId::VerticalThumbDragged : PieceId::VerticalThumb, 0, 0, 14, h);
}

}  // namespace

void DrawLists(AppState& app, Canvas& canvas) {
    canvas.Blit(188, 0, PieceId::ListsPanel);
    const int id = app.pressedControl;
    if (id == 64) Pressed(canvas, PlaceId::InstrumentUp, 0, PieceId::SmallUpPressed);
    if (id == 65) Pressed(canvas, PlaceId::InstrumentDown, 0, PieceId::SmallDownPressed);
    if (id == 67) Pressed(canvas, PlaceId::SampleUp, 0, PieceId::SmallUpPressed);
    if (id == 68) Pressed(canvas, PlaceId::SampleDown, 0, PieceId::SmallDownPressed);

    // SANITY: list positions from the mouse are clamped when drawn, so no
    // line reads past the 256 instruments or sample slots.
    const int firstInstrument = std::clamp(app.firstShownInstrument, 0, kMaxInstruments - 12);
    const int current = app.currentInstrument & 0xFF;
    DrawListRows(canvas, PlaceId::InstrumentRows, firstInstrument, current,
                 [&](int number) { return app.song.instruments[number].name; });
    ListThumb(canvas, PlaceId::InstrumentBar, firstInstrument / 3, 37, id == 66);

    const Instrument& instrument = app.song.instruments[current];
    const int firstSlot = std::clamp(app.firstShownSample, 0, kMaxSampleSlots - 8);
    DrawListRows(canvas, PlaceId::SampleRows, firstSlot, app.currentSample,
                 [&](int slot) { return instrument.samples[slot].name; });
    ListThumb(canvas, PlaceId::SampleBar, firstSlot / 4, 8, id == 69);
}

void DrawToolbar(AppState& app, Canvas& canvas) {
    canvas.Blit(430, 0, PieceId::ToolbarPanel);
    const int page = app.screenPage;
    if (page >= 0 && page < 6) {
        const place::Box button = place::CellOf(PlaceId::Toolbar, page);
        canvas.BlitPart(button.x, button.y, PieceId::ToolbarLit, 0, skin::kToolbarButtonH * page, button.w,
                        button.h);
    }
}

int FollowCursorTrack(AppState& app, int width) {
    const int slots = TrackSlotCount(width);
    int first = app.firstShownTrack;
    const int track = app.cursor.track;
    if (track < first) first = track;
    if (track >= first + slots - 2) first = track - slots + 2;
    first = std::clamp(first, 0, kMaxTracks - 1);
    app.firstShownTrack = first;
    return first;
}

namespace {

void DrawCell(Canvas& canvas, int x0, int y, const PatternCell& cell, int style) {
    if (cell.note == 0)
        canvas.BlitPart(x0, y, PieceId::EmptyNote, 0, skin::kTextH * style, 21, skin::kTextH);
    else
        canvas.Text(x0, y, NoteName(cell.note), 3, style);
    if (cell.instrument == 0)
        canvas.BlitPart(x0 + 25, y, PieceId::EmptyInstrument, 0, skin::kTextH * style, 14, skin::kTextH);
    else
        DrawHex(canvas, x0 + 25, y, cell.instrument, style);
    // The earlier build shows its timing byte as two hexadecimal digits in the
    // first effect column and its two effect slots after it.
    int first = 0;
    if constexpr (profile::kCellTiming) {
        canvas.Text(x0 + 46, y, " ", 1, style);
        DrawHex(canvas, x0 + 53, y, CellTiming(cell), style);
        first = 1;
    }
    for (int e = first; e < 3; ++e) {
        const int xe = x0 + 46 + 25 * e;
        const int command = CellCommand(cell, e - first), parameter = CellParameter(cell, e - first);
        if (command == 0 && parameter == 0) {
            canvas.BlitPart(xe, y, PieceId::EmptyEffect, 0, skin::kTextH * style, 21, skin::kTextH);
            continue;
        }
        // A command beyond the 36 value glyphs: the chord command reads "+"
        // (its parameter is the interval), anything else "?".
        if (command < skin::kValueGlyphs)
            canvas.ValueGlyph(xe, y, command, style);
        else
            canvas.Text(xe, y, command == kChordCommand ? "+" : "?", 1, style);
        DrawHex(canvas, xe + 7, y, parameter, style);
    }
}

}  // namespace

void DrawFader(Canvas& canvas, int x, int y) {
    canvas.BlendPiece(x + 2, y + 2, PieceId::FaderShadow);
    canvas.Blit(x, y, PieceId::FaderKnob);
}

void DrawPatternEditor(AppState& app, Canvas& canvas, int width, int height) {
    Song& song = app.song;
    const Pattern& pattern = CurrentPattern(app);
    const int W = width, H = height;
    const Rect fullClip = canvas.Clip();

    // 1. Header band.
    canvas.Blit(0, 272, PieceId::HeaderBand);
    for (int x = 584; x < W; x += 64) canvas.Blit(x, 272, PieceId::HeaderTile);
    canvas.Blit(W - 1, 272, PieceId::HeaderRightEdge);
    DrawHex(canvas, 71, 292, song.orders[song.orderPosition], 2);
    DrawField(canvas, 124, 292, pattern.name, kNameLength, kNameLength, 2);
    DrawHex(canvas, 418, 292, pattern.lastRow + 1, 2);
    DrawHex(canvas, 534, 292, pattern.rowsPerBeat, 2);
    canvas.Text(588, 292, app.statusLine, static_cast<int>(strnlen(app.statusLine, sizeof app.statusLine)), 2);

    // 2. The groove of the horizontal scroll bar.
    canvas.Blit(49, H - 24, PieceId::GrooveLeftCap);
    for (int x = 62; x < W - 42; x += 64) canvas.Blit(x, H - 24, PieceId::GrooveTile);
    canvas.Blit(W - 42, H - 24, PieceId::GrooveRightCap);

    // 3. Track slots.
    const int slots = TrackSlotCount(W);
    const int first = FollowCursorTrack(app, W);
    const int R = CursorRowLine(H);
    const int trackCount = std::clamp<int>(song.trackCount, 1, kMaxTracks);
    const uint32_t tick = app.tickCounter.load(std::memory_order_relaxed);
    for (int i = 0; i < slots; ++i) {
        const int x = 49 + 126 * i;
        const int track = first + i;
        const bool exists = track < trackCount;
        canvas.Blit(x, 308, exists ? PieceId::TrackHeader : PieceId::EmptyTrackHeader);
        for (int y = place::kPatternRowsTop; y < H - 124; y += 32)
            canvas.Blit(x, y, exists ? PieceId::TrackBody : PieceId::EmptyTrackBody);
        canvas.Blit(x, R, exists ? PieceId::TrackCursorBar : PieceId::EmptyTrackCursorBar);
        canvas.Blit(x, H - 124, exists ? PieceId::MixerStrip : PieceId::EmptyMixerStrip);
        if (!exists) continue;
        TrackSettings& settings = song.tracks[track];
        DrawHex(canvas, x + 50, 312, track, 2);
        if constexpr (profile::kEverydayEditing) {
            // The mute and solo lights: the lit half of each piece when set.
            canvas.BlitPart(x + place::kMuteLight.x, place::kMuteLight.y, PieceId::MuteLight, 0,
                            app.trackMuted[track] ? place::kMuteLight.h : 0, place::kMuteLight.w, place::kMuteLight.h);
            canvas.BlitPart(x + place::kSoloLight.x, place::kSoloLight.y, PieceId::SoloLight, 0,
                            app.trackSoloed[track] ? place::kSoloLight.h : 0, place::kSoloLight.w, place::kSoloLight.h);
        }
        if (track == app.cursor.track)
            canvas.Blit(x + 103, 312, app.editMode ? PieceId::EditModeOn : PieceId::EditModeOff);
        DrawField(canvas, x + 8, 328, settings.name, kNameLength, 16, 2);
        DrawStereoMeter(canvas, x + 8, H - 115, settings.channel.peakLeft, settings.channel.peakRight,
                        app.trackHolds[track][0], app.trackHolds[track][1], tick, false);
        const int volume = std::min<int>(settings.mixerVolume, 64);
        DrawFader(canvas, x + place::kTrackFaderDx, place::FaderKnobTop(H, volume));
    }

    // 4. Side columns.
    canvas.Blit(0, 308, PieceId::SideLeftTop);
    canvas.Blit(W - 29, 308, PieceId::SideRightTop);
    for (int y = 353; y < H - 137; y += 32) {
        canvas.Blit(0, y, PieceId::SideLeftTile);
        canvas.Blit(W - 29, y, PieceId::SideRightTile);
    }
    canvas.Blit(28, R, PieceId::RowMarkerLeft);
    canvas.Blit(W - 25, R, PieceId::RowMarkerRight);
    canvas.Blit(0, H - 137, PieceId::SideLeftBottom);
    canvas.Blit(W - 29, H - 137, PieceId::SideRightBottom);

    // 5. Rows.
    const int row = app.transport.row;
    const int lastRow = pattern.lastRow;
    const int half = ((H - 464) / 12 + 1) / 2;
    const int cursorTrack = app.cursor.track;
    auto clipTo = [&](int x0, int x1) {
        canvas.SetClip(Rect{x0, place::kPatternRowsTop, x1 - x0, H - 124 - place::kPatternRowsTop});
        const Rect& c = canvas.Clip();
        // Stay inside the frame's own clip.
        const int cx0 = std::max(c.x, fullClip.x), cy0 = std::max(c.y, fullClip.y);
        const int cx1 = std::min(c.x + c.w, fullClip.x + fullClip.w), cy1 = std::min(c.y + c.h, fullClip.y + fullClip.h);
        canvas.SetClip(Rect{cx0, cy0, cx1 - cx0, cy1 - cy0});
    };
    int r0 = 0, r1 = -1, t0 = 0, t1 = -1;
    const bool selected = profile::kEverydayEditing && SelectionBounds(app, r0, r1, t0, t1);
    for (int k = -half; k <= half; ++k) {
        const int r = row + k;
        if (r < 0 || r > lastRow) continue;
        const int y = R + 12 * k + 2;
        const int style = k == 0 ? 2 : RowsPerBeatStyle(r, pattern.rowsPerBeat);
        clipTo(0, W);
        DrawHex(canvas, 32, y, r, style);
        DrawHex(canvas, W - 21, y, r, style);
        clipTo(28, W - 29);
        for (int j = 0; j < slots; ++j) {
            const int track = first + j;
            if (track >= trackCount) break;
            DrawCell(canvas, 56 + 126 * j, y, pattern.cells[r][track], style);
            // The block selection: the list tint blended over its cells.
            if (selected && r >= r0 && r <= r1 && track >= t0 && track <= t1) {
                const skin::Piece& tint = skin::Get(PieceId::ListTint);
                canvas.Blend(place::kCursorBoxX + place::kSlotPitch * j, y - 2, place::kCellsWidth, place::kRowPitch,
                             tint.x, tint.y);
            }
        }
    }
    canvas.SetClip(fullClip);

    // 6, 7. Scroll thumbs.
    const int rows = lastRow + 1;
    if (H > 490)
        canvas.BlitStretchedVertical(9, 353 + (H - 490) * row / rows, (H - 490 + rows - 1) / rows,
                                     PieceId::VerticalThumb);
    if (W > 104)
        canvas.BlitStretchedHorizontal(62 + (W - 104) * cursorTrack / trackCount, H - 19,
                                       (W - 104 + trackCount - 1) / trackCount, PieceId::HorizontalThumb);

    // 8. Master strip.
    if constexpr (profile::kMasterSection) {
        DrawStereoMeter(canvas, 8, H - 115, song.meters.peakLeft, song.meters.peakRight, app.masterHolds[0],
                        app.masterHolds[1], tick, false);
        DrawFader(canvas, place::kMasterFaderX, place::FaderKnobTop(H, std::min<int>(song.masterVolume, 64)));
        DrawLoadMeter(canvas, W - 25, H - 115, song.meters.cpuLoad, app.loadHold, tick, false);
    }

    // 9. The cursor.
    const int column = std::clamp(app.cursor.column, 0, place::kCellColumns - 1);
    canvas.Invert(place::kCursorBoxX + place::kSlotPitch * (cursorTrack - first) + place::kColumnOffsets[column], R + 1,
                  place::ColumnWidth(column), 10);
}

}  // namespace zelmora
