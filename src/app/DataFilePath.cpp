#include "app/DataFilePath.h"

namespace {

constexpr std::string_view DataExtension = ".def";

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string DataFilePathFor(std::string_view programPath) {
    // The file name begins after the last folder separator, or after the drive of "C:name".
    std::size_t separator = programPath.find_last_of("\\/:");
    std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    std::size_t dot = programPath.rfind('.');

    std::string path;
    if (dot != std::string_view::npos && dot >= nameStart) {
        path.assign(programPath.substr(0, dot));
    } else {
        path.assign(programPath);
    }
    path.append(DataExtension);

    // A program that is itself named *.def would otherwise be overwritten by its records; the
    // file system compares names without regard to letter case.
    if (SameIgnoringAsciiCase(path, programPath)) {
        path.assign(programPath);
        path.append(DataExtension);
    }
    return path;
}
