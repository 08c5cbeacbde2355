#pragma once

#include <cstdint>
#include <string>

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

// Makes the file end at the current position (SetEndOfFile); true on success.
bool FileSetEnd(FileHandle file);
// Writes what was written to the file through to the disk (FlushFileBuffers, fsync); true on
// success.
bool FileFlush(FileHandle file);

// Replaces target by source in one atomic step, keeping what was set on target (see
// FileCommitReplacement); true on success.
bool FileReplace(const char* source, const char* target);
// Removes a file; true on success.
bool FileRemove(const char* path);
// The number of the running process, to give temporary files names no other process uses.
std::uint32_t CurrentProcessNumber();

// Saving a file's whole content so that a crash at any moment leaves either the old or the new
// content: the new content is written into a copy of this process beside the file,
// "<file>.<process number>.tmp", reaches the disk, and takes the file's place in one step.
// A copy left by a save that was cut off (a crash) is removed by the next save of the file.
struct FileReplacement {
    std::string target;    // the file replaced; a symbolic link is followed, so the link stays
    std::string temporary; // the copy being written
    FileHandle file = FileError;
    // Set when the copy could not be made because the folder does not allow new files.
    bool refused = false;
};

// Creates the copy for replacing the file at path, after removing the copies of earlier saves
// of it that no running save writes any more. False when no copy could be made.
bool FileBeginReplacement(const char* path, FileReplacement& replacement);
// Puts the written copy in the file's place, flushed to the disk and with what the user set on
// the file carried over: permission bits and, where allowed, owner and group on POSIX;
// attributes, owner and access rights through ReplaceFileW on Windows. Closes the copy. False
// when it failed: the file is then unchanged and the copy removed.
bool FileCommitReplacement(FileReplacement& replacement);
// Closes and removes the copy; the file stays as it was.
void FileAbandonReplacement(FileReplacement& replacement);
