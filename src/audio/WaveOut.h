#pragma once

#include <cstdint>

// The wave-out device as the streamer sees it: the winmm calls it makes, with winmm's result
// codes and header flags, so the Windows adapter forwards and a simulated device can stand in.

using WaveOutHandle = void*;

// WAVEFORMATEX.
struct WaveFormat {
    std::uint16_t formatTag;
    std::uint16_t channels;
    std::uint32_t samplesPerSec;
    std::uint32_t avgBytesPerSec;
    std::uint16_t blockAlign;
    std::uint16_t bitsPerSample;
    std::uint16_t extraSize;
};

// WAVEHDR. The device owns a header and its data from Write until it returns it done.
struct WaveHeader {
    char* data;
    std::uint32_t bufferLength;
    std::uint32_t bytesRecorded;
    std::uintptr_t user;
    std::uint32_t flags;
    std::uint32_t loops;
    WaveHeader* next;
    std::uintptr_t reserved;
};

constexpr std::uint16_t WaveFormatPcm = 1;      // WAVE_FORMAT_PCM
constexpr std::uint32_t WaveHeaderDone = 1;     // WHDR_DONE
constexpr std::uint32_t WaveHeaderPrepared = 2; // WHDR_PREPARED
constexpr std::uint32_t WaveHeaderInQueue = 16; // WHDR_INQUEUE: between Write and its return

// Notifications (WOM_OPEN, WOM_CLOSE, WOM_DONE).
constexpr unsigned WaveMessageOpen = 955;
constexpr unsigned WaveMessageClose = 956;
constexpr unsigned WaveMessageDone = 957;
// Not winmm's: the device has taken no step for StallMilliseconds while buffers were with it
// and it was not paused (a sound server that stopped answering). Sent once per stall, from a
// thread of the device that never waits for the platform; the buffers stay queued.
constexpr unsigned WaveMessageStalled = 958;
constexpr unsigned StallMilliseconds = 2000;

// Result codes (MMRESULT).
constexpr unsigned WaveOk = 0;
constexpr unsigned WaveErrorError = 1;         // MMSYSERR_ERROR
constexpr unsigned WaveErrorBadDeviceId = 2;   // MMSYSERR_BADDEVICEID
constexpr unsigned WaveErrorAllocated = 4;     // MMSYSERR_ALLOCATED
constexpr unsigned WaveErrorInvalidHandle = 5; // MMSYSERR_INVALHANDLE
constexpr unsigned WaveErrorNoDriver = 6;      // MMSYSERR_NODRIVER
constexpr unsigned WaveErrorNoMemory = 7;      // MMSYSERR_NOMEM
constexpr unsigned WaveErrorInvalidParam = 11; // MMSYSERR_INVALPARAM
constexpr unsigned WaveErrorBadFormat = 32;    // WAVERR_BADFORMAT
constexpr unsigned WaveErrorStillPlaying = 33; // WAVERR_STILLPLAYING
constexpr unsigned WaveErrorUnprepared = 34;   // WAVERR_UNPREPARED
constexpr unsigned WaveErrorSync = 35;         // WAVERR_SYNC

// The notification function given to Open, called with the instance value given to Open and,
// for WOM_DONE, the returned header as param1. It runs on a thread of the device, or, for the
// buffers that Reset hands back, on the thread that called Reset, before Reset returns. A
// notification must not wait for the thread that calls the device (the user-interface thread).
using WaveOutCallback = void (*)(WaveOutHandle device, unsigned message, std::uintptr_t instance,
                                 std::uintptr_t param1, std::uintptr_t param2);

// What every device behind this seam guarantees, beyond winmm's own rules (the streamer's
// locking relies on it; see WaveStreamer.cpp):
// - Written buffers play in the order written, back to back; each comes back with WHDR_DONE set
//   and one WOM_DONE notification, in that order. Notifications come one at a time.
// - No call waits for the platform (a sound server may stop answering): PrepareHeader,
//   UnprepareHeader, Write, Pause and Restart return at once; Open gives up after a bounded
//   wait with an error; Reset and Close wait at most for a notification under way and, Close,
//   a bounded time for the platform. PrepareHeader, UnprepareHeader and Write may be called from
//   inside a notification and while the caller holds a lock that notifications take.
// - Pause, Restart, Reset and Close are not called from inside a notification. Reset returns
//   every queued buffer done, each with its WOM_DONE, and returns only after those
//   notifications have been handled. Afterwards the device is no longer paused: buffers written
//   next play. What the platform was already given may still be heard for a moment.
// - Close: whatever it returns, once it has returned no notification for that handle runs or
//   follows, and the device no longer reads or writes any header or buffer it was given.
class WaveOutDevice {
public:
    virtual ~WaveOutDevice() = default;
    // waveOutOpen on the default device (WAVE_MAPPER) with a notification function.
    virtual unsigned Open(WaveOutHandle* device, const WaveFormat& format, WaveOutCallback callback,
                          std::uintptr_t instance) = 0;
    virtual unsigned PrepareHeader(WaveOutHandle device, WaveHeader* header) = 0;
    virtual unsigned UnprepareHeader(WaveOutHandle device, WaveHeader* header) = 0;
    virtual unsigned Write(WaveOutHandle device, WaveHeader* header) = 0;
    virtual unsigned Pause(WaveOutHandle device) = 0;
    virtual unsigned Restart(WaveOutHandle device) = 0;
    virtual unsigned Reset(WaveOutHandle device) = 0;
    virtual unsigned Close(WaveOutHandle device) = 0;
};
