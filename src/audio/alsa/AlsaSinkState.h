#pragma once

// What an AlsaSink is doing, and every change of it in one table (NextAlsaSinkState).
enum class AlsaSinkState {
    Closed,     // not open
    Playing,    // frames go to the device as it has room; a handle closed after a stall or a
                // failed prepare is opened again for the next frames
    Paused,     // held by ALSA's own pause
    Held,       // paused without it: what ALSA held was dropped, and the frames not heard yet
                // are written again on Restart
    Lost,       // the device is gone: nothing plays and no slot finishes until Reset
    LostPaused, // the same, paused
};

enum class AlsaSinkEvent {
    Opened,       // Open set the device up
    PausedByAlsa, // ALSA's pause took
    PausedByDrop, // the device has no pause, or it failed: dropped instead
    Restarted,
    Lost,      // the device is gone: disconnected, cannot be opened again, or keeps failing
    ResetDone, // Reset dropped everything: the device is tried again
    ClosedDown,
};

// The state after `event` in `state`. An event that means nothing in a state leaves it.
AlsaSinkState NextAlsaSinkState(AlsaSinkState state, AlsaSinkEvent event);

// Whether the sink is open in the state, and whether it is paused.
bool IsOpen(AlsaSinkState state);
bool IsPaused(AlsaSinkState state);
