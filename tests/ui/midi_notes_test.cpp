// MIDI notes against the note keys: the same notes, pressed and released on
// the keys and arriving as MIDI messages, leave the same cells, cursor, held
// notes and sounding voices behind.
#include "ui/midi_notes.h"

#include <cmath>
#include <cstring>

#include "app/profile.h"
#include "engine/engine_fixture.h"
#include "engine/sequencer.h"
#include "engine/transport.h"
#include "ui/keyboard.h"

namespace zelmora {
namespace {

// Each step: a note (48, 52, 55 or 60, the QWERTY keys Z C B Q at octave 4)
// pressed (+) or released (-).
struct Step {
    int note;
    bool down;
};

int KeyOf(int note) { return note == 48 ? 'Z' : note == 52 ? 'C' : note == 55 ? 'B' : 'Q'; }

struct Twin {
    std::unique_ptr<AppState> app = MakeEngineApp();
    Twin(bool edit, bool playing, int editStep) {
        AddSample(*app, 1, 0, 4410, 1, [](int, int) { return 0.5; }, 1, 0, 4410);
        app->editMode = edit ? 1 : 0;
        app->song.editStep = static_cast<uint8_t>(editStep);
        app->transport.playMode = playing ? kPlaySong : kStopped;
        app->cursor = {1, 0};
        app->transport.row = 2;
    }
};

TEST(MidiNotes, EnterAndPlayAsTheNoteKeysDo) {
    if constexpr (!profile::kKeyboardEditor) GTEST_SKIP() << "the earlier build has no note keys";
    const Step chord[] = {{48, true}, {52, true}, {55, true}, {52, false}, {48, false}, {55, false}, {60, true}};
    struct Case {
        bool edit, shift, playing;
        int editStep;
    } cases[] = {{false, false, false, 1}, {true, false, false, 1}, {true, false, false, 3},
                 {true, true, false, 1},   {true, false, true, 1},  {true, false, false, 0}};
    for (const Case& c : cases) {
        Twin keys(c.edit, c.playing, c.editStep), midi(c.edit, c.playing, c.editStep);
        bool offByZeroVelocity = false;
        for (const Step& s : chord) {
            if (s.down)
                KeyDown(*keys.app, KeyOf(s.note), false, {c.shift, false});
            else
                KeyUp(*keys.app, KeyOf(s.note));
            // Note-offs alternate between 0x80 and a note-on of velocity 0.
            offByZeroVelocity = !offByZeroVelocity;
            const uint8_t status = s.down || offByZeroVelocity ? 0x93 : 0x83;
            QueueMidiMessage(status, static_cast<uint8_t>(s.note), s.down ? 127 : 0);
            TakeMidiMessages(*midi.app, c.shift);
        }
        const AppState& k = *keys.app;
        const AppState& m = *midi.app;
        SCOPED_TRACE(::testing::Message() << "edit " << c.edit << " shift " << c.shift << " playing " << c.playing
                                          << " step " << c.editStep);
        EXPECT_EQ(std::memcmp(&k.song.patterns[0], &m.song.patterns[0], sizeof k.song.patterns[0]), 0);
        EXPECT_EQ(m.transport.row, k.transport.row);
        EXPECT_EQ(m.cursor.column, k.cursor.column);
        EXPECT_EQ(std::memcmp(k.heldNotes, m.heldNotes, sizeof k.heldNotes), 0);
        for (int v = 0; v < kVoiceCount; ++v) {
            EXPECT_EQ(m.voices[v].envelopeStage, k.voices[v].envelopeStage) << "voice " << v;
            EXPECT_EQ(m.voices[v].note, k.voices[v].note) << "voice " << v;
        }
    }
}

// The sound, not only the voice: a third of full velocity is a third of the
// level (the sample is a constant 0.5, so every frame shows it); the cell
// holds the note alone.
TEST(MidiNotes, VelocityScalesOnlyThePreview) {
    if constexpr (profile::kLinearVoices) GTEST_SKIP() << "the earlier build's voices have no velocity gain";
    double level[2] = {};
    for (int soft = 0; soft < 2; ++soft) {
        Twin midi(true, false, 1);
        QueueMidiMessage(0x90, 127, soft ? 42 : 126);  // the top MIDI note
        TakeMidiMessages(*midi.app, false);
        EXPECT_EQ(midi.app->heldNotes[127], 127);
        EXPECT_EQ(midi.app->song.patterns[0].cells[2][1].note, 128);
        for (int i = 0; i < 64; ++i) RenderBuffer(*midi.app);  // past the attack
        level[soft] = std::fabs(midi.app->mixLeft[255]) + std::fabs(midi.app->mixRight[255]);
    }
    ASSERT_GT(level[0], 0.0);
    EXPECT_NEAR(level[1] / level[0], 42.0 / 126.0, 1e-9);
}

// A flood from a device: what does not fit is dropped, the rest arrives in
// order, and the queue works on afterwards; other messages and bad data bytes
// never enter.
TEST(MidiNotes, QueueBoundsAndFilters) {
    ClearMidiQueue();
    Twin midi(false, false, 1);
    EXPECT_FALSE(QueueMidiMessage(0xB0, 7, 100));  // a controller
    EXPECT_FALSE(QueueMidiMessage(0x90, 200, 100));  // no such note
    for (int i = 0; i < kMidiQueueSize + 40; ++i) {
        const bool wake = QueueMidiMessage(0x90, static_cast<uint8_t>(i % 128), 100);
        EXPECT_EQ(wake, i == 0) << "only the first note wakes the main thread";
    }
    EXPECT_TRUE(TakeMidiMessages(*midi.app, false));
    for (int n = 0; n < 128; ++n) EXPECT_EQ(midi.app->heldNotes[n], 127) << n;
    EXPECT_FALSE(TakeMidiMessages(*midi.app, false));  // the rest was dropped, not kept
    EXPECT_TRUE(QueueMidiMessage(0x80, 5, 0));
    EXPECT_TRUE(TakeMidiMessages(*midi.app, false));
    EXPECT_EQ(midi.app->heldNotes[5], 0);
}

}  // namespace
}  // namespace zelmora
