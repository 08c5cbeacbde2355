#pragma once

#include <chrono>
#include <cstdint>

// The play position of a device whose reported position may run slow between its own timing
// updates, reckoned on by the clock while the reports keep moving.
//
// ALSA's pulse plugin interpolates its delay between rare timing updates from the server (on
// PipeWire seconds apart), at a pace it estimated from the first updates of a stream. Where that
// pace came out a few per cent slow, the frames counted as heard fell behind what the server
// played: the look-ahead device handed its buffers over late and the server's queue ran dry about
// 3 s into a tone. The server plays in real time, so from a report the position goes on at the
// rate of the stream; a report that reaches or passes that starts the reckoning anew from
// itself. One that goes back does not (see RunningPosition.cpp).
//
// Two bounds keep a device that really stops from being counted as playing:
// - the reckoning goes on only while the reports move: once they stood still for StandStill
//   (an underrun, a stopped device), the position is what the device reports;
// - it never runs more than `maxLead` frames past the report (the frames the look-ahead holds
//   with the device), so a slot counted as heard too early is at most that far ahead.
class RunningPosition {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto StandStill = std::chrono::milliseconds(50);

    // A new stream, a pause or a drop: the reports start afresh.
    void Forget() { anchored = false; }

    // The position to count with, from the device's report at `now`; never below the report.
    std::int64_t Reckon(std::int64_t reported, Clock::time_point now, unsigned rate,
                        std::int64_t maxLead);

private:
    bool anchored = false;
    std::int64_t anchorPosition = 0;
    Clock::time_point anchorAt;
    std::int64_t lastReported = 0;
    Clock::time_point movedAt;
};
