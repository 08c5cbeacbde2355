#include "fakes/FakeDialogControls.h"

#include <algorithm>
#include <cstring>

int FakeDialogControls::GetItemText(WindowHandle, int id, char* buffer, int maxCount) {
    if (maxCount <= 0) {
        return 0;
    }
    const std::string& text = At(id).text;
    int copied = std::min<int>(static_cast<int>(text.size()), maxCount - 1);
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(copied));
    buffer[copied] = '\0';
    return copied;
}

void FakeDialogControls::SetItemText(WindowHandle, int id, const char* text) {
    At(id).text = text ? text : "";
}

void FakeDialogControls::EnableItem(WindowHandle, int id, bool enabled) {
    At(id).enabled = enabled;
    if (!enabled && focused == id) {
        focused = 0;
    }
}

void FakeDialogControls::FocusItem(WindowHandle, int id) {
    if (At(id).enabled) {
        focused = id;
    }
}

bool FakeDialogControls::IsItemChecked(WindowHandle, int id) {
    return At(id).checked;
}

void FakeDialogControls::ListClear(WindowHandle, int id) {
    At(id).items.clear();
    At(id).selection = -1;
}

int FakeDialogControls::ListAdd(WindowHandle, int id, const char* text) {
    At(id).items.emplace_back(text ? text : "");
    return static_cast<int>(At(id).items.size()) - 1;
}

int FakeDialogControls::ListCount(WindowHandle, int id) {
    return static_cast<int>(At(id).items.size());
}

int FakeDialogControls::ListSelection(WindowHandle, int id) {
    return At(id).selection;
}

void FakeDialogControls::ListSelect(WindowHandle, int id, int index) {
    Control& list = At(id);
    list.selection = (index >= 0 && index < static_cast<int>(list.items.size())) ? index : -1;
}

void FakeDialogControls::Invalidate(WindowHandle, bool erase) {
    ++invalidations;
    if (erase) {
        ++erasingInvalidations;
    }
}

void FakeDialogControls::InvalidateItem(WindowHandle, int id, bool) {
    invalidatedItems.push_back(id);
}

bool FakeDialogControls::PostCommand(WindowHandle window, CommandParam param, CommandData data) {
    std::lock_guard<std::mutex> lock(postedMutex);
    posted.push_back({window, param, data});
    return true;
}

CommandData FakeDialogControls::SendCommand(WindowHandle window, CommandParam param,
                                            CommandData data) {
    Sent message{window, param, data};
    sent.push_back(message);
    return onSend ? onSend(message) : 0;
}

bool FakeDialogControls::IsUsable(WindowHandle window) {
    std::lock_guard<std::mutex> lock(postedMutex);
    return window != nullptr && usable;
}

void FakeDialogControls::PostClose(WindowHandle) {
    ++closePosts;
}

void FakeDialogControls::DestroyDialog(WindowHandle) {
    destroyed = true;
}

void FakeDialogControls::PostQuit(int exitCode) {
    quitCode = exitCode;
}

std::string FakeDialogControls::Text(int id) const {
    auto found = controls.find(id);
    return found == controls.end() ? std::string() : found->second.text;
}

bool FakeDialogControls::Enabled(int id) const {
    auto found = controls.find(id);
    return found == controls.end() || found->second.enabled;
}

void FakeDialogControls::SetChecked(int id, bool checked) {
    At(id).checked = checked;
}

std::vector<std::string> FakeDialogControls::ListItems(int id) const {
    auto found = controls.find(id);
    return found == controls.end() ? std::vector<std::string>() : found->second.items;
}

std::vector<FakeDialogControls::Posted> FakeDialogControls::TakePosted() {
    std::lock_guard<std::mutex> lock(postedMutex);
    std::vector<Posted> taken(posted.begin(), posted.end());
    posted.clear();
    return taken;
}

std::size_t FakeDialogControls::PostedCount() const {
    std::lock_guard<std::mutex> lock(postedMutex);
    return posted.size();
}

void FakeDialogControls::SetUsable(bool isUsable) {
    std::lock_guard<std::mutex> lock(postedMutex);
    usable = isUsable;
}
