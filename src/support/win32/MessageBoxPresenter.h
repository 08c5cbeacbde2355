#pragma once

#include "support/MessageBoxes.h"

// Shows the system's boxes with MessageBoxA, so the cp1252 texts appear as they are. A box
// without owner (before the dialog exists or after it is gone) belongs to no window.
class MessageBoxPresenter : public MessagePresenter {
public:
    int Present(WindowHandle owner, const char* text, const char* caption, unsigned style) override;
};
