#include "render/song_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "support/test_support.h"

namespace zelmora::render {
namespace {

std::string Json(AppState& app) {
    std::string out;
    AppendSongJson(app, out);
    return out;
}

std::string Text(const char* field, std::size_t size) {
    std::string out;
    AppendJsonText(out, field, size);
    return out;
}

std::string Number(double v) {
    std::string out;
    AppendJsonDouble(out, v);
    return out;
}

std::string Tracks() {
    std::string out;
    for (int t = 0; t < kMaxTracks; ++t)
        out += std::string(t ? ", " : "") + "{\"name\": \"---\", \"mixer_volume\": 64}";
    return out;
}

TEST(SongJson, NewSongListsNoPatternOrInstrument) {
    auto app = MakeTestApp();
    app->NewSong();
    EXPECT_EQ(
        Json(*app),
        "{\"status\": \"Ready.\", \"name\": \"Untitled\", \"tempo\": 125, \"speed\": 6, \"track_count\": 4, "
        "\"edit_step\": 1, \"order_position\": 0, \"last_order\": 0, \"restart_order\": 0, \"orders\": [0], "
        "\"tracks\": [" +
            Tracks() + "], \"patterns\": [], \"instruments\": []}");
}

TEST(SongJson, PatternsAppearWhenAnythingDiffers) {
    auto app = MakeTestApp();
    app->NewSong();
    Song& song = app->song;
    song.lastOrder = 2;
    song.orders[0] = 3;
    song.orders[1] = 7;
    song.orders[2] = 9;
    song.orders[3] = 200;  // behind the last order: not listed
    PatternCell& cell = song.patterns[3].cells[5][2];
    cell = PatternCell{49, 1, 12, 32, 0, 0, 15, 0};
    song.patterns[3].cells[255][31].parameter3 = 1;  // the very last cell counts
    song.patterns[7].rowsPerBeat = 8;
    song.patterns[9].lastRow = 15;
    SetName(song.patterns[11].name, "Intro");
    song.patterns[12].cells[100][3] = PatternCell{};  // all zero: stays unlisted

    const std::string json = Json(*app);
    EXPECT_NE(json.find("\"last_order\": 2, \"restart_order\": 0, \"orders\": [3, 7, 9], "),
              std::string::npos);
    EXPECT_NE(
        json.find(
            "\"patterns\": [{\"index\": 3, \"name\": \"---\", \"last_row\": 63, \"rows_per_beat\": 4, "
            "\"cells\": [[5, 2, 49, 1, 12, 32, 0, 0, 15, 0], [255, 31, 0, 0, 0, 0, 0, 0, 0, 1]]}, "
            "{\"index\": 7, \"name\": \"---\", \"last_row\": 63, \"rows_per_beat\": 8, \"cells\": []}, "
            "{\"index\": 9, \"name\": \"---\", \"last_row\": 15, \"rows_per_beat\": 4, \"cells\": []}, "
            "{\"index\": 11, \"name\": \"Intro\", \"last_row\": 63, \"rows_per_beat\": 4, \"cells\": []}], "
            "\"instruments\": []}"),
        std::string::npos)
        << json;
}

TEST(SongJson, InstrumentsListOnlyTheSlotsThatDiffer) {
    auto app = MakeTestApp();
    app->NewSong();
    Instrument& lead = app->song.instruments[1];
    SetName(lead.name, "Lead");
    Sample& s = lead.samples[4];
    s.frames = 2;
    s.channels = 1;
    s.sampleRate = 8363.0;
    ASSERT_TRUE(app->AllocateSampleAudio(s));
    s.audio[0][kSampleGuard] = 0.5;
    s.audio[0][kSampleGuard + 1] = -0.25;
    s.loopMode = 1;
    s.loopLength = 2;
    s.baseNote = -3;
    app->song.instruments[5].envelopes[2].attack = 9;  // a field the JSON does not show still lists it
    app->song.instruments[6].samples[0].frames = 10;   // frames without audio: listed, not usable

    const std::string json = Json(*app);
    EXPECT_NE(
        json.find(
            "\"instruments\": [{\"index\": 1, \"name\": \"Lead\", \"volume\": 64, \"pan\": 128, "
            "\"tune\": 128, \"cutoff\": 128, \"filter_type\": 0, \"resonance\": 128, \"samples\": "
            "[{\"slot\": 4, \"name\": \"---\", \"frames\": 2, \"channels\": 1, \"sample_rate\": 8363.0, "
            "\"loop_start\": 0, \"loop_length\": 2, \"loop_mode\": 1, \"key_low\": 0, \"key_high\": 127, "
            "\"velocity_low\": 0, \"velocity_high\": 127, \"pan\": 128, \"base_note\": -3, "
            "\"coarse_tune\": 0, \"fine_tune\": 0, \"scale_tuning\": 100, \"usable\": true, "
            "\"audio_fnv1a64\": \"27be67d4e5a3f215\"}]}, "
            "{\"index\": 5, "),
        std::string::npos)
        << json;
    EXPECT_NE(json.find("\"samples\": []}, {\"index\": 6, "), std::string::npos) << json;
    EXPECT_NE(json.find("\"frames\": 10, \"channels\": 0, "), std::string::npos);
    EXPECT_NE(json.find("\"usable\": false, \"audio_fnv1a64\": \"cbf29ce484222325\"}]}]}"),
              std::string::npos);
}

TEST(SongJson, AudioHashCoversChannelsInOrderAndSkipsGuards) {
    auto app = MakeTestApp();
    Sample& s = app->song.instruments[2].samples[0];
    s.frames = 2;
    s.channels = 2;
    ASSERT_TRUE(app->AllocateSampleAudio(s));
    const double values[2][2] = {{0.5, -0.25}, {1.0, 0.125}};
    for (int c = 0; c < 2; ++c)
        for (int f = 0; f < 2; ++f) s.audio[c][kSampleGuard + f] = values[c][f];
    s.audio[0][kSampleGuard - 1] = 0.75;  // guards are not audio
    s.audio[1][kSampleGuard + 2] = 0.75;
    EXPECT_EQ(SampleAudioHash(s), 0x359082387e7f2025ull);
    std::swap(s.audio[0], s.audio[1]);
    EXPECT_EQ(SampleAudioHash(s), 0x85932984d2306025ull);
}

TEST(SongJson, TextAndNumbersStayValidJson) {
    char field[kNameLength];
    SetName(field, "a\"b\\c");
    EXPECT_EQ(Text(field, kNameLength), "\"a\\\"b\\\\c\"");
    const char high[] = {'\xe9', '\x80', '\x01', '\0', 'x'};
    EXPECT_EQ(Text(high, sizeof high), "\"\\u00e9\\u0080\\u0001\"");
    std::memset(field, 'Z', sizeof field);  // full field, no terminator
    EXPECT_EQ(Text(field, kNameLength), "\"" + std::string(kNameLength, 'Z') + "\"");

    EXPECT_EQ(Number(44100.0), "44100.0");
    EXPECT_EQ(Number(8363.42), "8363.42");
    for (double v : {1.0 / 3.0, 22050.0 * std::sqrt(2.0), -1e-300, 1e300})
        EXPECT_EQ(std::strtod(Number(v).c_str(), nullptr), v) << Number(v);
    EXPECT_EQ(Number(std::nan("")), "null");
    EXPECT_EQ(Number(-HUGE_VAL), "null");
}

}  // namespace
}  // namespace zelmora::render
