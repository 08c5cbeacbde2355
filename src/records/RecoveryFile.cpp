#include "records/RecoveryFile.h"

#include "records/RecordLine.h"
#include "support/FileCalls.h"

#include <cstdint>
#include <cstring>

namespace {

// A record line and its line end, and room to tell a longer file.
constexpr std::uint32_t ReadRoom = MaxRecordLineBytes + 16;

} // namespace

std::string RecoveryPathFor(const char* dataPath) {
    return std::string(dataPath) + ".unstored";
}

bool WriteRecovery(const std::string& path, const PersonRecord& record) {
    const FileHandle file = FileCreateNew(path.c_str());
    if (file == FileError) {
        return false;
    }
    char line[RecordLineRoom];
    const auto size = static_cast<std::uint32_t>(PutRecordLine(record, true, line) - line);
    const bool written = FileWrite(file, line, size) == size && FileFlush(file);
    FileClose(file);
    if (!written) {
        // A part of a line would come back as a wrong measurement.
        FileRemove(path.c_str());
    }
    return written;
}

bool ReadRecovery(const std::string& path, PersonRecord& record) {
    const FileHandle file = FileOpenUnlinked(path.c_str());
    if (file == FileError) {
        return false;
    }
    char text[ReadRoom + 1];
    std::uint32_t size = FileRead(file, text, ReadRoom);
    FileClose(file);
    if (size == FileIoError || size > MaxRecordLineBytes) {
        return false;
    }
    text[size] = '\0';
    return ReadRecordLine(text, std::strlen(text), record) && record.left[0] > 0 &&
           record.right[0] > 0;
}
