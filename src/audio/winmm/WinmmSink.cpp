#include "audio/winmm/WinmmSink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

using AvSetTask = HANDLE(WINAPI*)(LPCWSTR task, LPDWORD index);
using AvRevertTask = BOOL(WINAPI*)(HANDLE task);

// avrt.dll, loaded once and kept; null where it is missing.
HMODULE Avrt() {
    static const HMODULE module = LoadLibraryW(L"avrt.dll");
    return module;
}

template <typename Function> Function AvrtFunction(const char* name) {
    const HMODULE module = Avrt();
    return module != nullptr
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

} // namespace

WinmmSink::WinmmSink() : event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

WinmmSink::~WinmmSink() {
    if (device != nullptr) {
        Close();
    }
    if (event != nullptr) {
        CloseHandle(event);
    }
}

unsigned WinmmSink::Open(const WaveFormat& format, int slots, std::uint32_t bytes) {
    if (device != nullptr) {
        return MMSYSERR_ALLOCATED;
    }
    if (event == nullptr) {
        return MMSYSERR_NOMEM;
    }
    WAVEFORMATEX platform{};
    platform.wFormatTag = format.formatTag;
    platform.nChannels = format.channels;
    platform.nSamplesPerSec = format.samplesPerSec;
    platform.nAvgBytesPerSec = format.avgBytesPerSec;
    platform.nBlockAlign = format.blockAlign;
    platform.wBitsPerSample = format.bitsPerSample;
    platform.cbSize = format.extraSize;
    ResetEvent(event);
    HWAVEOUT opened = nullptr;
    MMRESULT result = waveOutOpen(&opened, WAVE_MAPPER, &platform,
                                  reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        EndTask(); // the thread ends without a Close
        return result;
    }
    device = opened;
    slotBytes = bytes;
    memory.assign(static_cast<std::size_t>(slots) * bytes, 0);
    headers.assign(static_cast<std::size_t>(slots), WAVEHDR{});
    for (int i = 0; i < slots; ++i) {
        WAVEHDR& header = headers[static_cast<std::size_t>(i)];
        header.lpData = memory.data() + static_cast<std::size_t>(i) * bytes;
        header.dwBufferLength = bytes;
        result = waveOutPrepareHeader(device, &header, sizeof header);
        if (result != MMSYSERR_NOERROR) {
            Release();
            EndTask();
            return result;
        }
        header.dwFlags |= WHDR_DONE; // free until the first submit
    }
    return MMSYSERR_NOERROR;
}

unsigned WinmmSink::Submit(int slot, const char* data, std::uint32_t bytes) {
    if (device == nullptr || slot < 0 || static_cast<std::size_t>(slot) >= headers.size() ||
        bytes > slotBytes) {
        return MMSYSERR_INVALPARAM;
    }
    WAVEHDR& header = headers[static_cast<std::size_t>(slot)];
    std::memcpy(header.lpData, data, bytes);
    header.dwBufferLength = bytes;
    header.dwFlags &= ~WHDR_DONE;
    return waveOutWrite(device, &header, sizeof header);
}

bool WinmmSink::Finished(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= headers.size()) {
        return true;
    }
    // winmm sets the flag on a thread of its own.
    const volatile DWORD& flags = headers[static_cast<std::size_t>(slot)].dwFlags;
    return (flags & WHDR_DONE) != 0;
}

unsigned WinmmSink::Pause() {
    return device != nullptr ? waveOutPause(device) : MMSYSERR_INVALHANDLE;
}

unsigned WinmmSink::Restart() {
    return device != nullptr ? waveOutRestart(device) : MMSYSERR_INVALHANDLE;
}

unsigned WinmmSink::Reset() {
    return device != nullptr ? waveOutReset(device) : MMSYSERR_INVALHANDLE;
}

unsigned WinmmSink::Close() {
    EndTask();
    if (device == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    waveOutReset(device);
    return Release();
}

MMRESULT WinmmSink::Release() {
    for (WAVEHDR& header : headers) {
        if (header.dwFlags & WHDR_PREPARED) {
            waveOutUnprepareHeader(device, &header, sizeof header);
        }
    }
    MMRESULT result = waveOutClose(device);
    if (result == WAVERR_STILLPLAYING) {
        waveOutReset(device);
        result = waveOutClose(device);
    }
    device = nullptr;
    if (result != MMSYSERR_NOERROR) {
        // The device may still read them: keep them for the life of the sink.
        abandoned.push_back(std::move(memory));
        abandonedHeaders.push_back(std::move(headers));
    }
    headers.clear();
    memory.clear();
    return result;
}

void WinmmSink::Wait(unsigned milliseconds) {
    WaitForSingleObject(event, milliseconds);
}

void WinmmSink::Wake() {
    SetEvent(event);
}

void WinmmSink::EndTask() {
    if (mmcssTask != nullptr) {
        if (const auto revert = AvrtFunction<AvRevertTask>("AvRevertMmThreadCharacteristics")) {
            revert(mmcssTask);
        }
        mmcssTask = nullptr;
    }
}

void WinmmSink::PromoteThread() {
    const bool critical = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    if (mmcssTask == nullptr) {
        if (const auto set = AvrtFunction<AvSetTask>("AvSetMmThreadCharacteristicsW")) {
            DWORD index = 0;
            mmcssTask = set(L"Pro Audio", &index);
        }
    }
    if (std::getenv("TONOLOT_TRACE_AUDIO") != nullptr) {
        std::fprintf(stderr, "tonolot: audio thread priority: %s%s\n",
                     critical ? "THREAD_PRIORITY_TIME_CRITICAL" : "normal",
                     mmcssTask != nullptr ? ", MMCSS Pro Audio" : "");
    }
}
