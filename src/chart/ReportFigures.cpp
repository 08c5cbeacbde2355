#include "chart/ReportFigures.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

std::optional<double> LevelDifference(std::int32_t level, std::int32_t reference) {
    if (level <= 0 || reference <= 0) {
        return std::nullopt;
    }
    return 20.0 * std::log10(static_cast<double>(level) / reference);
}

std::optional<double> MeanDifference(const std::int32_t* levels, const std::int32_t* reference) {
    double sum = 0.0;
    for (int i = 3; i <= 6; ++i) {
        const std::optional<double> difference = LevelDifference(levels[i], reference[i]);
        if (!difference) {
            return std::nullopt;
        }
        sum += *difference;
    }
    return sum / 4.0;
}

std::string FormatDecibels(double decibels) {
    const long tenths = std::lround(decibels * 10.0);
    char text[32];
    std::snprintf(text, sizeof text, "%s%ld,%ld",
                  tenths > 0   ? "+"
                  : tenths < 0 ? "-"
                               : "",
                  std::labs(tenths) / 10, std::labs(tenths) % 10);
    return text;
}

std::string EarSummary(const char* ear, const std::optional<double>& mean) {
    std::string line = std::string(ear) + ": ";
    if (!mean) {
        return line + "nicht bei allen vier Frequenzen gemessen";
    }
    // Steps of about 5, 15 and 30 dB, as a listener notices them; thresholds are the rounded
    // figure the line shows, so the words never contradict the number beside them.
    const double shown = std::lround(*mean * 10.0) / 10.0;
    const char* meaning = shown <= -5.0  ? "leisere T\xF6ne geh\xF6rt, also besser als er"
                          : shown < 5.0  ? "etwa so gut geh\xF6rt wie er"
                          : shown < 15.0 ? "etwas lautere T\xF6ne gebraucht, also etwas schlechter "
                                           "geh\xF6rt als er"
                          : shown < 30.0 ? "deutlich lautere T\xF6ne gebraucht, also deutlich "
                                           "schlechter geh\xF6rt als er"
                                         : "viel lautere T\xF6ne gebraucht, also viel schlechter "
                                           "geh\xF6rt als er";
    return line + "Mittel " + FormatDecibels(*mean) + " dB: " + meaning;
}
