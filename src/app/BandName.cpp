#include "app/BandName.h"

const char* BandName(int toneIndex) {
    if (toneIndex >= 0 && toneIndex <= 2) {
        return "tief";
    }
    if (toneIndex >= 3 && toneIndex <= 6) {
        return "mittel";
    }
    if (toneIndex >= 7 && toneIndex <= 9) {
        return "hoch";
    }
    return "";
}
