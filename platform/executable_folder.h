// The folder of the running executable.
#pragma once

#include <string>

// The executable's folder with its trailing '/', or an empty text when it cannot be found.
std::string executableFolder();

// Makes the executable's folder the current directory, so that "fonts/" resolves beside the
// program. Leaves the directory unchanged, silently, when the folder cannot be found or entered.
// Main thread.
void setWorkingDirectoryToExe();
