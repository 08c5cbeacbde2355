#include "support/CopyName.h"

#include <cerrno>
#include <sys/random.h>

bool SystemRandom(void* bytes, std::size_t size) {
    auto* out = static_cast<unsigned char*>(bytes);
    while (size > 0) {
        ssize_t got = getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        out += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}
