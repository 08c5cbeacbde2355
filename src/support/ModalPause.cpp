#include "support/ModalPause.h"

#include <atomic>

namespace {

std::atomic<ModalListener*> listener{nullptr};
// Pauses held; nested boxes (a question from inside a file dialog) count up.
std::atomic<int> depth{0};

} // namespace

void SetModalListener(ModalListener* newListener) {
    listener.store(newListener);
}

ModalListener* CurrentModalListener() {
    return listener.load();
}

ModalPause::ModalPause() {
    if (depth.fetch_add(1) == 0) {
        if (ModalListener* current = listener.load()) {
            current->OnModalOpened();
        }
    }
}

ModalPause::~ModalPause() {
    if (depth.fetch_sub(1) == 1) {
        if (ModalListener* current = listener.load()) {
            current->OnModalClosed();
        }
    }
}

bool ModalPause::Held() {
    return depth.load() > 0;
}
