#pragma once

#include "records/PersonRecord.h"

#include <cstdint>
#include <optional>
#include <string>

// The numbers of the printed report, worked out from the stored levels, and their wording.
// Texts are cp1252.

// 20 * log10(level / reference) in dB; none when either is not a positive level (0 is "not
// measured", a negative one only comes from a hand-written data file).
std::optional<double> LevelDifference(std::int32_t level, std::int32_t reference);

// The mean of the differences at 500, 1000, 2000 and 4000 Hz (tone indices 3 to 6) from the
// reference levels; none unless all four are known.
std::optional<double> MeanDifference(const std::int32_t* levels, const std::int32_t* reference);

// One decimal with a decimal comma and a sign: "+6,0", "-3,5", "0,0" (also for what rounds to
// zero from below). Halves are rounded away from zero.
std::string FormatDecibels(double decibels);

// "Linkes Ohr: Mittel +12,3 dB: etwas lautere T\xF6ne gebraucht, ..." for one ear, worded as a
// comparison with a normal-hearing listener in place of the reference, never as a finding.
std::string EarSummary(const char* ear, const std::optional<double>& mean);
