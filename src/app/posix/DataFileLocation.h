#pragma once

#include <string>

// Where the native Linux program keeps its data file. A file beside the program is the Windows
// convention; here it is the user's data folder, which is also where the Windows program lives
// when it is started under Wine by the project's run script, so both programs share one file:
//   TONOLOT_DATA_FILE, when set and not empty (tests, and people who keep the file elsewhere);
//   otherwise $XDG_DATA_HOME/tonolot/tonolot.def, when XDG_DATA_HOME is an absolute path;
//   otherwise <home>/.local/share/tonolot/tonolot.def.
// Empty when there is no home folder to be found. Arguments may be null (variable not set).
std::string DataFileLocation(const char* dataFile, const char* xdgDataHome, const char* home);

// The same from the process's environment (HOME, else the password database).
std::string DataFileLocationFromEnvironment();

// Creates the folders above the file that are missing, readable by the user only (the records
// are personal). True when the folder exists afterwards.
bool CreateFolderFor(const std::string& filePath);
