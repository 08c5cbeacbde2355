#pragma once

#include "support/FileCalls.h"

#include <windows.h>

// A file handle of the old calls is the kernel handle itself as an int, as they return it
// (kernel handles fit 32 bits, also on 64-bit).

inline HANDLE ToHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
}

inline FileHandle FromHandle(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) {
        return FileError;
    }
    return static_cast<FileHandle>(reinterpret_cast<INT_PTR>(handle));
}
