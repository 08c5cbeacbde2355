#pragma once

#include "chart/AudiogramChart.h"

#include <string>

// The audiogram in words, for a screen reader: which curves the chart shows, in its colours, and
// the level of each curve at each frequency, decided exactly as DrawAudiogramChart decides what
// to draw. German, cp1252.
std::string DescribeAudiogram(const AudiogramRecords& records, FrequencyLookup frequencyOf);
