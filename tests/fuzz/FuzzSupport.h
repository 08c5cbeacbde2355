#pragma once

#include "support/FileCalls.h"
#include "support/ScratchFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// What the fuzz targets share: a property check that stops the run with a finding, and real files
// in a scratch folder of this process (on tmpfs when the machine has one, so millions of inputs
// cost no disk writes), written and read through the system's own file calls.

// A broken property is a finding: libFuzzer keeps the input that broke it as a reproducer.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline ScratchFolder& FuzzFolder() {
    static ScratchFolder folder = [] {
        if (!std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm")) {
            setenv("TMPDIR", "/dev/shm", 1);
        }
        return ScratchFolder("tonolot-fuzz");
    }();
    return folder;
}

// Puts the bytes into the file through FileCreate and FileWrite; returns its UTF-8 path.
inline std::string WriteFuzzFile(const std::string& name, const std::string& bytes) {
    std::string path = FuzzFolder().Path(name);
    FileHandle file = FileCreate(path.c_str(), FileAttributeNormal);
    FUZZ_CHECK(file != FileError);
    if (!bytes.empty()) {
        FUZZ_CHECK(FileWrite(file, bytes.data(), static_cast<std::uint32_t>(bytes.size())) ==
                   bytes.size());
    }
    FUZZ_CHECK(FileClose(file) == 0);
    return path;
}
