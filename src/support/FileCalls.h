#pragma once

#include <cstdint>
#include <string>

// The old-style integer-handle file calls (_lopen, _lcreat, _lread, _lwrite, _llseek, _lclose)
// with their results. Paths are UTF-8 bytes: the Windows layer converts them and uses the
// wide-character calls, so a folder name outside the ANSI code page works; elsewhere a small
// POSIX layer gives the same results. File contents are plain bytes (cp1252 text).
//
// Where things live, the same on both platforms (support/posix/, support/win32/):
//   FileHandles      the handle calls above
//   FileReplacement  saving through a copy that takes the file's place (below)
//   LinkTarget/Links following the link a person made to the data file
//   LeftoverCopies   removing copies of saves that were cut off; CopyLock the lock that tells
//   InPlaceWrite     writing over the file where no copy can take its place
//   OwnerAndMode (POSIX), ReplaceInOneStep (Windows)  keeping what was set on the file
// Portable: CopyName (the copies' names and lock), FileSave (a whole save with its fallbacks),
// Utf16 (the paths of the wide-character calls).

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

// For files of the program's own beside the data file in a folder others share: creates a new
// file for writing only where nothing is at the name (no file, no link), and opens an existing
// one for reading only when the name is no link.
FileHandle FileCreateNew(const char* path);
FileHandle FileOpenUnlinked(const char* path);

// Makes the file end at the current position (SetEndOfFile); true on success.
bool FileSetEnd(FileHandle file);
// Writes what was written to the file through to the disk (FlushFileBuffers, fsync); true on
// success.
bool FileFlush(FileHandle file);

// Removes a file; true on success.
bool FileRemove(const char* path);

// Saving a file's whole content so that a crash at any moment leaves either the old or the new
// content: the new content is written into a copy beside the file (named as CopyName.h says,
// created only where no file or link is in the way), reaches the disk, and takes the file's
// place in one step. A save holds a lock on its copy while it writes it; a copy nobody holds
// belongs to a save that was cut off (a crash) and is removed by the next save in the folder.
struct FileReplacement {
    std::string target;    // the file replaced; a symbolic link is followed, so the link stays
    std::string temporary; // the copy being written
    FileHandle file = FileError;
    // Set when the copy could not take the file's place while the file was gone (Windows): the
    // copy, the only complete content, is then kept, under `temporary`.
    bool keptAside = false;
};

// Creates the copy for replacing the file at path, after removing the copies in its folder
// that no running save holds any more. False when no copy could be made.
bool FileBeginReplacement(const char* path, FileReplacement& replacement);
// Puts the written copy in the file's place, flushed to the disk and with what the user set on
// the file carried over: permission bits and, where allowed, owner and group on POSIX;
// attributes, owner and access rights through ReplaceFileW on Windows. Closes the copy. False
// when it failed: the file is then unchanged and the copy removed, or (keptAside) the file is
// gone and the copy kept.
bool FileCommitReplacement(FileReplacement& replacement);
// Closes and removes the copy; the file stays as it was.
void FileAbandonReplacement(FileReplacement& replacement);

enum class InPlaceResult { Written, NoSpace, Failed };
// Writes bytes over the existing file at path (never creating it), for when no copy can take
// its place. The room for the new content is taken first, so a full disk leaves the file as it
// was (NoSpace); then the content is written over the old, cut to its length and flushed to the
// disk. Not crash-safe by its nature: a crash part-way leaves a partly written file.
InPlaceResult FileWriteInPlace(const char* path, const void* bytes, std::size_t size);
