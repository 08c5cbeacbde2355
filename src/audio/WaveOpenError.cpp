#include "audio/WaveOpenError.h"

#include "audio/WaveOut.h"

const char* WaveOpenErrorText(unsigned result) {
    switch (result) {
    case WaveErrorBadDeviceId:
        return "Ung\xFCltige Ger\xE4te-ID";
    case WaveErrorAllocated:
        return "Das Ger\xE4t wird benutzt";
    case WaveErrorNoDriver:
        return "Kein geeigneter Treiber";
    case WaveErrorNoMemory:
        return "Zu wenig Speicher";
    case WaveErrorInvalidParam:
        return "Ung\xFCltiger Parameter";
    case WaveErrorBadFormat:
        return "Ung\xFCltiges Format";
    case WaveErrorSync:
        return "Ger\xE4t kann nur synchron arbeiten";
    default:
        return "Unbekannter Fehler";
    }
}

int WaveOpenErrorNumber(unsigned result) {
    return static_cast<int>(result) - 32;
}
