#include "StreamerFixture.h"

// The simulated device itself: the rules of winmm it keeps, since the streamer's tests rely on
// them.

namespace {

class SimulatedDevice : public ::testing::Test {
protected:
    static void Ignore(WaveOutHandle, unsigned, std::uintptr_t, std::uintptr_t, std::uintptr_t) {}

    void SetUp() override {
        ASSERT_EQ(device.Open(&handle, WaveFormat{}, &Ignore, 0), WaveOk);
        for (int i = 0; i < 3; ++i) {
            headers[i].data = reinterpret_cast<char*>(frames[i]);
            headers[i].bufferLength = sizeof frames[i];
            for (StereoFrame& frame : frames[i]) {
                frame = {static_cast<std::int16_t>(i + 1), 0};
            }
        }
    }

    SimulatedWaveOut device;
    WaveOutHandle handle = nullptr;
    StereoFrame frames[3][1024] = {};
    WaveHeader headers[3] = {};
};

TEST_F(SimulatedDevice, KeepsWinmmsRulesForHeaders) {
    EXPECT_EQ(device.Write(handle, &headers[0]), WaveErrorUnprepared);
    ASSERT_EQ(device.PrepareHeader(handle, &headers[0]), WaveOk);
    ASSERT_EQ(device.Write(handle, &headers[0]), WaveOk);
    EXPECT_EQ(device.Write(handle, &headers[0]), WaveErrorStillPlaying);
    EXPECT_EQ(device.UnprepareHeader(handle, &headers[0]), WaveErrorStillPlaying);
    EXPECT_EQ(device.Write(nullptr, &headers[0]), WaveErrorInvalidHandle);
    WaveOutHandle second = nullptr;
    EXPECT_EQ(device.Open(&second, WaveFormat{}, &Ignore, 0), WaveErrorAllocated);
    ASSERT_EQ(device.Play(1), 1);
    EXPECT_EQ(headers[0].flags & (WaveHeaderDone | WaveHeaderInQueue), WaveHeaderDone);
    EXPECT_EQ(device.UnprepareHeader(handle, &headers[0]), WaveOk);
}

TEST_F(SimulatedDevice, PlaysInOrderAndResetReturnsTheRestWithoutPlayingIt) {
    for (WaveHeader& header : headers) {
        ASSERT_EQ(device.PrepareHeader(handle, &header), WaveOk);
        ASSERT_EQ(device.Write(handle, &header), WaveOk);
    }
    ASSERT_EQ(device.Pause(handle), WaveOk);
    EXPECT_EQ(device.Play(2), 0);
    ASSERT_EQ(device.Restart(handle), WaveOk);
    ASSERT_EQ(device.Play(1), 1);
    ASSERT_EQ(device.Reset(handle), WaveOk);
    EXPECT_EQ(device.Queued(), 0);
    EXPECT_EQ(device.TakeReturned(),
              (std::vector<const WaveHeader*>{&headers[0], &headers[1], &headers[2]}));
    const std::vector<StereoFrame> heard = device.TakeHeard();
    ASSERT_EQ(heard.size(), 1024u);
    EXPECT_EQ(heard[0].left, 1);
}

TEST_F(SimulatedDevice, CopyOnWriteHearsTheDataAsItWasWritten) {
    device.CopyOnWrite(true);
    ASSERT_EQ(device.PrepareHeader(handle, &headers[1]), WaveOk);
    ASSERT_EQ(device.Write(handle, &headers[1]), WaveOk);
    frames[1][0].left = 99; // too late: the device has its copy
    ASSERT_EQ(device.Play(1), 1);
    EXPECT_EQ(device.TakeHeard()[0].left, 2);
}

TEST_F(SimulatedDevice, FailuresHitTheChosenCallsOnly) {
    device.FailLater(Call::PrepareHeader, 1, WaveErrorNoMemory, 1);
    EXPECT_EQ(device.PrepareHeader(handle, &headers[0]), WaveOk);
    EXPECT_EQ(device.PrepareHeader(handle, &headers[1]), WaveErrorNoMemory);
    EXPECT_EQ(headers[1].flags & WaveHeaderPrepared, 0u) << "a failed call does nothing";
    EXPECT_EQ(device.PrepareHeader(handle, &headers[1]), WaveOk);
    device.FailAlways(Call::Write, WaveErrorError);
    EXPECT_EQ(device.Write(handle, &headers[0]), WaveErrorError);
    EXPECT_EQ(device.Write(handle, &headers[0]), WaveErrorError);
    device.ClearFailures();
    EXPECT_EQ(device.Write(handle, &headers[0]), WaveOk);
    EXPECT_EQ(device.Calls(Call::PrepareHeader), 3);
    EXPECT_EQ(device.Calls(Call::Write), 3);
}

// Why the Windows build keeps the queue on its own side: on a device that copies at Write, the
// streamer's fill of an already queued buffer is never heard.
TEST(SimulatedCopyingDevice, FillsOfQueuedBuffersAreLostOnADeviceThatCopies) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    device.CopyOnWrite(true);
    StampingStreamer streamer(device);
    ASSERT_TRUE(streamer.Start());
    ASSERT_EQ(device.Play(40), 40);
    EXPECT_EQ(streamer.Fills(), 40);
    for (const StereoFrame& frame : device.TakeHeard()) {
        ASSERT_EQ(frame.left, 0);
    }
}

} // namespace
