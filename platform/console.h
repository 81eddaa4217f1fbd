// The program's console: whole lines on standard output, and the fatal exit.
#pragma once

#include <string_view>

// Writes the text and a line end with one write, then flushes, so lines of different threads
// never mix. Any thread.
void printLine(std::string_view text);

// Writes the text without a line end, then flushes: the start of a line that later output
// ends. Any thread.
void printText(std::string_view text);

// Flushes standard output and standard error and ends the process with the code at once: no
// static destructor runs, so none can wait for a thread that is still working. Any thread.
[[noreturn]] void fatalExit(int code);
