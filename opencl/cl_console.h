// Console output of the OpenCL backend.
#pragma once

#include <string>

namespace clConsole {

// Writes the text and a line end to standard output and flushes it. Any thread.
void line(const std::string& text);

// Flushes the console and ends the process at once with code: other threads may still be
// using the OpenCL and OpenGL objects, so no static destructor may run. Any thread.
[[noreturn]] void fatal(int code);

} // namespace clConsole
