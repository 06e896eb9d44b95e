#include "render/song_json.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "app/profile.h"
#include "support/test_support.h"

namespace zelmora::render {
namespace {

using ::testing::HasSubstr;

std::string Json(AppState& app) {
    std::string out;
    AppendSongJson(app, out);
    return out;
}

// Frames 0.5, -0.25 on channel 0 and 1.0, 0.125 on channel 1.
double Two(int c, int f) {
    return c ? (f ? 0.125 : 1.0) : (f ? -0.25 : 0.5);
}

// A state as made holds the empty song: nothing listed, the ready message.
TEST(SongJson, NewSongListsNothingAndPatternsAppearWhenAnythingDiffers) {
    auto app = MakeTestApp();
    std::string tracks;
    for (int t = 0; t < kMaxTracks; ++t)
        tracks += (t ? ", " : "") + std::string("{\"name\": \"---\", \"mixer_volume\": 64}");
    EXPECT_EQ(
        Json(*app),
        "{\"status\": \"" + std::string(profile::kReadyStatus) + "\", \"name\": \"Untitled\", \"tempo\": 125, \"speed\": 6, \"track_count\": 4, "
        "\"edit_step\": 1, \"order_position\": 0, \"last_order\": 0, \"restart_order\": 0, \"orders\": [0], "
        "\"tracks\": [" +
            tracks + "], \"patterns\": [], \"instruments\": []}");

    Song& song = app->song;
    std::memcpy(song.name, "a\"b\\c\xe9\x80\x01\0x", 11);  // quotes, high bytes, a NUL ends the text
    song.lastOrder = 2;
    const uint8_t orders[] = {3, 7, 9, 200};  // 200 lies behind the last order: not listed
    std::copy(std::begin(orders), std::end(orders), song.orders);
    song.patterns[3].cells[5][2] = RawCell({49, 1, 12, 32, 0, 0, 15, 0});
    CellBytes(song.patterns[3].cells[255][31])[7] = 1;  // the very last cell counts
    song.patterns[7].rowsPerBeat = 8;
    song.patterns[9].lastRow = 15;
    SetName(song.patterns[11].name, "Intro");
    song.patterns[12].cells[100][3] = PatternCell{};  // all zero: stays unlisted
    const std::string json = Json(*app);
    EXPECT_THAT(json, HasSubstr("\"name\": \"a\\\"b\\\\c\\u00e9\\u0080\\u0001\", \"tempo\""));
    EXPECT_THAT(json, HasSubstr("\"last_order\": 2, \"restart_order\": 0, \"orders\": [3, 7, 9], "));
    EXPECT_THAT(
        json,
        HasSubstr(
            "\"patterns\": [{\"index\": 3, \"name\": \"---\", \"last_row\": 63, \"rows_per_beat\": 4, "
            "\"cells\": [[5, 2, 49, 1, 12, 32, 0, 0, 15, 0], [255, 31, 0, 0, 0, 0, 0, 0, 0, 1]]}, "
            "{\"index\": 7, \"name\": \"---\", \"last_row\": 63, \"rows_per_beat\": 8, \"cells\": []}, "
            "{\"index\": 9, \"name\": \"---\", \"last_row\": 15, \"rows_per_beat\": 4, \"cells\": []}, "
            "{\"index\": 11, \"name\": \"Intro\", \"last_row\": 63, \"rows_per_beat\": 4, \"cells\": []}], "
            "\"instruments\": []}"));
    std::memset(song.name, 'Z', sizeof song.name);  // a full field has no terminator
    EXPECT_THAT(Json(*app), HasSubstr("\"name\": \"" + std::string(sizeof song.name, 'Z') + "\", "));
}

TEST(SongJson, InstrumentsListOnlyTheSlotsThatDiffer) {
    auto app = MakeTestApp();
    app->NewSong();
    Instrument& lead = app->song.instruments[1];
    SetName(lead.name, "Lead");
    Sample& s = AddSample(*app, 1, 4, 2, 1, Two);
    s.sampleRate = 8363.0;
    s.loopMode = 1;
    s.loopLength = 2;
    s.baseNote = -3;
    app->song.instruments[5].envelopes[2].attack = 9;  // a field the JSON does not show still lists it
    app->song.instruments[6].samples[0].frames = 10;   // frames without audio: listed, not usable
    Sample& stereo = AddSample(*app, 2, 0, 2, 2, Two);
    stereo.audio[0][kSampleGuard - 1] = 0.75;  // guards are not audio
    stereo.audio[1][kSampleGuard + 2] = 0.75;

    const std::string json = Json(*app);
    EXPECT_THAT(
        json,
        HasSubstr(
            "\"instruments\": [{\"index\": 1, \"name\": \"Lead\", \"volume\": 64, \"pan\": 128, "
            "\"tune\": 128, \"cutoff\": 128, \"filter_type\": 0, \"resonance\": 128, \"samples\": "
            "[{\"slot\": 4, \"name\": \"---\", \"frames\": 2, \"channels\": 1, \"sample_rate\": 8363.0, "
            "\"loop_start\": 0, \"loop_length\": 2, \"loop_mode\": 1, \"key_low\": 0, \"key_high\": 127, "
            "\"velocity_low\": 0, \"velocity_high\": 127, \"pan\": 128, \"base_note\": -3, "
            "\"coarse_tune\": 0, \"fine_tune\": 0, \"scale_tuning\": 100, \"usable\": true, "
            "\"audio_fnv1a64\": \"27be67d4e5a3f215\"}]}, {\"index\": 2, "));
    EXPECT_THAT(json, HasSubstr("\"audio_fnv1a64\": \"359082387e7f2025\"}]}, {\"index\": 5, "));
    EXPECT_THAT(json, HasSubstr("\"samples\": []}, {\"index\": 6, "));
    EXPECT_THAT(json, HasSubstr("\"frames\": 10, \"channels\": 0, "));
    EXPECT_THAT(json, HasSubstr("\"usable\": false, \"audio_fnv1a64\": \"cbf29ce484222325\"}]}]}"));
    std::swap(stereo.audio[0], stereo.audio[1]);  // channel 0 is hashed first
    EXPECT_EQ(SampleAudioHash(stereo), 0x85932984d2306025ull);
}

TEST(SongJson, NumbersReadBackExactlyOrAreNull) {
    auto number = [](double v) {
        std::string out;
        AppendJsonDouble(out, v);
        return out;
    };
    EXPECT_EQ(number(44100.0), "44100.0");
    for (double v : {1.0 / 3.0, 22050.0 * std::sqrt(2.0), -1e-300, 1e300})
        EXPECT_EQ(std::strtod(number(v).c_str(), nullptr), v) << number(v);
    EXPECT_EQ(number(std::nan("")), "null");  // a stored rate that is not a number
    EXPECT_EQ(number(-HUGE_VAL), "null");
}

}  // namespace
}  // namespace zelmora::render
