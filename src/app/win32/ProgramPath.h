#pragma once

#include <windows.h>

#include <string>

// The full path of the program file as UTF-8 (from GetModuleFileNameW, so a folder whose name
// lies outside the ANSI code page survives), of any length; empty when Windows cannot tell it.
std::string ProgramPath(HINSTANCE instance);
