#include "audio/alsa/RunningPosition.h"

#include <algorithm>

std::int64_t RunningPosition::Reckon(std::int64_t reported, Clock::time_point now, unsigned rate,
                                     std::int64_t maxLead) {
    const bool moved = reported > lastReported;
    // Afresh: at the first report, and at one that moves again after standing still (the time
    // it stood is no time played). A report that goes back does not start it afresh: on
    // PipeWire the plugin's delay jumped by about 100 ms after a timing update while the server
    // played on, and the frames counted as heard from such a report left the server's queue
    // to run dry.
    if (!anchored || (moved && now - movedAt > StandStill)) {
        anchored = true;
        anchorPosition = lastReported = reported;
        anchorAt = movedAt = now;
        return reported;
    }
    if (moved) {
        movedAt = now;
    }
    lastReported = reported;
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - anchorAt);
    const std::int64_t running = anchorPosition + elapsed.count() * rate / 1000000;
    if (reported >= running) {
        anchorPosition = reported;
        anchorAt = now;
        return reported;
    }
    if (reported == anchorPosition || now - movedAt > StandStill) {
        return reported; // not moving: a stop is not reckoned over
    }
    return std::min(running, reported + maxLead);
}
