#pragma once

// Whether the output the program plays through can be heard at all: a muted output, or one
// turned down to nothing, plays every tone unheard to full loudness, and a run into it would
// record the person as deaf.
enum class OutputLoudness { Silent, Audible, Unknown };

// The volume of the output the program plays through, as the platform's mixer shows it.
//
// Threads: Query is made by one thread of OutputVolumeWatch only, which also destroys the
// object, and may block for as long as the platform does (a hung sound server); nobody else
// waits for it. An output that cannot say (no mixer, no such control, an error) is Unknown.
class OutputVolume {
public:
    virtual ~OutputVolume() = default;
    virtual OutputLoudness Query() = 0;
};
