// The question whether the output can be heard: the watch that asks it on a thread of its own,
// and the Windows endpoint's answer through its seam.

#include "audio/EndpointOutputVolume.h"
#include "audio/OutputVolumeWatch.h"
#include "fakes/ScriptedOutputVolume.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(OutputVolumeWatch, AsksAfreshOnDemandAndFollowsTheOutputOnlyWhileARunWantsIt) {
    auto* volume = new ScriptedOutputVolume;
    OutputVolumeWatch watch{std::unique_ptr<OutputVolume>(volume)};
    EXPECT_EQ(watch.Ask(), OutputLoudness::Audible);
    volume->Set(OutputLoudness::Silent);
    EXPECT_EQ(watch.Ask(), OutputLoudness::Silent) << "an answer newer than the question";
    const int asked = volume->Queries();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(volume->Queries(), asked) << "idle between runs";

    watch.Follow(true);
    volume->Set(OutputLoudness::Audible);
    const auto began = Clock::now();
    while (watch.Latest() != OutputLoudness::Audible && Clock::now() - began < 2s) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_LT(Clock::now() - began, 500ms);
}

TEST(OutputVolumeWatch, AHungPlatformHoldsNoCallerLongerThanItsBound) {
    auto* volume = new ScriptedOutputVolume;
    auto watch = std::make_unique<OutputVolumeWatch>(std::unique_ptr<OutputVolume>(volume));
    volume->Hang();
    auto began = Clock::now();
    EXPECT_EQ(watch->Ask(), OutputLoudness::Unknown) << "cannot say: the run goes on";
    EXPECT_LT(Clock::now() - began, 1s);
    began = Clock::now();
    EXPECT_EQ(watch->Ask(), OutputLoudness::Unknown);
    EXPECT_LT(Clock::now() - began, 100ms) << "a query stuck already is not waited for again";
    began = Clock::now();
    watch.reset(); // the thread is left behind with the volume
    EXPECT_LT(Clock::now() - began, 1s);
    volume->Answer(); // it ends, and destroys the volume, once the platform answers
}

// Windows' default render endpoint as Core Audio answers; results are HRESULTs.
struct FakeEndpoint : EndpointCalls {
    std::int32_t Activate() override { return ++activations, activateResult; }
    std::int32_t GetMute(bool& value) override { return value = muted, readResult; }
    std::int32_t GetMasterVolumeLevelScalar(float& value) override {
        return value = level, readResult;
    }
    void Release() override { ++releases; }
    std::int32_t activateResult = static_cast<std::int32_t>(0x80070490u); // E_NOTFOUND
    std::int32_t readResult = 0;
    bool muted = false;
    float level = 0.5f;
    int activations = 0;
    int releases = 0;
};

TEST(EndpointOutputVolume, MuteOrAZeroLevelIsSilentAndAFailingEndpointIsTakenAnew) {
    auto* endpoint = new FakeEndpoint;
    EndpointOutputVolume volume{std::unique_ptr<EndpointCalls>(endpoint)};
    EXPECT_EQ(volume.Query(), OutputLoudness::Unknown) << "no render endpoint";
    EXPECT_EQ(endpoint->releases, 1) << "what the failed activation got is given back";

    endpoint->activateResult = 0;
    EXPECT_EQ(volume.Query(), OutputLoudness::Audible);
    endpoint->muted = true;
    EXPECT_EQ(volume.Query(), OutputLoudness::Silent);
    endpoint->muted = false;
    endpoint->level = 0.0f;
    EXPECT_EQ(volume.Query(), OutputLoudness::Silent);
    endpoint->level = 0.01f;
    EXPECT_EQ(volume.Query(), OutputLoudness::Audible);
    EXPECT_EQ(endpoint->activations, 2) << "the endpoint is kept between queries";

    endpoint->readResult = static_cast<std::int32_t>(0x88890004u); // device invalidated
    EXPECT_EQ(volume.Query(), OutputLoudness::Unknown);
    endpoint->readResult = 0;
    EXPECT_EQ(volume.Query(), OutputLoudness::Audible);
    EXPECT_EQ(endpoint->activations, 3) << "the new default endpoint";
    EXPECT_EQ(endpoint->releases, 2);
}

} // namespace
