#include "hearing/HearingTest.h"

#include "chart/AudiogramChart.h"

// Kept apart from the chart itself so that the chart links and is tested without the rest of
// the application object.
int HearingTest::DrawAudiogram(Canvas& canvas, const CanvasRect& item) const {
    DrawAudiogramChart(canvas, item, AudiogramRecords{store.standard, comparison, current},
                       &HearingTest::FrequencyOf);
    return 1;
}
