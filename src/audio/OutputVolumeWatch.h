#pragma once

#include "audio/OutputVolume.h"

#include <memory>

// Asks the output's volume on a thread of its own, so that a platform that hangs never holds
// the user-interface thread or the audio thread.
//
// - Ask (user-interface thread) wants an answer newer than the call: it waits AskMilliseconds
//   for it at most and otherwise answers Unknown, so the run goes on as it would without it.
// - While Follow(true) is in force (a run), the thread asks again every FollowMilliseconds and
//   keeps the answer in Latest, which the audio thread reads with every buffer it fills.
//
// A thread still inside a hung platform when the watch goes is left behind with the volume (both
// shared with it): it ends, and destroys the volume, once the platform answers.
class OutputVolumeWatch {
public:
    static constexpr unsigned AskMilliseconds = 300;
    // About one buffer (23 ms): a mute in the middle of a tone silences it from the next fill.
    static constexpr unsigned FollowMilliseconds = 20;
    static constexpr unsigned StopMilliseconds = 300;

    explicit OutputVolumeWatch(std::unique_ptr<OutputVolume> volume);
    ~OutputVolumeWatch();
    OutputVolumeWatch(const OutputVolumeWatch&) = delete;
    OutputVolumeWatch& operator=(const OutputVolumeWatch&) = delete;

    OutputLoudness Ask();
    void Follow(bool following);
    // The last answer; any thread, never waits.
    OutputLoudness Latest() const;

private:
    struct Shared; // see OutputVolumeWatch.cpp
    std::shared_ptr<Shared> shared;
};
