// What keeps a run safe when the person cannot answer or the sound output stops: a box opened
// during a run holds the tone silent and records nothing until it closes; a stalled, muted or
// silenced output ends the run with a box, or lets none start; a start without a device leaves
// the buttons idle. Driven through the
// dialog's handlers over a device that plays nothing; the tone synthesis is called by hand.

#include "MainDialogFixture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

// The loudest sample of the next buffer the tone synthesis fills.
int LoudestOfNextBuffer(HearingTest& test) {
    std::vector<StereoFrame> frames(HearingTest::FramesPerBuffer, StereoFrame{0, 0});
    test.FillBuffer(frames.data());
    int loudest = 0;
    for (const StereoFrame& frame : frames) {
        loudest = std::max({loudest, std::abs(frame.left), std::abs(frame.right)});
    }
    return loudest;
}

TEST_F(MainDialogTest, ABoxDuringARunHoldsTheToneSilentAndTheRunResumesWithItFromSilence) {
    procedure.OnInitDialog(dialog);
    EXPECT_TRUE(procedure.MayOpenPictureSave());
    Command(IdStartLeft);
    EXPECT_FALSE(procedure.MayOpenPictureSave()) << "the picture item is greyed during a run";
    const int tone = test.toneIndex;
    test.level = 29995.0; // a few buffers before the automatic press

    bool heldWhenShown = false;
    int loudestWhileOpen = -1;
    int pressesWhileOpen = 0;
    presenter.onPresent = [&] {
        heldWhenShown = test.held.load();
        for (int buffer = 0; buffer < 800; ++buffer) { // longer than a whole rise
            loudestWhileOpen = std::max(loudestWhileOpen, LoudestOfNextBuffer(test));
        }
        for (const auto& posted : controls.TakePosted()) {
            pressesWhileOpen += CommandId(posted.param) == IdHeard ? 1 : 0;
        }
        // As the box's own loop delivers an automatic press posted before it opened.
        procedure.OnCommand(dialog, MakeCommandParam(IdHeard, 0), 0);
    };
    Command(IdStore); // "Das linke Ohr wurde noch nicht gemessen…"

    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_TRUE(heldWhenShown);
    EXPECT_EQ(loudestWhileOpen, 0);
    EXPECT_EQ(pressesWhileOpen, 0);
    EXPECT_EQ(test.toneIndex, tone) << "the press delivered behind the box recorded nothing";
    EXPECT_EQ(test.current.left[tone], 0);
    EXPECT_TRUE(ShowsMeasuring());

    // Closed: the same tone, after a pause of at most 3.3 s, rises from silence again.
    EXPECT_FALSE(test.held.load());
    const int pause = test.silentBuffers.load();
    EXPECT_LE(pause, 3300 * 44100 / 1000 / 1024 + 1);
    for (int buffer = 0; buffer < pause + 8; ++buffer) {
        ASSERT_EQ(LoudestOfNextBuffer(test), 0) << "buffer " << buffer;
    }
    EXPECT_EQ(LoudestOfNextBuffer(test), 1);
    EXPECT_EQ(test.toneIndex, tone);
    for (int step = 0; step < HearingTest::ToneCount; ++step) {
        PressHeardAt(500.0);
    }
    EXPECT_TRUE(ShowsIdle()) << "the run can be completed";
    EXPECT_EQ(test.current.left[tone], 501);
}

int Measured(const std::int32_t* levels) {
    return static_cast<int>(std::count_if(levels, levels + PersonRecord::LevelCount,
                                          [](std::int32_t level) { return level != 0; }));
}

TEST_F(MainDialogTest, AStalledOutputEndsTheRunWithABoxAndRecordsNothingOfIt) {
    procedure.OnInitDialog(dialog);
    Command(IdStartLeft);
    Command(IdNewTest);
    Command(IdOutputStalled); // posted before the run ended: stale, nothing happens
    EXPECT_EQ(presenter.Count(), 0u);

    MeasureEar(IdStartLeft, 300.0);
    Command(IdStartRight);
    PressHeardAt(400.0);
    PressHeardAt(400.0);
    Command(IdOutputStalled);

    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_EQ(presenter.Texts()[0].rfind("Die Tonausgabe antwortet nicht. Der Test wurde "
                                         "angehalten.",
                                         0),
              0u);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(controls.focused, IdStartRight);
    EXPECT_FALSE(device.open);
    EXPECT_EQ(Measured(test.current.right), 0) << "an unfinished run is no measurement";
    EXPECT_EQ(Measured(test.current.left), 10);

    // The output answers again: the next start plays.
    Command(IdStartRight);
    EXPECT_TRUE(ShowsMeasuring());
    EXPECT_TRUE(device.Playing());
}

