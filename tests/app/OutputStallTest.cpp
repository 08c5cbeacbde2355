// A sound server that stops answering in the middle of a tone, with the real look-ahead device
// over a platform that hangs: the window's handlers never wait long, the run ends with a box,
// and once the server answers again the next start plays.

#include "app/DialogProcedure.h"
#include "audio/CopyingSink.h"
#include "audio/LookaheadWaveOut.h"
#include "fakes/FakeDialogControls.h"
#include "fakes/ScriptedPresenter.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"
#include "support/ControlIds.h"
#include "support/MainDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class OutputStall : public ::testing::Test {
protected:
    OutputStall() { SetMainDialog(dialog); }
    ~OutputStall() override {
        sink->Answer(); // a thread left in the platform ends before the device goes
        SetMainDialog(nullptr);
    }

    void Command(int id) { procedure.OnCommand(dialog, MakeCommandParam(id, 0), 0); }

    // The message loop: delivers what the audio thread posted until `done` or `limit`; false
    // on time-out.
    bool Pump(const std::function<bool()>& done, Clock::duration limit) {
        const auto end = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > end) {
                return false;
            }
            for (const auto& posted : controls.TakePosted()) {
                const auto began = Clock::now();
                procedure.OnCommand(posted.window, posted.param, posted.data);
                handling = std::max(handling, Clock::now() - began);
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    bool Audible() {
        for (const StereoFrame& frame : sink->TakeHeard()) {
            if (frame.left != 0 || frame.right != 0) {
                return true;
            }
        }
        return false;
    }

    WindowHandle dialog = reinterpret_cast<WindowHandle>(0x103);
    ScriptedPresenter presenter;
    CopyingSink* sink = new CopyingSink(23ms); // owned by the device; plays in real time
    LookaheadWaveOut device{std::unique_ptr<PcmSink>(sink)};
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest test{device, controls, clock};
    DialogProcedure procedure{test, controls};
    Clock::duration handling{};
};

TEST_F(OutputStall, TheRunEndsWithABoxWithinSecondsAndTheNextStartPlaysOnceItAnswers) {
    procedure.OnInitDialog(dialog);
    Command(IdStartLeft);
    ASSERT_TRUE(Pump([&] { return Audible(); }, 5s)) << "the tone is heard";

    sink->Hang(CopyingSink::Call::Finished);
    const auto hung = Clock::now();
    ASSERT_TRUE(Pump([&] { return presenter.Count() == 1; }, 6s));
    EXPECT_LT(Clock::now() - hung, 4s);
    EXPECT_LT(handling, 1600ms) << "the window waits for the hung output at most a second";
    EXPECT_EQ(presenter.Texts()[0].rfind("Die Tonausgabe antwortet nicht.", 0), 0u);
    EXPECT_FALSE(test.Running());
    EXPECT_FALSE(controls.Enabled(IdHeard));
    EXPECT_EQ(test.current.left[test.toneIndex], 0) << "the tone under way records nothing";

    sink->Answer();
    ASSERT_TRUE(Pump([&] { return !device.Occupied(); }, 5s));
    Command(IdStartLeft);
    EXPECT_TRUE(Pump([&] { return Audible(); }, 5s)) << "the next start plays";
    EXPECT_EQ(presenter.Count(), 1u);

    // Closing during a fresh hang: the window goes within the close's bound.
    sink->Hang(CopyingSink::Call::Finished);
    ASSERT_TRUE(Pump([&] { return sink->Hanging(); }, 2s));
    const auto closing = Clock::now();
    EXPECT_TRUE(procedure.OnClose(dialog));
    EXPECT_LT(Clock::now() - closing, 1600ms);
    EXPECT_TRUE(controls.destroyed);
}

} // namespace
