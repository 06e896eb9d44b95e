#include "app/app_state.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstring>
#include <new>

#include "app/profile.h"
#include "engine/mixer.h"
#include "platform/platform.h"
#include "ui/browser.h"

namespace zelmora {

AppState* AppState::instance = nullptr;
double EnvelopeTimeTable[256];

void FillEnvelopeTimeTable() {
    for (int i = 0; i < 256; ++i) EnvelopeTimeTable[i] = std::pow(2.0, (i - 128) / 24.0);
}

void* AppState::operator new(std::size_t size) {
    void* block = AllocateLarge(size);
    if (!block) throw std::bad_alloc();
    return block;
}

void* AppState::operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateLarge(size); }

void AppState::operator delete(void* block, std::size_t size) noexcept { FreeLarge(block, size); }

void AppState::operator delete(void* block, const std::nothrow_t&) noexcept { FreeLarge(block, sizeof(AppState)); }

AppState::AppState() : AppState(Options{}) {}

AppState::AppState(const Options& options) {
    // Voices are made by their constructor; the equaliser sections start at rest.
    std::memset(masterEq, 0, sizeof masterEq);
    if constexpr (profile::kEnvelopeTimes) FillEnvelopeTimeTable();  // the earlier build has none
    BuildEngineTables();
    if (options.measureCycleRate)
        cycleRate = MeasureCycleRate();
    else
        cycleRate = options.cycleRate > 0.0 ? options.cycleRate : NominalCycleRate();
    ResetAudioState(*this);
    ZeroSong(song);
    mouseX = mouseY = 0;
    std::fill(std::begin(keyNotes), std::end(keyNotes), int16_t{-1});
    std::fill(std::begin(keyTracks), std::end(keyTracks), int8_t{-1});
    std::memset(browserFolder, 0, sizeof browserFolder);
    CurrentDirectory(browserFolder, sizeof browserFolder);
    // SANITY: a start folder that cannot be had (removed, or its path too
    // long) would leave the browser empty and put the first save at the root;
    // the browser starts in the user's home folder instead.
    if (browserFolder[0] == '\0') {
        const std::string home = HomeFolder();
        if (home.size() < sizeof browserFolder) std::memcpy(browserFolder, home.c_str(), home.size() + 1);
    }
    ListFolder(*this);
    transport = Transport{};
    NewSong();
    redrawRequest.store(1, std::memory_order_relaxed);
    tickCounter.store(0, std::memory_order_relaxed);
}

AppState::~AppState() {
    if (instance == this) instance = nullptr;
    // Only the sample audio lives outside the state: stop the player and free it.
    StateGuard lock(stateLock);
    StopPlayer(*this);
    for (Instrument& in : song.instruments)
        for (Sample& s : in.samples) FreeSampleAudio(s);
}

std::unique_ptr<AppState> AppState::Create(const Options& options) {
    std::unique_ptr<AppState> app(new (std::nothrow) AppState(options));
    return app;
}

void AppState::NewSong() {
    StateGuard lock(stateLock);
    pressedControl = 0;
    repeatCounter = 0;
    editMode = 0;
    keyboardOctave = 4;
    cursor = EditorCursor{};
    firstShownTrack = 0;
    currentInstrument = 1;
    firstShownInstrument = 1;
    envelopeTab = 0;
    currentSample = 0;
    firstShownSample = 0;
    screenPage = 1;
    textEditTarget = nullptr;
    textEdit = TextEditState{};
    SetStatus(*this, "%s", profile::kReadyStatus);
    std::memset(heldNotes, 0, sizeof heldNotes);
    std::fill(std::begin(keyNotes), std::end(keyNotes), int16_t{-1});
    std::fill(std::begin(keyTracks), std::end(keyTracks), int8_t{-1});
    std::memset(trackBuffer, 0, sizeof trackBuffer);
    ++songGeneration;

    StopPlayer(*this);
    SetStatus(*this, "%s", profile::kReadyStatus);
    transport.row = 0;

    ResetSongFields(song);
}

void AppState::ClearInstrument(int instrument) {
    if (instrument < 0 || instrument >= kMaxInstruments) return;
    StateGuard lock(stateLock);
    ResetInstrumentFields(song.instruments[instrument]);
}

void AppState::ClearSample(Sample& sample) {
    StateGuard lock(stateLock);
    FreeSampleAudio(sample);
    ResetSampleFields(sample);
}

bool AppState::AllocateSampleAudio(Sample& sample) {
    StateGuard lock(stateLock);
    return zelmora::AllocateSampleAudio(sample);
}

}  // namespace zelmora
