#pragma once

#include "audio/PcmSink.h"

#include <windows.h>

#include <mmsystem.h>

#include <vector>

// The default winmm wave-out device as a PcmSink. Opened with CALLBACK_EVENT: winmm only sets
// an event when a buffer finishes, so no code of ours runs on winmm's thread and no waveOut
// function is ever called from inside a winmm callback. The thread of LookaheadWaveOut waits on
// the event and reads WHDR_DONE on the slots' headers, since one signal can cover several.
//
// PromoteThread sets the look-ahead thread to THREAD_PRIORITY_TIME_CRITICAL and registers it
// for the "Pro Audio" task of the multimedia class scheduler (MMCSS), whose service raises it
// further where it runs; Close, on the same thread, ends the registration. avrt.dll is loaded
// when needed rather than imported, so the program starts where it is missing.
class WinmmSink : public PcmSink {
public:
    WinmmSink();
    ~WinmmSink() override;
    WinmmSink(const WinmmSink&) = delete;
    WinmmSink& operator=(const WinmmSink&) = delete;

    unsigned Open(const WaveFormat& format, int slots, std::uint32_t slotBytes) override;
    unsigned Submit(int slot, const char* data, std::uint32_t bytes) override;
    bool Finished(int slot) override;
    unsigned Pause() override;
    unsigned Restart() override;
    unsigned Reset() override;
    unsigned Close() override;
    void Wait(unsigned milliseconds) override;
    void Wake() override;
    void PromoteThread() override;

private:
    // Unprepares the slots and closes the device; the result of the close.
    MMRESULT Release();
    // Ends the MMCSS registration of the calling thread, if any.
    void EndTask();

    HANDLE event;
    HWAVEOUT device = nullptr;
    std::vector<WAVEHDR> headers; // one per slot, prepared while the device is open
    std::vector<char> memory;     // the slots' copies, side by side
    std::uint32_t slotBytes = 0;
    std::vector<std::vector<char>> abandoned; // slots of a device that would not close
    std::vector<std::vector<WAVEHDR>> abandonedHeaders;
    HANDLE mmcssTask = nullptr; // the MMCSS registration of the look-ahead thread
};
