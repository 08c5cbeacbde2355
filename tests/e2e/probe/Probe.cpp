// Harness probe: a small Windows program that the end-to-end harness drives to check itself.
// It plays three known tones with rising loudness through waveOut (left 1000 Hz, right 12000 Hz,
// left 70 Hz), each stopped by a click on button 1009, writes the level it had reached at each
// click to probe.txt beside itself, and draws two known polylines in control 1006.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr int BufferFrames = 1024;
constexpr int SilentBuffers = 5;
constexpr int ToneBuffers = 760;
constexpr int ToneCount = 3;
constexpr int ToneHz[ToneCount] = {1000, 12000, 70};
constexpr bool ToneLeft[ToneCount] = {true, false, true};
constexpr int RedLevels[10] = {20, 40, 60, 80, 100, 90, 70, 50, 30, 10};
constexpr int BlueLevels[10] = {110, 100, 90, 80, 70, 60, 50, 40, 30, 20};

HWAVEOUT device;
WAVEHDR header;
std::vector<short> samples;
int tone;
DWORD toneStart; // device position in samples where the current tone's buffer begins
char reportPath[MAX_PATH];

double LevelOfBuffer(int buffer) {
    if (buffer < SilentBuffers)
        return 0.0;
    return std::fmin(0.9 * std::pow(1.015, buffer - SilentBuffers), 30000.0);
}

void PlayTone() {
    samples.assign(static_cast<size_t>(ToneBuffers) * BufferFrames * 2, 0);
    double step = 6.283185307179586 * ToneHz[tone] / Rate;
    for (int frame = 0; frame < ToneBuffers * BufferFrames; ++frame) {
        short value =
            static_cast<short>(std::sin(step * frame) * LevelOfBuffer(frame / BufferFrames));
        samples[frame * 2 + (ToneLeft[tone] ? 0 : 1)] = value;
    }
    MMTIME position{};
    position.wType = TIME_SAMPLES;
    waveOutGetPosition(device, &position, sizeof position);
    toneStart = position.u.sample;
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(samples.data());
    header.dwBufferLength = static_cast<DWORD>(samples.size() * sizeof(short));
    waveOutPrepareHeader(device, &header, sizeof header);
    waveOutWrite(device, &header, sizeof header);
}

void Report(const char* line) {
    if (FILE* file = std::fopen(reportPath, "a")) {
        std::fputs(line, file);
        std::fclose(file);
    }
}

void StopTone() {
    MMTIME position{};
    position.wType = TIME_SAMPLES;
    waveOutGetPosition(device, &position, sizeof position);
    waveOutReset(device);
    waveOutUnprepareHeader(device, &header, sizeof header);
    char line[64];
    std::snprintf(line, sizeof line, "%d %d\r\n", ToneHz[tone],
                  static_cast<int>(LevelOfBuffer((position.u.sample - toneStart) / BufferFrames)) +
                      1);
    Report(line);
}

void DrawCurve(HDC dc, const RECT& plot, int step, const int* levels, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 2, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, plot.left, plot.top + levels[0], nullptr);
    for (int i = 1; i < 10; ++i)
        LineTo(dc, plot.left + i * step, plot.top + levels[i]);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void DrawChart(const DRAWITEMSTRUCT* item) {
    FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECT plot{item->rcItem.left + 10, item->rcItem.top + 15, item->rcItem.right - 15,
              item->rcItem.bottom - 3};
    int step = (plot.right - plot.left) / 9;
    DrawCurve(item->hDC, plot, step, RedLevels, RGB(255, 0, 0));
    DrawCurve(item->hDC, plot, step, BlueLevels, RGB(0, 0, 255));
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetDlgItemTextA(dialog, 1005,
                        "Pr\xFC"
                        "fe \xC4rger");
        WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, Rate, Rate * 4, 4, 16, 0};
        MMRESULT result = waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
        if (result != MMSYSERR_NOERROR) {
            char text[64];
            std::snprintf(text, sizeof text, "Kein Ger\xE4t\r\n%u = offen", result);
            MessageBoxA(dialog, text, "Probe", MB_OK);
            device = nullptr;
        } else {
            PlayTone();
        }
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == 1009 && device && tone < ToneCount) {
            StopTone();
            if (++tone < ToneCount) {
                Sleep(1000);
                PlayTone();
            }
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    case WM_DRAWITEM:
        if (wParam == 1006) {
            DrawChart(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    GetModuleFileNameA(nullptr, reportPath, MAX_PATH - 16);
    char* slash = std::strrchr(reportPath, '\\');
    std::strcpy(slash ? slash + 1 : reportPath, "probe.txt");
    DialogBoxParamA(instance, MAKEINTRESOURCEA(101), nullptr, DialogProc, 0);
    if (device) {
        waveOutReset(device);
        waveOutClose(device);
    }
    return 0;
}
