#include "audio/alsa/AlsaSinkState.h"

AlsaSinkState NextAlsaSinkState(AlsaSinkState state, AlsaSinkEvent event) {
    using State = AlsaSinkState;
    using Event = AlsaSinkEvent;
    if (event == Event::ClosedDown) {
        return State::Closed;
    }
    switch (state) {
    case State::Closed:
        return event == Event::Opened ? State::Playing : state;
    case State::Playing:
        switch (event) {
        case Event::PausedByAlsa:
            return State::Paused;
        case Event::PausedByDrop:
            return State::Held;
        case Event::Lost:
            return State::Lost;
        default:
            return state;
        }
    case State::Paused:
    case State::Held:
        switch (event) {
        case Event::Restarted:
        case Event::ResetDone: // a reset ends a pause, so that what is written after it plays
            return State::Playing;
        case Event::Lost:
            return State::LostPaused;
        default:
            return state;
        }
    case State::Lost:
        switch (event) {
        case Event::PausedByAlsa:
        case Event::PausedByDrop:
            return State::LostPaused;
        case Event::ResetDone:
            return State::Playing;
        default:
            return state;
        }
    case State::LostPaused:
        switch (event) {
        case Event::Restarted:
            return State::Lost;
        case Event::ResetDone:
            return State::Playing;
        default:
            return state;
        }
    }
    return state;
}

bool IsOpen(AlsaSinkState state) {
    return state != AlsaSinkState::Closed;
}

bool IsPaused(AlsaSinkState state) {
    return state == AlsaSinkState::Paused || state == AlsaSinkState::Held ||
           state == AlsaSinkState::LostPaused;
}
