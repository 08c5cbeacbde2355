#pragma once

#include <cstddef>
#include <string>

// Saving a file's whole content (the data file, a picture), the safe way where the folder
// allows it and in place where it does not.

struct FileSaveResult {
    enum class Outcome {
        Saved,     // the file holds the new content
        Failed,    // the file is as it was (or, where nothing could be done, absent as before)
        NoSpace,   // the disk has no room for the new content: the file is as it was
        KeptAside, // the file is gone and the new content kept in the file `keptAt`
    };
    Outcome outcome = Outcome::Failed;
    std::string keptAt;
};

// Writes bytes into a copy beside the file that takes its place in one step (FileReplacement).
// Where no copy can be made or it cannot take the file's place (a folder without the right to
// add or rename files, a sticky folder with another user's file, a full disk, another file
// system), an existing file is written in place instead (FileWriteInPlace): the user's
// measurements are worth more than the crash safety.
FileSaveResult FileSaveWhole(const char* path, const void* bytes, std::size_t size);
