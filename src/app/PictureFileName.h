#pragma once

#include <string>

// File names around the saved audiogram picture. Names and paths are UTF-8.

// The name the save dialog suggests for a person's picture: the name from the name field
// (cp1252) without surrounding blanks, each character a Windows file name cannot hold
// (\ / : * ? " < > | and control characters) replaced by "_", and ".png" appended. Both programs
// use the Windows set, so they suggest the same name. A name that is empty or all blanks gives
// "Audiogramm.png".
std::string SuggestedPictureName(const char* name);

// Whether the path ends in ".png", in any case.
bool HasPngExtension(const std::string& path);

// The path with ".png" appended, unless it ends in ".png" already.
std::string WithPngExtension(const std::string& path);

// Whether the path's last part is a name Windows keeps for a device (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9), in any case and with any extension: written there, the picture would go to
// the device. Both programs refuse them, as they suggest names by the Windows rules.
bool IsReservedDeviceName(const std::string& path);
