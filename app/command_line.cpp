#include "app/command_line.h"

#include "core/globals.h"
#include "opencl/opencl_backend.h"
#include "platform/console.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <strings.h>
#include <system_error>

namespace {

const char* const helpLines[] = {
    "--cpuN      forces CPU mode with N threads. N should ideally be set to the number of CPU cores",
    "--deviceN   forces app to run on OpenCL device N",
    "--list      lists available OpenCL devices",
    "--single    forces single precision (default for GPUs without double precision)",
    "--extended  forces 80-bit x87 precision (CPU only)",
    "--32bit",
    "--30bit",
    "--10bit     Enables 10 bits per channel (RGBA 10:10:10:2, instead of 8:8:8:8)",
    "            (where available, otherwise will fallback to 8:8:8:8",
    "--24bit",
    "--bench:filename runs a benchmark of the fractal set specified in filename",
    "--help      displays this information",
    "--nogl2     Force app to run in OpenGL 1.2 mode without shaders.",
    "--interop   Allows supported CL GPU devices to use memory sharing OpenGL 2.0 mode.",
    "--nointerop Disables support for CL GPU devices to use meory sharing OpenGL 2.0 mode.",
    "--async     (Default) the rendering thread runs independently of the compute queue",
    "            (slower compute/app menus more responsive)",
    "--sync      the rendering thread runs blocks until he compute queue finished.",
    "            (faster compute/app menus less responsive)",
};

// atoi for the values of "--cpu" and "--device": leading blanks, a sign, digits, anything after
// them ignored; values beyond the int range saturate instead of overflowing.
int32_t parseCount(const char* text)
{
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    int64_t value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10 + (*text++ - '0');
        if (value > int64_t{INT32_MAX} + 1)
            value = int64_t{INT32_MAX} + 1;
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value);
}

// The file name of "--bench:", absolute against the directory the program was started in:
// later start-up steps move the current directory to the executable's folder.
std::string absoluteBenchName(const char* value)
{
    const std::filesystem::path name(value);
    if (name.empty() || name.is_absolute())
        return name.string();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    return error ? name.string() : absolute.string();
}

void printHelp()
{
    printLine("CL Tessaly V" + versionString);
    printLine("");
    for (const char* line : helpLines)
        printLine(line);
}

} // namespace

std::optional<int> readCommandLine(int argc, char** argv, bool& precisionForced,
                                   std::string& benchFile)
{
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg == nullptr)
            continue;
        // The value of an option starts as many characters into the argument as the option is long.
        auto has = [arg](const char* option) { return std::strstr(arg, option) != nullptr; };
        auto valueOf = [arg](const char* option) { return arg + std::strlen(option); };

        if (has("--cpu")) {
            cpuMode = true;
            int32_t count = parseCount(valueOf("--cpu"));
            if (count <= 0)
                count = maxCpuThreads;
            cpuThreadCount = count;
            printLine("CPU Threads: " + std::to_string(count));
        } else if (has("--device")) {
            if (openCLRuntimeLoads())
                listDevices(false);
            deviceId = parseCount(valueOf("--device"));
            if (static_cast<uint32_t>(deviceId.load()) >= clState.deviceList.size()) {
                printLine("Invalid device Id. Run this app with the --list option to see available devices");
                return 1;
            }
        } else if (strcasecmp(arg, "--list") == 0) {
            if (openCLRuntimeLoads())
                listDevices(true);
            return 0;
        } else if (strcasecmp(arg, "--help") == 0) {
            printHelp();
            return 0;
        } else if (has("--bench:")) {
            benchmarkActive = true;
            zoomRequested = true;
            cycleDirection = 1;
            useInterop = true;
            syncMode = true;
            benchFile = absoluteBenchName(valueOf("--bench:"));
        } else if (has("--single")) {
            useDouble = false;
            precisionForced = true;
        } else if (has("--double")) {
            useDouble = true;
            precisionForced = true;
        } else if (has("--extended")) {
            useExtended = true;
            precisionForced = true;
        } else if (has("--10bit") || has("--30bit") || has("--32bit")) {
            tenBitColour = true;
            printLine("32 bit colour");
        } else if (has("--8bit") || has("--24bit")) {
            tenBitColour = false;
            printLine("24 bit colour");
        } else if (has("--nogl2")) {
            useGL2 = false;
        } else if (has("--gl2")) {
            useGL2 = true;
        } else if (has("--interop")) {
            printLine("Got interop enabling command line switch");
            useInterop = true;
        } else if (has("--nointerop")) {
            useInterop = false;
        } else if (has("--async")) {
            syncMode = false;
        } else if (has("--sync")) {
            syncMode = true;
        }
    }
    return std::nullopt;
}

void parseCommandLine(int argc, char** argv, bool& precisionForced, std::string& benchFile)
{
    if (const std::optional<int> code = readCommandLine(argc, argv, precisionForced, benchFile))
        fatalExit(*code);
}
