#pragma once

#include "chart/AudiogramChart.h"
#include "records/PersonRecord.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

// The chart's item as the dialog gives it.
constexpr CanvasRect Item{0, 0, 450, 234};

// The frequency table the labels show, 70 Hz to 12000 Hz.
inline int TestFrequencyOf(int index) {
    static constexpr int table[10] = {70, 125, 250, 500, 1000, 2000, 4000, 6000, 8000, 12000};
    return index >= 0 && index < 10 ? table[index] : 0;
}

using Levels = std::array<std::int32_t, 10>;

inline PersonRecord MakeRecord(const char* name, const Levels& left, const Levels& right) {
    PersonRecord record{};
    std::strncpy(record.name, name, sizeof record.name - 1);
    std::memcpy(record.left, left.data(), sizeof record.left);
    std::memcpy(record.right, right.data(), sizeof record.right);
    return record;
}

// The three records of one paint, owned together.
struct ChartScene {
    PersonRecord standard{};
    PersonRecord comparison{};
    PersonRecord current{};

    AudiogramRecords Records() const { return AudiogramRecords{standard, comparison, current}; }
};

// What the chart shows right after start-up: a standard from the data file, no comparison, and
// a fresh "Neue Person" with nothing measured.
inline ChartScene StartUpScene() {
    ChartScene scene;
    scene.standard = MakeRecord("Norm", Levels{30, 22, 15, 10, 8, 8, 10, 14, 20, 35},
                                Levels{31, 23, 16, 11, 9, 9, 11, 15, 21, 36});
    scene.current = MakeRecord("Neue Person", Levels{}, Levels{});
    return scene;
}

// All five curves, each apart from the others at every column.
inline ChartScene FiveCurveScene() {
    ChartScene scene;
    scene.standard = MakeRecord("Norm", Levels{20, 18, 16, 14, 12, 12, 14, 16, 18, 20},
                                Levels{1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    scene.comparison = MakeRecord("Anna", Levels{50, 46, 42, 40, 38, 40, 44, 52, 60, 72},
                                  Levels{70, 66, 62, 60, 58, 60, 64, 72, 80, 92});
    scene.current = MakeRecord("Bernd", Levels{100, 96, 92, 90, 88, 90, 96, 110, 124, 150},
                               Levels{130, 126, 122, 120, 118, 122, 130, 146, 164, 196});
    return scene;
}

inline std::string ArtifactPath(const char* fileName) {
    return std::string(TONOLOT_ARTIFACT_DIR) + "/" + fileName;
}
