#include "app/posix/DataFileLocation.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

constexpr const char* FolderName = "tonolot";
constexpr const char* FileName = "tonolot.def";

bool Given(const char* value) {
    return value != nullptr && *value != '\0';
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string DataFileLocation(const char* dataFile, const char* xdgDataHome, const char* home) {
    if (Given(dataFile)) {
        return dataFile;
    }
    std::string folder;
    // A relative XDG_DATA_HOME is invalid and to be ignored.
    if (Given(xdgDataHome) && xdgDataHome[0] == '/') {
        folder = xdgDataHome;
    } else if (Given(home)) {
        folder = home;
        if (folder.back() != '/') {
            folder += '/';
        }
        folder += ".local/share";
    } else {
        return {};
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder + FolderName + '/' + FileName;
}

std::string DataFileLocationFromEnvironment() {
    const char* home = std::getenv("HOME");
    if (!Given(home)) {
        if (const passwd* user = getpwuid(getuid())) {
            home = user->pw_dir;
        }
    }
    return DataFileLocation(std::getenv("TONOLOT_DATA_FILE"), std::getenv("XDG_DATA_HOME"), home);
}

bool CreateFolderFor(const std::string& filePath) {
    const std::size_t slash = filePath.find_last_of('/');
    if (slash == std::string::npos || slash == 0) {
        return true; // the current folder or the root
    }
    const std::string folder = filePath.substr(0, slash);
    for (std::size_t next = folder.find('/', 1);; next = folder.find('/', next + 1)) {
        const std::string part = folder.substr(0, next);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (next == std::string::npos) {
            break;
        }
    }
    return IsFolder(folder);
}
