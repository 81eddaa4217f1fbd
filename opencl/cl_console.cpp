#include "opencl/cl_console.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace clConsole {

void line(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void fatal(int code)
{
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

} // namespace clConsole
