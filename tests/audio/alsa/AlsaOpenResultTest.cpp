#include "audio/alsa/AlsaOpenResult.h"
#include "audio/WaveOut.h"

#include <gtest/gtest.h>

#include <cerrno>

// What the open error box shows for each way ALSA can refuse the device.

namespace {

struct Refusal {
    AlsaOpenStep step;
    int error;
    unsigned result;
};

constexpr AlsaOpenStep Device = AlsaOpenStep::Device;
constexpr AlsaOpenStep Format = AlsaOpenStep::Format;

TEST(AlsaOpenResult, EachAlsaErrorBecomesTheNearestWinmmResult) {
    const Refusal refusals[] = {
        // No sound card and no server ("Unknown PCM default"), or the server gone.
        {Device, -ENOENT, WaveErrorBadDeviceId},  {Device, -ECONNREFUSED, WaveErrorBadDeviceId},
        {Device, -ENODEV, WaveErrorBadDeviceId},  {Device, -ENXIO, WaveErrorBadDeviceId},
        {Device, -EACCES, WaveErrorBadDeviceId},  {Device, -ETIMEDOUT, WaveErrorBadDeviceId},
        {Device, -EINVAL, WaveErrorInvalidParam}, {Device, -EBUSY, WaveErrorAllocated},
        {Format, -EAGAIN, WaveErrorAllocated},    {Device, -ENOMEM, WaveErrorNoMemory},
        {Format, -EMFILE, WaveErrorNoMemory},     {Device, -ENOSYS, WaveErrorNoDriver},
        {Format, -EINVAL, WaveErrorBadFormat},    {Format, -ERANGE, WaveErrorBadFormat},
        {Format, -EIO, WaveErrorBadDeviceId},     {Format, -ECONNRESET, WaveErrorBadDeviceId},
        {Format, -ENOENT, WaveErrorError},        {Device, -EIO, WaveErrorError},
        {Device, -12345, WaveErrorError},         {Device, 0, WaveOk},
    };
    for (const Refusal& refusal : refusals) {
        EXPECT_EQ(AlsaOpenResult(refusal.step, refusal.error), refusal.result)
            << (refusal.step == Device ? "device " : "format ") << refusal.error;
    }
}

} // namespace
