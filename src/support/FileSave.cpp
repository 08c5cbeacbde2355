#include "support/FileSave.h"

#include "support/FileCalls.h"

#include <cstdint>

namespace {

bool WriteAll(FileHandle file, const void* bytes, std::size_t size) {
    const auto* next = static_cast<const char*>(bytes);
    while (size > 0) {
        const auto chunk = static_cast<std::uint32_t>(size < 0x40000000u ? size : 0x40000000u);
        if (FileWrite(file, next, chunk) != chunk) {
            return false;
        }
        next += chunk;
        size -= chunk;
    }
    return true;
}

} // namespace

FileSaveResult FileSaveWhole(const char* path, const void* bytes, std::size_t size) {
    FileSaveResult result;
    FileReplacement replacement;
    if (FileBeginReplacement(path, replacement)) {
        if (!WriteAll(replacement.file, bytes, size)) {
            FileAbandonReplacement(replacement);
        } else if (FileCommitReplacement(replacement)) {
            result.outcome = FileSaveResult::Outcome::Saved;
            return result;
        } else if (replacement.keptAside) {
            result.outcome = FileSaveResult::Outcome::KeptAside;
            result.keptAt = replacement.temporary;
            return result;
        }
    }
    // The file itself, a link followed to it as the copy would have replaced it.
    const std::string target = replacement.target.empty() ? path : replacement.target;
    switch (FileWriteInPlace(target.c_str(), bytes, size)) {
    case InPlaceResult::Written:
        result.outcome = FileSaveResult::Outcome::Saved;
        break;
    case InPlaceResult::NoSpace:
        result.outcome = FileSaveResult::Outcome::NoSpace;
        break;
    case InPlaceResult::Failed:
        break;
    }
    return result;
}
