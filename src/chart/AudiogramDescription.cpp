#include "chart/AudiogramDescription.h"

#include <cstdint>
#include <cstdio>

namespace {

// " Links (rot): 70 Hz 31, 125 Hz 71, ... 12000 Hz 40."
void AddCurve(std::string& text, const char* label, const std::int32_t* levels,
              FrequencyLookup frequencyOf) {
    text += ' ';
    text += label;
    text += ':';
    for (int i = 0; i < ChartColumns; ++i) {
        char pair[48];
        std::snprintf(pair, sizeof pair, "%s %ld Hz %ld", i == 0 ? "" : ",",
                      static_cast<long>(frequencyOf(i)), static_cast<long>(levels[i]));
        text += pair;
    }
    text += '.';
}

} // namespace

std::string DescribeAudiogram(const AudiogramRecords& records, FrequencyLookup frequencyOf) {
    std::string text = "Audiogramm: der Pegel, bei dem der Ton geh\xF6rt wurde, je Frequenz; "
                       "kleiner hei\xDF"
                       "t besser geh\xF6rt.";
    AddCurve(text, "Standard (grau)", records.standard.left, frequencyOf);
    if (records.comparison.left[0] > 0) {
        AddCurve(text, "Vergleich links (hellrot)", records.comparison.left, frequencyOf);
    }
    if (records.comparison.right[0] > 0) {
        AddCurve(text, "Vergleich rechts (hellblau)", records.comparison.right, frequencyOf);
    }
    if (SameBytes(records.current, records.comparison)) {
        text += " Links und rechts wie der Vergleich.";
        return text;
    }
    if (records.current.left[0] != 0) {
        AddCurve(text, "Links (rot)", records.current.left, frequencyOf);
    } else {
        text += " Links nicht gemessen.";
    }
    if (records.current.right[0] != 0) {
        AddCurve(text, "Rechts (blau)", records.current.right, frequencyOf);
    } else {
        text += " Rechts nicht gemessen.";
    }
    return text;
}
