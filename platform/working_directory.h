// The executable's folder as the current directory, so that files installed beside the program
// ("fonts/...") resolve from wherever it was started.
#pragma once

#include <string>

// The folder of the running executable with its trailing '/', or "" when it cannot be read.
std::string executableFolder();

// Makes the executable's folder the current directory; on any failure the directory stays as it
// was. Main thread.
void setWorkingDirectoryToExe();
