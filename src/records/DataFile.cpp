#include "records/DataFile.h"

#include "records/RecordLine.h"
#include "support/FileCalls.h"
#include "support/SaveLock.h"
#include "support/TextString.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr const char* FallbackName = "unbekannter Standard";
constexpr std::int32_t MissingLevel = 50;
// Longer than any save of another copy takes, short enough for a share that hangs.
constexpr std::uint32_t LockTimeoutMilliseconds = 10000;

// One record line as a string; false when no room could be had for it (the line is then empty).
bool BuildRecordLine(const PersonRecord& record, bool last, TextString& line) {
    char text[RecordLineRoom];
    const char* end = PutRecordLine(record, last, text);
    return line.Assign(text, static_cast<std::uint32_t>(end - text)) == 1;
}

bool SameName(const PersonRecord& record, const char* name) {
    return std::memchr(record.name, '\0', PersonRecord::NameSize) != nullptr &&
           std::strcmp(record.name, name) == 0;
}

// Lines read before the list gets room for all records of the file at the rate they show.
constexpr std::uint32_t SampleLines = 64;

// Room for the records of the whole file at the rate of those among the first lines, and an
// eighth more, so that the list of a large file is not moved (its memory copied and touched
// anew) at every step of its growth. `read` counts each line end as two bytes. Without that
// much memory the list grows step by step as far as memory allows.
void MakeRoom(RecordList& records, std::uint32_t found, std::int64_t size, std::int64_t read) {
    const std::int64_t expected = static_cast<std::int64_t>(found) * size / read;
    const std::int64_t slots = records.count + expected + expected / 8 + 8;
    if (slots > records.capacity && slots < UINT32_MAX) {
        records.GrowTo(static_cast<std::uint32_t>(slots));
    }
}

// Reads the file's lines into the list as they come, each into the same block. Lines that are
// no record lines are left out; when the list cannot grow, the records read so far stay and
// the rest of the file is still read past.
void ReadRecords(FileHandle file, RecordList& records) {
    // The file's size tells the room the list will need; reading then starts at the beginning.
    const std::int32_t size = FileSeek(file, 0, FileSeekEnd);
    FileSeek(file, 0, FileSeekBegin);
    TextString line;
    PersonRecord record;
    std::uint32_t lines = 0;
    std::uint32_t found = 0;
    std::int64_t read = 0;
    for (;;) {
        line.Clear();
        const std::int32_t result = line.LineReader(file);
        if (result < 0) {
            return;
        }
        const char* text = line.Text();
        if (result > 0 && ReadRecordLine(text, std::strlen(text), record)) {
            records.Add(record);
            ++found;
        }
        read += result + 2;
        if (++lines == SampleLines && size > 0) {
            MakeRoom(records, found, size, read);
        }
    }
}

// The whole file as saved, built in memory so that it goes to the disk in one write and its
// length is known before (to reserve its room); false when there was no memory for it.
bool BuildContent(const RecordList& records, std::string& content) {
    try {
        content.clear();
        // A usual line is about a hundred bytes: one allocation for most files instead of a
        // copy at every doubling. Pages not written are never touched.
        content.reserve(static_cast<std::size_t>(records.count) * 128);
        char line[RecordLineRoom];
        for (std::uint32_t i = 0; i < records.count; ++i) {
            const char* end = PutRecordLine(records.items[i], i + 1 == records.count, line);
            content.append(line, static_cast<std::size_t>(end - line));
        }
    } catch (const std::bad_alloc&) {
        // A file without the records that did not fit would lose them.
        return false;
    }
    return true;
}

} // namespace

PersonRecord FallbackRecord() {
    PersonRecord record{};
    std::memcpy(record.name, FallbackName, std::strlen(FallbackName) + 1);
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        record.left[i] = MissingLevel + 3 * i;
        record.right[i] = record.left[i];
    }
    return record;
}

bool LoadDataFile(const char* path, RecordList& records) {
    bool usable = true;
    FileHandle file = FileOpen(path, FileOpenRead);
    if (file == FileError) {
        file = FileCreate(path, FileAttributeNormal);
        if (file != FileError) {
            // A new file gets the fallback record at once, so it is a valid data file even if
            // the process never reaches its orderly end.
            TextString line;
            BuildRecordLine(FallbackRecord(), true, line);
            line.WriteTo(file);
            FileClose(file);
        } else {
            usable = false;
        }
    } else {
        ReadRecords(file, records);
        FileClose(file);
    }
    if (records.count == 0) {
        records.Add(FallbackRecord());
    }
    return usable;
}

bool ApplyStore(RecordList& records, const PersonRecord& record) {
    // The name as the file keeps it: at most 127 bytes.
    char name[PersonRecord::NameSize];
    std::memcpy(name, record.name, sizeof name);
    name[PersonRecord::NameSize - 1] = '\0';
    // The first of several equal names, as an overwrite in the dialog finds it.
    for (std::uint32_t i = 0; i < records.count; ++i) {
        if (SameName(records.items[i], name)) {
            std::memcpy(&records.items[i], &record, sizeof(PersonRecord));
            return true;
        }
    }
    return records.Add(record);
}

FileSaveResult MergeIntoDataFile(const char* path, const PersonRecord* stores, std::size_t count,
                                 RecordList& merged) {
    FileSaveResult result;
    merged.Clear();
    // The data file must still exist and be writable: a file removed, made read-only or locked
    // since the start is not written (and not created anew), and gets no lock file beside it.
    FileHandle probe = FileOpen(path, FileOpenWrite);
    if (probe == FileError) {
        return result;
    }
    FileClose(probe);
    SaveLock lock;
    if (LockForSave(path, LockTimeoutMilliseconds, lock) == SaveLockResult::TimedOut) {
        return result;
    }
    FileHandle file = FileOpen(path, FileOpenRead);
    if (file != FileError) {
        ReadRecords(file, merged);
        FileClose(file);
    }
    if (merged.count == 0) {
        merged.Add(FallbackRecord());
    }
    bool complete = file != FileError;
    for (std::size_t i = 0; i < count && complete; ++i) {
        complete = ApplyStore(merged, stores[i]);
    }
    std::string content;
    // A file without the records that did not fit would lose them.
    if (complete && BuildContent(merged, content)) {
        result = FileSaveWhole(path, content.data(), content.size());
    }
    UnlockSave(lock);
    return result;
}
