#include "hearing/HearingTest.h"

#include "records/RecordLine.h"
#include "support/ControlIds.h"
#include "support/MainDialog.h"

#include <cstring>

namespace {

// Tone index to Hz; the chart labels its columns with the same table.
constexpr int ToneFrequencies[HearingTest::ToneCount] = {70,   125,  250,  500,  1000,
                                                         2000, 4000, 6000, 8000, 12000};

constexpr const char* NewPersonName = "Neue Person";
constexpr double LevelGrowth = 1.015;

} // namespace

HearingTest::HearingTest(WaveOutDevice& device, DialogControls& dialogControls, Clock& testClock,
                         OutputVolumeWatch* watch)
    : WaveStreamer(device), controls(dialogControls), clock(testClock), volumeWatch(watch) {
    // The records and comparison start empty and zero by their initialisers.
    Reset();
    SetModalListener(this);
    // The writer thread's news reach the dialog as a command, like the audio thread's.
    store.SetSavedSignal(
        [](void* self) {
            if (WindowHandle dialog = MainDialog()) {
                static_cast<HearingTest*>(self)->controls.PostCommand(
                    dialog, MakeCommandParam(IdRecordsSaved, 0), 0);
            }
        },
        this);
}

HearingTest::~HearingTest() {
    if (CurrentModalListener() == this) {
        SetModalListener(nullptr);
    }
    // The records were saved by the end of the program (SaveRecords), not here. A save still
    // under way tells nobody any more.
    store.SetSavedSignal(nullptr, nullptr);
    Close();
}

void HearingTest::LoadRecords(const char* path) {
    store.Load(path);
}

bool HearingTest::ParseRecordLine(const char* line, PersonRecord& record) {
    return ReadRecordLine(line, std::strlen(line), record);
}

bool HearingTest::SaveRecords(std::uint32_t milliseconds, bool tell, const PersonRecord* unstored) {
    const bool finished = store.SaveAndWait(milliseconds, unstored);
    if (finished && tell) {
        store.ReportSave(nullptr);
    }
    return finished;
}

void HearingTest::Reset() {
    flags = 0;
    toneIndex = 0;
    frequency = 0.0;
    phase = 0.0;
    level = 0.0;
    silentBuffers = 0;
    outputSilent = false;
    std::memset(&current, 0, sizeof current);
    std::memcpy(current.name, NewPersonName, std::strlen(NewPersonName) + 1);
    growth = LevelGrowth;
}

void HearingTest::NewTest() {
    Stop();
    Close();
    Reset();
    if (volumeWatch != nullptr) {
        volumeWatch->Follow(false);
    }
}

void HearingTest::StartLeft() {
    StartRun(current.left, LeftEar);
}

void HearingTest::StartRight() {
    StartRun(current.right, RightEar);
}

void HearingTest::StartRun(std::int32_t* levels, std::int32_t ear) {
    phase = 0.0;
    level = 0.0;
    // The other ear's levels stay; the unsaved mark is set anew.
    std::memset(levels, 0, sizeof current.left);
    flags = ear | Unsaved;
    toneIndex = -1;
    NextTone();
}

