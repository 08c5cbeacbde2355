#pragma once

#include "records/PersonRecord.h"

#include <cstddef>

// One line of the data file: "name" 0xF7 " L" and ten " %ld" levels, " R" and ten more.

// The longest record line: a name of 127 bytes, the left marker, twenty levels of at most
// " -2147483648" and the right marker between them, and the line end.
constexpr std::size_t MaxRecordLineBytes =
    (PersonRecord::NameSize - 1) + 3 + 2 * PersonRecord::LevelCount * 12 + 2 + 2;
// Room to give PutRecordLine: the line and 8 bytes behind it, which a level may scribble on
// (each is stored as a whole 8-byte word).
constexpr std::size_t RecordLineRoom = MaxRecordLineBytes + 8;

// Puts the record's line as saved at `out` (which has RecordLineRoom bytes), with CR LF unless
// it is the last; returns its end.
char* PutRecordLine(const PersonRecord& record, bool last, char* out);

// Reads the line of `length` bytes (its terminator at line[length], no NUL before) into the
// record; false when it is no record line (no name separator, or no L behind it).
bool ReadRecordLine(const char* line, std::size_t length, PersonRecord& record);
