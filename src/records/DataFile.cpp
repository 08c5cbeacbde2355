#include "hearing/HearingTest.h"
#include "records/RecordLine.h"
#include "support/Cp1252.h"
#include "support/FileCalls.h"
#include "support/FileSave.h"
#include "support/MessageBoxes.h"
#include "support/TextString.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

// The data file: one record per line, "name" 0xF7 " L" and ten " %ld" levels, " R" and ten more,
// the lines joined by CR LF without a line end after the last. The first record is the standard.

namespace {

constexpr const char* FallbackName = "unbekannter Standard";
constexpr std::int32_t MissingLevel = 50;
constexpr const char* UnsavedText = "Die Messungen konnten nicht gespeichert werden:\r\n%s";
constexpr const char* NoSpaceText =
    "Die Messungen konnten nicht gespeichert werden, weil auf dem Datentr\xE4ger kein Platz mehr "
    "ist. Die Datei ist unver\xE4ndert:\r\n%s";
constexpr const char* KeptAsideText =
    "Die Datei %s konnte nicht ersetzt werden und fehlt.\r\nAlle Messungen stehen in der "
    "Datei:\r\n%s";

// 50, 53, ... 77 for both ears.
PersonRecord FallbackRecord() {
    PersonRecord record{};
    std::memcpy(record.name, FallbackName, std::strlen(FallbackName) + 1);
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        record.left[i] = MissingLevel + 3 * i;
        record.right[i] = record.left[i];
    }
    return record;
}

// One record line as a string; false when no room could be had for it (the line is then empty).
bool BuildRecordLine(const PersonRecord& record, bool last, TextString& line) {
    char text[RecordLineRoom];
    const char* end = PutRecordLine(record, last, text);
    return line.Assign(text, static_cast<std::uint32_t>(end - text)) == 1;
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

// Puts the whole list in the data file's place (see FileSaveWhole: the data file is always
// either the old or the new content where the folder allows a copy beside it; a symbolic link
// stays and the file it names is written). The data file must still exist and be writable: a
// file removed, made read-only or locked since the start is not written (and not created anew).
FileSaveResult WriteRecords(const char* path, const RecordList& records) {
    FileSaveResult result;
    if (records.count == 0) {
        // Nothing was loaded (not even the fallback record fitted): keep the file as it is.
        result.outcome = FileSaveResult::Outcome::Saved;
        return result;
    }
    FileHandle probe = FileOpen(path, FileOpenWrite);
    if (probe == FileError) {
        return result;
    }
    FileClose(probe);
    std::string content;
    if (!BuildContent(records, content)) {
        return result;
    }
    return FileSaveWhole(path, content.data(), content.size());
}

} // namespace

bool HearingTest::ParseRecordLine(const char* line, PersonRecord& record) {
    return ReadRecordLine(line, std::strlen(line), record);
}

void HearingTest::LoadRecords(const char* path) {
    givenDataPath.Assign(path);
    FileHandle file = FileOpen(path, FileOpenRead);
    if (file == FileError) {
        file = FileCreate(path, FileAttributeNormal);
        if (file != FileError) {
            dataPath.Assign(path);
            // A new file gets the fallback record at once, so it is a valid data file even if
            // the process never reaches its orderly end.
            TextString line;
            BuildRecordLine(FallbackRecord(), true, line);
            line.WriteTo(file);
            FileClose(file);
        }
    } else {
        dataPath.Assign(path);
        ReadRecords(file, records);
        FileClose(file);
    }
    if (records.count == 0) {
        records.Add(FallbackRecord());
    }
    // Without even the fallback record in the list the chart still gets its reference curve.
    standard = records.count > 0 ? records.items[0] : FallbackRecord();
}

void HearingTest::SaveRecords() {
    // Without a path LoadRecords was never asked to load anything: there is no file to talk of.
    const char* path = dataPath.Length() > 0 ? dataPath.Text() : givenDataPath.Text();
    if (*path == '\0') {
        return;
    }
    FileSaveResult result;
    if (dataPath.Length() > 0) {
        result = WriteRecords(path, records);
    }
    // The path is UTF-8; the box shows cp1252 like every other text.
    TextString shown;
    Utf8ToCp1252(path, shown);
    switch (result.outcome) {
    case FileSaveResult::Outcome::Saved:
        break;
    case FileSaveResult::Outcome::KeptAside: {
        // The records are nowhere else: the person must learn where they are.
        TextString kept;
        Utf8ToCp1252(result.keptAt.c_str(), kept);
        ShowMessageFor(nullptr, KeptAsideText, shown.Text(), kept.Text());
        break;
    }
    case FileSaveResult::Outcome::NoSpace:
    case FileSaveResult::Outcome::Failed:
        // Measurements stored in this run must not vanish silently; an unchanged list may.
        if (storedThisRun) {
            ShowMessageFor(nullptr,
                           result.outcome == FileSaveResult::Outcome::NoSpace ? NoSpaceText
                                                                              : UnsavedText,
                           shown.Text());
        }
        break;
    }
}
