#pragma once

#include <string>
#include <string_view>

// The data file lies beside the program and carries the program's own base name with the
// extension ".def": C:\Tools\tonolot.exe keeps its records in C:\Tools\tonolot.def, so renaming
// the program renames its data file as well.
//
// Only the file name is searched for the '.' that starts the extension; a '.' in a folder name
// is left alone, and a file name without one gets ".def" appended. The result therefore never
// names the program itself. Paths are UTF-8 bytes with '\\' or '/' between folders.
std::string DataFilePathFor(std::string_view programPath);
