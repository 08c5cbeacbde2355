#include "support/MessageBoxes.h"

#include "support/MainDialog.h"
#include "support/ModalPause.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

std::atomic<MessagePresenter*> presenter{nullptr};

int Present(unsigned style, WindowHandle owner, const char* format, std::va_list arguments) {
    // vsnprintf never writes past the buffer and always terminates it, so a text longer than
    // 1023 characters is cut there.
    char text[MessageBufferSize];
    std::vsnprintf(text, sizeof text, format, arguments);
    MessagePresenter* shown = presenter.load();
    if (shown == nullptr) {
        return 0;
    }
    // Every box of the program passes here: a run holds while it is open (see ModalPause.h).
    ModalPause pause;
    return shown->Present(owner, text, MessageCaption, style);
}

} // namespace

void SetMessagePresenter(MessagePresenter* newPresenter) {
    presenter.store(newPresenter);
}

MessagePresenter* CurrentMessagePresenter() {
    return presenter.load();
}

int ShowMessage(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    int result = Present(MessageOk, MainDialog(), format, arguments);
    va_end(arguments);
    return result;
}

int ShowMessageFor(WindowHandle owner, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    int result = Present(MessageOk, owner, format, arguments);
    va_end(arguments);
    return result;
}

int ShowMessageStyled(unsigned style, WindowHandle owner, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    int result = Present(style, owner, format, arguments);
    va_end(arguments);
    return result;
}
