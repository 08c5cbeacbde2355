#include "support/posix/FileLayer.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Beside(const std::string& path, const std::string& name) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

std::string LinkTarget(const char* path) {
    struct stat status;
    if (lstat(path, &status) != 0 || !S_ISLNK(status.st_mode)) {
        return path;
    }
    char* resolved = realpath(path, nullptr);
    if (!resolved) {
        return std::string();
    }
    std::string target(resolved);
    std::free(resolved);
    return target;
}

void SyncFolder(const std::string& folder) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        // A file system that cannot flush a folder has nothing to lose by it.
        fsync(descriptor);
        close(descriptor);
    }
}
