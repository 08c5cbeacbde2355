#pragma once

#include <functional>
#include <initializer_list>
#include <string>

// Where the picture's save dialog opens, the same in both programs: the user's pictures folder,
// else the documents folder, else the home (profile) folder, each only if it is an existing
// folder. Empty when none is: the dialog then opens where it would by itself. The candidates
// come in that order from the platform; an empty one (a folder the platform does not know)
// is skipped.
std::string PictureStartFolder(std::initializer_list<std::string> candidates,
                               const std::function<bool(const std::string&)>& isFolder);