int HearingTest::NextTone() {
    const std::int32_t ears = flags.load();

    if (toneIndex >= 0) {
        if (held.load()) {
            // Delivered by the loop of a modal window, posted before it opened: the person
            // could not answer, so nothing is recorded; the tone waits silent for the window.
            return 1;
        }
        if (outputSilent.load()) {
            // Nobody could hear the tone any more; the dialog ends the run.
            return 1;
        }
        // What sounds as the press arrives (see HeardLevel); the audio thread goes on until the
        // device is stopped below, which changes nothing already heard.
        const int heard = static_cast<int>(HeardLevel()) + 1;
        if (heard < 2) {
            // Too early: the tone is not yet audible at all. Let it keep rising.
            return 1;
        }
        Stop();
        Close();
        if (toneIndex < ToneCount) {
            // A tone goes into the ear it was played to. When a stored record was loaded during
            // the run (no ear bit left), the tone was written to neither channel, so its level
            // says nothing about the loaded person and is not stored anywhere.
            if (ears & LeftEar) {
                current.left[toneIndex] = heard;
            } else if (ears & RightEar) {
                current.right[toneIndex] = heard;
            }
        }
    }

    const std::int32_t* levels = nullptr;
    if (ears & LeftEar) {
        levels = current.left;
    } else if (ears & RightEar) {
        levels = current.right;
    }
    int candidates[ToneCount];
    int count = 0;
    for (int index = 0; levels != nullptr && index < ToneCount; ++index) {
        if (levels[index] == 0) {
            candidates[count++] = index;
        }
    }
    if (count == 0) {
        if (volumeWatch != nullptr) {
            volumeWatch->Follow(false);
        }
        return 0; // the ear is done; toneIndex keeps the last tone
    }

    int choice = candidates[0];
    if (count > 1) {
        random.Seed(clock.TickCount());
        // Rounding up leaves the lowest candidate to a draw of exactly 0, and folds the top of
        // the range into the last one: the lowest remaining frequency is nearly always measured
        // last and the highest about twice as often as the others at each step.
        const int step = static_cast<int>(static_cast<double>(SystemRandom::Max) / count);
        int pick = (random.Next() + step - 1) / step;
        if (pick >= count - 1) {
            pick = count - 1;
        }
        choice = candidates[pick];
    }

    toneIndex = choice;
    frequency = static_cast<double>(FrequencyOf(choice));
    level = 0.0;

    // The dialog shows the band of the new tone before the pause begins.
    if (WindowHandle dialog = MainDialog()) {
        controls.SendCommand(dialog, MakeCommandParam(IdLevelNotice, 0), 0);
    }

    // The output is asked before the pause, so that the tone comes no later, and followed from
    // then on: a mute during the pause silences the tone's first buffer (see SilentBuffer).
    if (OutputSilent()) {
        outputSilent = true;
        return 1;
    }
    if (volumeWatch != nullptr) {
        volumeWatch->Follow(true);
    }

    // A random pause of 0 to 3.3 s, so the listener cannot anticipate the tone.
    clock.Sleep(PauseMilliseconds());

    silentBuffers = 0;
    Start();
    return 1;
}

std::uint32_t HearingTest::PauseMilliseconds() {
    return static_cast<std::uint32_t>(random.Next() / 10);
}

bool HearingTest::Running() const {
    return CurrentState() == Playing;
}

void HearingTest::AbandonRun() {
    Stop();
    Close();
    // A run that did not end is no measurement of its ear.
    const std::int32_t ears = flags.load();
    if (ears & LeftEar) {
        std::memset(current.left, 0, sizeof current.left);
    } else if (ears & RightEar) {
        std::memset(current.right, 0, sizeof current.right);
    }
    flags = ears & Unsaved;
    level = 0.0;
    silentBuffers = 0;
    outputSilent = false; // no buffer is filled after Close
    if (volumeWatch != nullptr) {
        volumeWatch->Follow(false);
    }
}

bool HearingTest::OutputSilent() {
    return volumeWatch != nullptr && volumeWatch->Ask() == OutputLoudness::Silent;
}

void HearingTest::OnModalOpened() {
    // Between runs nothing sounds; a run kept going by the close question (its device already
    // closed) goes on as before once the question is answered.
    if (!Running()) {
        return;
    }
    held = true;
    // The level goes back to silence at once, so a press still queued finds nothing to record
    // even once the window has closed; FillBuffer keeps it there (see its exchange).
    level = 0.0;
}

void HearingTest::OnModalClosed() {
    if (!held.load()) {
        return;
    }
    if (Running()) {
        // The same tone again from silence, after a pause as before any tone; played as silent
        // buffers, so the window answers meanwhile.
        const std::int64_t frames =
            static_cast<std::int64_t>(PauseMilliseconds()) * SampleRate() / 1000;
        silentBuffers = static_cast<std::int32_t>((frames + FramesPerBuffer - 1) / FramesPerBuffer);
        level = 0.0;
    }
    held = false;
}

void HearingTest::OnOutputStalled() {
    // The user-interface thread ends the run: it alone may stop and close the device.
    if (WindowHandle dialog = MainDialog()) {
        controls.PostCommand(dialog, MakeCommandParam(IdOutputStalled, 0), 0);
    }
}

int HearingTest::FrequencyOf(int index) {
    if (index < 0 || index >= ToneCount) {
        return 0;
    }
    return ToneFrequencies[index];
}
