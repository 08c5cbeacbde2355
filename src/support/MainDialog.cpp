#include "support/MainDialog.h"

#include <atomic>

namespace {
std::atomic<WindowHandle> mainDialog{nullptr};
}

WindowHandle MainDialog() {
    return mainDialog.load(std::memory_order_acquire);
}

void SetMainDialog(WindowHandle dialog) {
    mainDialog.store(dialog, std::memory_order_release);
}
