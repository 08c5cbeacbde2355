#include "StreamerFixture.h"

#include "support/MainDialog.h"

#include <string>

// Every failure the streamer reports, with its exact text, and those it keeps quiet about.

namespace {

struct OpenFailure {
    unsigned result;
    const char* shown;
};

const OpenFailure openFailures[] = {
    {WaveErrorBadDeviceId, "-30 = Ung\xFCltige Ger\xE4te-ID"},
    {WaveErrorAllocated, "-28 = Das Ger\xE4t wird benutzt"},
    {WaveErrorNoDriver, "-26 = Kein geeigneter Treiber"},
    {WaveErrorNoMemory, "-25 = Zu wenig Speicher"},
    {WaveErrorInvalidParam, "-21 = Ung\xFCltiger Parameter"},
    {WaveErrorBadFormat, "0 = Ung\xFCltiges Format"},
    {WaveErrorSync, "3 = Ger\xE4t kann nur synchron arbeiten"},
    {WaveErrorError, "-31 = Unbekannter Fehler"},
    {WaveErrorInvalidHandle, "-27 = Unbekannter Fehler"},
    {WaveErrorStillPlaying, "1 = Unbekannter Fehler"},
    {100, "68 = Unbekannter Fehler"},
};

const std::string openHeading = "Wave-Ausgabeger\xE4t konnte nicht ge\xF6"
                                "ffnet werden!\r\n";

class WaveStreamerOpenError : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(WaveStreamerOpenError, ShowsTheNumberAndTextOfTheResult) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    device.Fail(Call::Open, GetParam().result);
    StampingStreamer streamer(device);
    const std::vector<ScriptedPresenter::Shown> shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, openHeading + GetParam().shown);
    EXPECT_EQ(shown[0].caption, "Tonolot");
    EXPECT_EQ(shown[0].style, MessageOk);
    EXPECT_FALSE(streamer.IsOpen());
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Idle);
}

INSTANTIATE_TEST_SUITE_P(EveryResult, WaveStreamerOpenError, ::testing::ValuesIn(openFailures));

TEST(WaveStreamerErrors, FailedOpenAtStartUpHasNoOwnerAndEachStartTriesAgain) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    device.Fail(Call::Open, WaveErrorAllocated, 2);
    StampingStreamer streamer(device);
    std::vector<ScriptedPresenter::Shown> shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].owner, nullptr) << "no dialog yet";

    int dialog = 0;
    SetMainDialog(&dialog);
    EXPECT_FALSE(streamer.Start());
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Idle) << "state unchanged";
    shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u) << "one box per failed attempt";
    EXPECT_EQ(shown[0].owner, &dialog);
    SetMainDialog(nullptr);

    EXPECT_TRUE(streamer.Start());
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Playing);
    EXPECT_EQ(device.Queued(), 32);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST(WaveStreamerErrors, FailedPrepareOfHeaderZeroLeavesPlayingWithNothingQueued) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    StampingStreamer streamer(device);
    device.Fail(Call::PrepareHeader, WaveErrorNoMemory);
    EXPECT_FALSE(streamer.Start());
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Wave prepare failed"});
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Playing);
    EXPECT_EQ(device.Queued(), 0);
    // A later Start changes nothing until Close.
    EXPECT_TRUE(streamer.Start());
    EXPECT_EQ(device.Calls(Call::Write), 0);
    EXPECT_TRUE(streamer.Stop());
    streamer.Close();
    EXPECT_EQ(presenter.Count(), 1u);
    EXPECT_TRUE(streamer.Start());
    EXPECT_EQ(device.Queued(), 32);
}

TEST(WaveStreamerErrors, FailedPrepareLaterInStartShortensTheRingWithOneBox) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    StampingStreamer streamer(device);
    device.FailLater(Call::PrepareHeader, 7, WaveErrorNoMemory);
    EXPECT_TRUE(streamer.Start());
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Wave prepare failed"});
    EXPECT_EQ(device.Queued(), 7);
    EXPECT_EQ(streamer.LastQueued(), 7) << "names the failing header";
    ASSERT_EQ(device.Play(20), 20);
    EXPECT_EQ(device.Queued(), 7);
    EXPECT_EQ(presenter.Count(), 1u) << "returned headers are prepared: no box from notifications";
}

TEST(WaveStreamerErrors, EachFailingUnprepareInCloseShowsOneBoxAndCloseGoesOn) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    StampingStreamer streamer(device);
    ASSERT_TRUE(streamer.Start());
    ASSERT_EQ(device.Play(3), 3);
    ASSERT_TRUE(streamer.Stop());
    device.FailLater(Call::UnprepareHeader, 4, WaveErrorStillPlaying, 3);
    streamer.Close();
    EXPECT_EQ(presenter.Texts(),
              std::vector<std::string>(3, "waveOutUnprepareHeader fehlgeschlagen"));
    EXPECT_EQ(device.Calls(Call::UnprepareHeader), 32);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(streamer.BufferAt(0), nullptr);
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Idle);
}

TEST(WaveStreamerErrors, FailingUnprepareOfAReturnedBufferIsNotReported) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    StampingStreamer streamer(device);
    ASSERT_TRUE(streamer.Start());
    // Close straight from Playing: the reset returns all 32 in Idle and each notification
    // unprepares its header; those failures stay silent.
    device.FailAlways(Call::UnprepareHeader, WaveErrorError);
    streamer.Close();
    EXPECT_EQ(device.Notifications(), 32);
    EXPECT_FALSE(device.IsOpen());
    // Close's own pass then meets the same still-prepared headers and reports each.
    EXPECT_EQ(device.Calls(Call::UnprepareHeader), 64);
    EXPECT_EQ(presenter.Count(), 32u);
}

TEST(WaveStreamerErrors, FailedResetAndCloseStillForgetTheHandleAndReleaseTheBlock) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    StampingStreamer streamer(device);
    ASSERT_TRUE(streamer.Start());
    device.FailAlways(Call::Reset, WaveErrorError);
    device.FailAlways(Call::Close, WaveErrorError);
    streamer.Close();
    EXPECT_FALSE(streamer.IsOpen());
    EXPECT_EQ(streamer.BufferAt(0), nullptr);
    EXPECT_EQ(presenter.Count(), 0u) << "queued headers are not done, so none is unprepared";
    device.ClearFailures();
    EXPECT_TRUE(streamer.Start());
}

} // namespace
