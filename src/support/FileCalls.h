#pragma once

#include <cstdint>

// The old-style integer-handle file calls (_lopen, _lcreat, _lread, _lwrite, _llseek, _lclose)
// with their results. Paths are UTF-8 bytes: the Windows layer converts them and uses the
// wide-character calls, so a folder name outside the ANSI code page works; elsewhere a small
// POSIX layer gives the same results. File contents are plain bytes (cp1252 text).

using FileHandle = int;
constexpr FileHandle FileError = -1;               // HFILE_ERROR
constexpr std::uint32_t FileIoError = 0xFFFFFFFFu; // _lread / _lwrite failure

constexpr int FileOpenRead = 0;        // OF_READ
constexpr int FileOpenWrite = 1;       // OF_WRITE
constexpr int FileOpenReadWrite = 2;   // OF_READWRITE
constexpr int FileAttributeNormal = 0; // _lcreat's "normal" attribute

constexpr int FileSeekBegin = 0;   // FILE_BEGIN
constexpr int FileSeekCurrent = 1; // FILE_CURRENT
constexpr int FileSeekEnd = 2;     // FILE_END

FileHandle FileOpen(const char* path, int mode);         // _lopen
FileHandle FileCreate(const char* path, int attributes); // _lcreat: creates or truncates
std::uint32_t FileRead(FileHandle file, void* buffer, std::uint32_t bytes);        // _lread
std::uint32_t FileWrite(FileHandle file, const void* buffer, std::uint32_t bytes); // _lwrite
std::int32_t FileSeek(FileHandle file, std::int32_t offset, int origin);           // _llseek
FileHandle FileClose(FileHandle file);                                             // _lclose

// Replaces target by source in one atomic step (MoveFileEx with replace-existing and
// write-through on Windows, rename on POSIX); true on success.
bool FileReplace(const char* source, const char* target);
// Removes a file; true on success.
bool FileRemove(const char* path);
// The number of the running process, to give temporary files names no other process uses.
std::uint32_t CurrentProcessNumber();
