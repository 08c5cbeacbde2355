#include "audio/alsa/AlsaOpenResult.h"

#include "audio/WaveOut.h"

#include <cerrno>

namespace {

// The device or the server behind it is not there (or went away).
bool DeviceMissing(int code) {
    switch (code) {
    case ENODEV:
    case ENXIO:
    case ECONNREFUSED:
    case ENOTCONN:
    case ECONNRESET:
        return true;
    default:
        return false;
    }
}

} // namespace

unsigned AlsaOpenResult(AlsaOpenStep step, int error) {
    const int code = error < 0 ? -error : error;
    if (code == 0) {
        return WaveOk;
    }
    switch (code) {
    case EBUSY:
    case EAGAIN:
        return WaveErrorAllocated;
    case ENOMEM:
    case ENOSPC:
    case EMFILE:
    case ENFILE:
        return WaveErrorNoMemory;
    case ENOSYS:
    case EOPNOTSUPP:
        return WaveErrorNoDriver;
    default:
        break;
    }
    if (step == AlsaOpenStep::Format) {
        if (code == EINVAL || code == ERANGE) {
            return WaveErrorBadFormat;
        }
        if (DeviceMissing(code) || code == EIO || code == EBADFD || code == ESTRPIPE) {
            return WaveErrorBadDeviceId;
        }
        return WaveErrorError;
    }
    if (DeviceMissing(code) || code == ENOENT || code == EHOSTDOWN || code == EHOSTUNREACH ||
        code == ETIMEDOUT || code == EACCES || code == EPERM) {
        return WaveErrorBadDeviceId;
    }
    return code == EINVAL ? WaveErrorInvalidParam : WaveErrorError;
}