TEST_F(MainDialogTest, AStartWhoseDeviceCannotOpenLeavesTheButtonsIdle) {
    procedure.OnInitDialog(dialog);
    test.Close();
    device.failOpen = true;

    Command(IdStartLeft);

    EXPECT_EQ(presenter.Count(), 1u) << "the device's error box";
    EXPECT_TRUE(ShowsIdle());
}

TEST_F(MainDialogTest, TheOpenRecordListHoldsTheRunLikeAMenu) {
    procedure.OnInitDialog(dialog);
    Command(IdStartLeft);
    test.level = 5000.0;

    Command(IdRecordList, ListOpened);
    EXPECT_TRUE(test.held.load());
    EXPECT_EQ(LoudestOfNextBuffer(test), 0);
    Command(IdRecordList, ListClosed);
    EXPECT_FALSE(test.held.load());
    EXPECT_EQ(test.level.load(), 0.0) << "the tone comes back from silence";
}

TEST_F(MainDialogTest, AMutedOutputLetsNoRunStartAndSaysSoAnOutputThatCannotSayDoes) {
    procedure.OnInitDialog(dialog);
    MeasureEar(IdStartLeft, 300.0);
    volume->Set(OutputLoudness::Silent);
    Command(IdStartLeft);
    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_EQ(presenter.Texts()[0], "Die Tonausgabe ist stumm geschaltet oder auf 0 % gestellt. "
                                    "Bitte stellen Sie die Lautst\xE4rke ein und starten Sie die "
                                    "Messung erneut.");
    EXPECT_TRUE(ShowsIdle());
    EXPECT_FALSE(device.Playing());
    EXPECT_EQ(Measured(test.current.left), 10) << "no run: the ear keeps its levels";

    volume->Set(OutputLoudness::Unknown);
    Command(IdStartRight);
    EXPECT_TRUE(ShowsMeasuring());
    EXPECT_TRUE(device.Playing());
    EXPECT_EQ(presenter.Count(), 1u);
}

TEST_F(MainDialogTest, AMuteDuringARunSilencesTheToneAtOnceRecordsNothingAndEndsTheRun) {
    procedure.OnInitDialog(dialog);
    MeasureEar(IdStartLeft, 300.0);
    Command(IdStartRight);
    PressHeardAt(400.0);
    const int tone = test.toneIndex;
    test.level = 5000.0;
    ASSERT_GT(LoudestOfNextBuffer(test), 0);

    volume->Set(OutputLoudness::Silent); // the watch follows the run and sees it
    for (int wait = 0; wait < 200 && watch.Latest() != OutputLoudness::Silent; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    controls.TakePosted();
    EXPECT_EQ(LoudestOfNextBuffer(test) + LoudestOfNextBuffer(test), 0) << "silent from now";
    PressHeardAt(5000.0); // answered before the dialog ended the run
    EXPECT_EQ(test.toneIndex, tone);
    EXPECT_EQ(test.current.right[tone], 0);
    int silentPosts = 0;
    for (const auto& posted : controls.TakePosted()) {
        silentPosts += CommandId(posted.param) == IdOutputSilent ? 1 : 0;
    }
    EXPECT_EQ(silentPosts, 1);

    Command(IdOutputSilent);
    Command(IdOutputSilent); // a second one, stale
    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_EQ(presenter.Texts()[0].rfind("Die Tonausgabe wurde stumm geschaltet oder auf 0 % "
                                         "gestellt. Der Test wurde angehalten.",
                                         0),
              0u);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_FALSE(device.open);
    EXPECT_EQ(Measured(test.current.right), 0) << "an unfinished run is no measurement";

    // Muted between two tones: asked before the next one, which does not start.
    volume->Set(OutputLoudness::Audible);
    Command(IdStartRight);
    volume->Set(OutputLoudness::Silent);
    PressHeardAt(400.0);
    EXPECT_EQ(presenter.Count(), 2u);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_FALSE(device.Playing());

    volume->Set(OutputLoudness::Audible);
    MeasureEar(IdStartRight, 400.0);
    EXPECT_EQ(Measured(test.current.right), 10) << "unmuted, a run plays to its end";
}

} // namespace
