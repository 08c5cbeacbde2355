#pragma once

#include "audio/OutputVolume.h"

#include <condition_variable>
#include <mutex>

// An output's volume for tests: answers what the test set (audible at first), counts the
// queries, and hangs on request, as a sound server that stopped answering, until Answer.
class ScriptedOutputVolume : public OutputVolume {
public:
    OutputLoudness Query() override {
        std::unique_lock<std::mutex> held(mutex);
        ++queries;
        released.wait(held, [this] { return !hanging; });
        return answer;
    }
    void Set(OutputLoudness loudness) {
        std::lock_guard<std::mutex> held(mutex);
        answer = loudness;
    }
    void Hang() {
        std::lock_guard<std::mutex> held(mutex);
        hanging = true;
    }
    void Answer() {
        std::lock_guard<std::mutex> held(mutex);
        hanging = false;
        released.notify_all();
    }
    int Queries() {
        std::lock_guard<std::mutex> held(mutex);
        return queries;
    }

private:
    std::mutex mutex;
    std::condition_variable released;
    OutputLoudness answer = OutputLoudness::Audible;
    bool hanging = false;
    int queries = 0;
};
