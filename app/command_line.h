// The command line: options into settings, before any window exists. Main thread only.
#pragma once

#include <optional>
#include <string>

// Applies the arguments in order, argument 0 included. Returns the exit code when an option
// ends the program ("--help", "--list", a device id that does not exist), else nothing; the
// arguments after such an option are not examined. A relative "--bench:" name is made absolute
// against the current directory.
std::optional<int> readCommandLine(int argc, char** argv, bool& precisionForced,
                                   std::string& benchFile);

// readCommandLine, ending the process where it returns an exit code.
void parseCommandLine(int argc, char** argv, bool& precisionForced, std::string& benchFile);
