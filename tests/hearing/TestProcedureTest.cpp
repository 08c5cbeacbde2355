// The test procedure on a device that never plays: which tone comes next, what a press stores,
// the pauses, and what happens to the device and the dialog along the way.

#include "HearingFixture.h"

#include "support/ControlIds.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

namespace {

class TestProcedure : public ::testing::Test {
protected:
    // The listener presses while the tone plays at this amplitude.
    int PressAt(double level) {
        hearing.level = level;
        hearing.sounding = level;
        return hearing.NextTone();
    }

    // A whole run of one ear with a press at 100 + tone index; returns the tones in played order.
    std::vector<int> RunEar(bool left) {
        std::vector<int> order;
        left ? hearing.StartLeft() : hearing.StartRight();
        for (int tone = 0; tone < 20; ++tone) {
            order.push_back(hearing.toneIndex);
            if (PressAt(100.0 + hearing.toneIndex) == 0) {
                break;
            }
        }
        return order;
    }

    MainDialogScope dialog;
    ScriptedPresenter presenter;
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest hearing{device, controls, clock};
};

TEST(FrequencyTable, TenTonesFrom70HzTo12000HzAndNothingElse) {
    const int expected[] = {70, 125, 250, 500, 1000, 2000, 4000, 6000, 8000, 12000};
    for (int index = 0; index < 10; ++index) {
        EXPECT_EQ(HearingTest::FrequencyOf(index), expected[index]);
    }
    EXPECT_EQ(HearingTest::FrequencyOf(-1), 0);
    EXPECT_EQ(HearingTest::FrequencyOf(10), 0);
    EXPECT_EQ(HearingTest::FrequencyOf(1009), 0);
}

TEST_F(TestProcedure, NewObjectIsIdleWithANewPersonAndAnOpenDevice) {
    EXPECT_EQ(device.opens, 1);
    EXPECT_TRUE(device.open);
    EXPECT_EQ(device.writes, 0); // nothing plays before a run
    EXPECT_STREQ(hearing.current.name, "Neue Person");
    EXPECT_EQ(StoredCount(hearing.current.left) + StoredCount(hearing.current.right), 0);
    EXPECT_EQ(hearing.flags.load(), 0);
    EXPECT_EQ(hearing.toneIndex, 0);
    EXPECT_EQ(hearing.level.load(), 0.0);
    EXPECT_EQ(hearing.growth, 1.015);
    EXPECT_STREQ(hearing.store.standard.name, "");
    EXPECT_EQ(hearing.store.standard.left[0], 0);
    EXPECT_EQ(hearing.store.standard.right[0], 0);
    EXPECT_EQ(hearing.store.records.count, 0u);
}

TEST_F(TestProcedure, StartLeftClearsTheLeftEarOnlyAndStartsItsFirstTone) {
    std::fill(std::begin(hearing.current.left), std::end(hearing.current.left), 7);
    std::fill(std::begin(hearing.current.right), std::end(hearing.current.right), 9);
    hearing.level = 555.0;
    clock.now = 4242;

    hearing.StartLeft();

    EXPECT_EQ(StoredCount(hearing.current.left), 0);
    EXPECT_EQ(std::count(std::begin(hearing.current.right), std::end(hearing.current.right), 9),
              10);
    EXPECT_EQ(hearing.flags.load(), HearingTest::LeftEar | HearingTest::Unsaved);
    ASSERT_GE(hearing.toneIndex, 0);
    ASSERT_LE(hearing.toneIndex, 9);
    EXPECT_EQ(hearing.frequency.load(), HearingTest::FrequencyOf(hearing.toneIndex));
    EXPECT_EQ(hearing.level.load(), 0.0);
    // The band is shown, one pause of at most 3.3 s, then the ring of 32 buffers is queued.
    ASSERT_EQ(controls.sent.size(), 1u);
    EXPECT_EQ(controls.sent[0].window, dialog.Handle());
    EXPECT_EQ(controls.sent[0].param, MakeCommandParam(IdLevelNotice, 0));
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_LE(clock.sleeps[0], 3276u);
    EXPECT_EQ(device.writes, 32);
}

TEST_F(TestProcedure, DialogShowsTheNewTonesBandBeforeThePause) {
    std::vector<int> tonesShown;
    controls.onSend = [&](const FakeDialogControls::Sent& message) {
        EXPECT_EQ(CommandId(message.param), IdLevelNotice);
        EXPECT_EQ(clock.sleeps.size(), tonesShown.size()); // the pause comes after
        EXPECT_EQ(hearing.frequency.load(), HearingTest::FrequencyOf(hearing.toneIndex));
        tonesShown.push_back(hearing.toneIndex);
        return CommandData{0};
    };
    const std::vector<int> played = RunEar(true);
    EXPECT_EQ(tonesShown, played);
}

TEST_F(TestProcedure, PressBeforeTheToneIsAudibleIsIgnored) {
    hearing.StartLeft();
    const int tone = hearing.toneIndex;
    const int writes = device.writes;

    EXPECT_EQ(PressAt(0.0), 1);
    EXPECT_EQ(PressAt(0.9988), 1); // after seven buffers the tone is still below 1

    EXPECT_EQ(hearing.toneIndex, tone);
    EXPECT_EQ(StoredCount(hearing.current.left), 0);
    EXPECT_EQ(device.pauses + device.resets + device.closes, 0); // the tone keeps playing
    EXPECT_EQ(device.writes, writes);
    EXPECT_EQ(clock.sleeps.size(), 1u);
    EXPECT_EQ(controls.sent.size(), 1u);
    // The level keeps rising where it was; the press took nothing away.
    EXPECT_EQ(hearing.level.load(), 0.9988);
}

TEST_F(TestProcedure, PressStoresTheTruncatedLevelPlusOneAndMovesOn) {
    hearing.StartLeft();
    const int first = hearing.toneIndex;
    EXPECT_EQ(PressAt(1.0), 1);
    EXPECT_EQ(hearing.current.left[first], 2); // the smallest level ever stored
    // The device was stopped and shut, then opened afresh for the next tone.
    EXPECT_EQ(device.pauses, 1);
    EXPECT_EQ(device.closes, 1);
    EXPECT_EQ(device.opens, 2);
    EXPECT_TRUE(device.open);
    EXPECT_EQ(hearing.level.load(), 0.0);

    const int second = hearing.toneIndex;
    EXPECT_NE(second, first);
    EXPECT_EQ(PressAt(1234.99), 1);
    EXPECT_EQ(hearing.current.left[second], 1235);

    const int third = hearing.toneIndex;
    EXPECT_EQ(PressAt(30001.0), 1); // the automatic press at full loudness
    EXPECT_EQ(hearing.current.left[third], 30002);
    EXPECT_EQ(StoredCount(hearing.current.left), 3);
    EXPECT_EQ(StoredCount(hearing.current.right), 0);
}

TEST_F(TestProcedure, LeftRunMeasuresEveryFrequencyOnceThenEnds) {
    const std::vector<int> played = RunEar(true);
    ASSERT_EQ(played.size(), 10u);
    EXPECT_EQ(std::set<int>(played.begin(), played.end()).size(), 10u);
    for (int index = 0; index < 10; ++index) {
        EXPECT_EQ(hearing.current.left[index], 101 + index);
    }
    EXPECT_EQ(StoredCount(hearing.current.right), 0);
    EXPECT_EQ(hearing.toneIndex, played.back()); // the last tone stays named
    EXPECT_FALSE(device.open);                   // shut after the last tone
    EXPECT_EQ(clock.sleeps.size(), 10u);
    for (std::uint32_t pause : clock.sleeps) {
        EXPECT_LE(pause, 3276u);
    }
    // Another press after the end starts nothing.
    EXPECT_EQ(PressAt(500.0), 0);
    EXPECT_EQ(clock.sleeps.size(), 10u);
}

TEST_F(TestProcedure, RightRunAfterLeftRunKeepsTheLeftLevels) {
    RunEar(true);
    PersonRecord afterLeft = hearing.current;
    const std::vector<int> played = RunEar(false);
    EXPECT_EQ(played.size(), 10u);
    EXPECT_EQ(hearing.flags.load(), HearingTest::RightEar | HearingTest::Unsaved);
    EXPECT_EQ(std::memcmp(hearing.current.left, afterLeft.left, sizeof afterLeft.left), 0);
    for (int index = 0; index < 10; ++index) {
        EXPECT_EQ(hearing.current.right[index], 101 + index);
    }
    // A second run of an ear already measured plays all ten tones again.
    EXPECT_EQ(RunEar(true).size(), 10u);
}

TEST_F(TestProcedure, SameTickCountGivesTheSameOrderAndPauses) {
    // Worked out by hand from the generator: seeded with the tick count for every choice among
    // two or more tones, the pause drawn next, the last tone taken without a new seed.
    clock.now = 123456;
    const std::vector<int> played = RunEar(true);
    EXPECT_EQ(played, (std::vector<int>{4, 6, 9, 8, 2, 3, 7, 5, 1, 0}));
    EXPECT_EQ(clock.sleeps,
              (std::vector<std::uint32_t>{2281, 2946, 761, 2792, 2198, 2125, 2232, 2659, 13, 397}));
}

TEST_F(TestProcedure, FirstToneIsAlmostNeverTheLowestAndTheHighestTwiceAsOften) {
    constexpr int Runs = 30000;
    int chosen[10] = {};
    for (int run = 0; run < Runs; ++run) {
        clock.now = static_cast<std::uint32_t>(run) * 7u;
        hearing.StartLeft();
        ++chosen[hearing.toneIndex];
    }
    EXPECT_LE(chosen[0], 5); // only when the generator draws exactly 0
    EXPECT_NEAR(chosen[9] / double(Runs), 0.2, 0.02);
    for (int index = 1; index <= 8; ++index) {
        EXPECT_NEAR(chosen[index] / double(Runs), 0.1, 0.015) << "tone " << index;
    }
}

TEST_F(TestProcedure, LowestFrequencyIsMeasuredLast) {
    int lowestLast = 0;
    for (int run = 0; run < 300; ++run) {
        clock.now = 1000u + static_cast<std::uint32_t>(run) * 977u;
        lowestLast += RunEar(true).back() == 0 ? 1 : 0;
    }
    EXPECT_GE(lowestLast, 298);
}

TEST_F(TestProcedure, LastToneIsTakenWithoutReseeding) {
    // A clock that stands still: every reseeded choice draws the same pause.
    clock.now = 5000;
    clock.onSleep = [&](std::uint32_t) { clock.now = 5000; };
    RunEar(true);
    ASSERT_EQ(clock.sleeps.size(), 10u);
    for (int tone = 1; tone < 9; ++tone) {
        EXPECT_EQ(clock.sleeps[tone], clock.sleeps[0]);
    }
    SystemRandom expected;
    expected.Seed(5000);
    expected.Next();
    expected.Next();
    EXPECT_EQ(clock.sleeps[9], static_cast<std::uint32_t>(expected.Next() / 10));
    EXPECT_NE(clock.sleeps[9], clock.sleeps[0]);
}

TEST_F(TestProcedure, OneToneLeftBeforeAnySeedUsesTheGeneratorsFirstValue) {
    std::fill(std::begin(hearing.current.left), std::end(hearing.current.left), 50);
    hearing.current.left[6] = 0;
    hearing.flags = HearingTest::LeftEar;
    hearing.toneIndex = -1;
    clock.now = 99999;
    EXPECT_EQ(hearing.NextTone(), 1);
    EXPECT_EQ(hearing.toneIndex, 6);
    EXPECT_EQ(hearing.frequency.load(), 4000.0);
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_EQ(clock.sleeps[0], 4u); // 41 / 10 from the unseeded state 1
}

TEST_F(TestProcedure, PressAfterAStoredRecordWasPickedStoresNothingAndEndsTheRun) {
    hearing.StartLeft();
    // Picking a stored record mid-run loads it and clears the ear bits; the tone went on, silent.
    PersonRecord loaded{};
    std::strcpy(loaded.name, "Anna");
    for (int index = 0; index < 10; ++index) {
        loaded.left[index] = 300 + index;
        loaded.right[index] = 400 + index;
    }
    hearing.current = loaded;
    hearing.flags = 0;

    EXPECT_EQ(PressAt(2500.0), 0);
    EXPECT_TRUE(SameBytes(hearing.current, loaded));
    EXPECT_EQ(device.pauses, 1);
    EXPECT_FALSE(device.open);
}

TEST_F(TestProcedure, NewTestAbandonsTheRunAndStartsAFreshPerson) {
    hearing.StartRight();
    PressAt(800.0);
    PressAt(900.0);
    std::strcpy(hearing.current.name, "Bert");
    hearing.level = 1500.0;

    hearing.NewTest();

    EXPECT_FALSE(device.open);
    EXPECT_GE(device.pauses, 3);
    EXPECT_STREQ(hearing.current.name, "Neue Person");
    PersonRecord fresh{};
    std::strcpy(fresh.name, "Neue Person");
    EXPECT_TRUE(SameBytes(hearing.current, fresh)); // no stray bytes behind the name
    EXPECT_EQ(hearing.flags.load(), 0);
    EXPECT_EQ(hearing.toneIndex, 0);
    EXPECT_EQ(hearing.level.load(), 0.0);
    EXPECT_EQ(hearing.phase.load(), 0.0);
    EXPECT_EQ(hearing.frequency.load(), 0.0);
    // A press now, with "Gehört" reached by some other way, is ignored.
    EXPECT_EQ(hearing.NextTone(), 1);
    EXPECT_EQ(StoredCount(hearing.current.right), 0);
}

TEST_F(TestProcedure, DestructionShutsThePlayingDevice) {
    QuietWaveOut ownDevice;
    auto own = std::make_unique<HearingTest>(ownDevice, controls, clock);
    own->StartLeft();
    ASSERT_TRUE(ownDevice.open);
    own.reset();
    EXPECT_FALSE(ownDevice.open);
    EXPECT_EQ(ownDevice.closes, 1); // once, though both layers close
    EXPECT_TRUE(ownDevice.queued.empty());
}

class TestProcedureWithoutDevice : public ::testing::Test {
protected:
    TestProcedureWithoutDevice() { device.failOpen = true; }

    MainDialogScope dialog;
    ScriptedPresenter presenter;
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    std::unique_ptr<HearingTest> hearing;
};

TEST_F(TestProcedureWithoutDevice, RunWaitsWithoutSoundAndPressesAreIgnored) {
    hearing = std::make_unique<HearingTest>(device, controls, clock);
    const std::size_t boxesAtStartUp = presenter.Count();
    EXPECT_GE(boxesAtStartUp, 1u);

    hearing->StartLeft();
    EXPECT_GT(presenter.Count(), boxesAtStartUp); // the failed open is reported
    const int tone = hearing->toneIndex;
    EXPECT_EQ(hearing->NextTone(), 1);
    EXPECT_EQ(hearing->NextTone(), 1);
    EXPECT_EQ(hearing->toneIndex, tone);
    EXPECT_EQ(StoredCount(hearing->current.left), 0);

    // Once the device is back, a new start plays.
    device.failOpen = false;
    hearing->NewTest();
    hearing->StartLeft();
    EXPECT_TRUE(device.open);
    EXPECT_EQ(device.writes, 32);
}

} // namespace
