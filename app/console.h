// Console output of the application shell.
#pragma once

#include <string>

// Writes the text and a line end to standard output and flushes it.
void printLine(const std::string& text);
