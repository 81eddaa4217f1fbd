#include "platform/console.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {
// NOTE: stdio locks each call, but a line and its flush must leave together.
std::mutex consoleMutex;
} // namespace

void printLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text);
    line.push_back('\n');
    std::lock_guard lock(consoleMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void printText(std::string_view text)
{
    std::lock_guard lock(consoleMutex);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void fatalExit(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
