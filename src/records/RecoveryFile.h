#pragma once

#include "records/PersonRecord.h"

#include <string>

// A two-ear measurement not yet stored when the program ended in a way the person did not choose
// (a signal, the end of the session, a lost display) waits in "<data file>.unstored", one record
// line, until the next start shows it again. Like every file of the program in a shared folder
// it is created only where nothing is at its name and never read through a link.

std::string RecoveryPathFor(const char* dataPath);

// False when it could not be created (something is at the name already, the folder takes no new
// file) or written whole (what was written is then removed again).
bool WriteRecovery(const std::string& path, const PersonRecord& record);

// False when there is none, or it holds no record with both ears measured.
bool ReadRecovery(const std::string& path, PersonRecord& record);
