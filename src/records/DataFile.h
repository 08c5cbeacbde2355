#pragma once

#include "records/RecordList.h"
#include "support/FileSave.h"

#include <cstddef>

// The data file: one record per line, "name" 0xF7 " L" and ten " %ld" levels, " R" and ten more,
// the lines joined by CR LF without a line end after the last. The first record is the standard.

// "unbekannter Standard" with 50, 53, ... 77 for both ears: the list of a file without records.
PersonRecord FallbackRecord();

// Reads the file at path into the empty list, or creates it with the fallback record when it is
// missing; the list gets the fallback record when the file held none. False when the file could
// be neither opened nor created: nothing is ever saved into it then.
bool LoadDataFile(const char* path, RecordList& records);

// A store: the first entry of that name gets the record, or it is added. False when the list
// could not grow.
bool ApplyStore(RecordList& records, const PersonRecord& record);

// One save of this copy's stores among the others: under the save lock the file is read as it is
// now, the stores are applied to it in their order and the result is written crash-safe (see
// FileSaveWhole). `merged` gets the list written. A file that is gone or read-only is not written
// (and not created anew).
FileSaveResult MergeIntoDataFile(const char* path, const PersonRecord* stores, std::size_t count,
                                 RecordList& merged);
