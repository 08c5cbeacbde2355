#include "app/PictureStartFolder.h"

std::string PictureStartFolder(std::initializer_list<std::string> candidates,
                               const std::function<bool(const std::string&)>& isFolder) {
    for (const std::string& folder : candidates) {
        if (!folder.empty() && isFolder(folder)) {
            return folder;
        }
    }
    return std::string();
}
