#include "app/command_line.h"
#include "core/globals.h"
#include "opencl/opencl_backend.h"
#include "tests/app/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetShellState();
        maxCpuThreads = 6;
        cpuThreadCount = 6;
        startDirectory = std::filesystem::current_path();
    }
    void TearDown() override
    {
        std::filesystem::current_path(startDirectory);
        resetShellState();
    }

    // Parses in this process; returns the exit code the command line asked for, or -1.
    int parse(Arguments args)
    {
        testing::internal::CaptureStdout();
        const std::optional<int> code = readCommandLine(args.argc(), args.argv(), forced, bench);
        output = testing::internal::GetCapturedStdout();
        return code.value_or(-1);
    }

    bool forced = false;
    std::string bench;
    std::string output;
    std::filesystem::path startDirectory;
};

// A scratch file of this build for the output of a child process.
std::string childOutputFile(const char* name)
{
    return std::string(TESSALY_BINARY_DIR) + "/tests/command_line_" + name + ".out";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Body of a child process: the command line with standard output into a file. The process
// must end inside parseCommandLine; returning from it exits with 99.
void parseInChild(const std::string& outputFile, Arguments args)
{
    if (std::freopen(outputFile.c_str(), "w", stdout) == nullptr)
        std::_Exit(98);
    bool forced = false;
    std::string bench;
    parseCommandLine(args.argc(), args.argv(), forced, bench);
    std::_Exit(99);
}

TEST_F(CommandLineTest, MatchingIsByContainmentExceptListAndHelp)
{
    EXPECT_EQ(parse({"tessaly", "--CPU4", "--list2", "--helpme", "x--List"}), -1);
    EXPECT_FALSE(cpuMode);
    EXPECT_EQ(output, "");

    // Options match anywhere inside an argument; the value starts at the option's length.
    EXPECT_EQ(parse({"tessaly", "ab--nogl2"}), -1);
    EXPECT_FALSE(useGL2);
    EXPECT_EQ(parse({"tessaly", "xy--cpu8"}), -1);
    EXPECT_EQ(cpuThreadCount, 6) << "the value of xy--cpu8 is \"u8\"";
    EXPECT_EQ(output, "CPU Threads: 6\n");

    // "--cpu" is tested before "--bench:".
    EXPECT_EQ(parse({"tessaly", "--bench:my--cpu.frac"}), -1);
    EXPECT_FALSE(benchmarkActive);
    EXPECT_FALSE(zoomRequested);
    EXPECT_TRUE(cpuMode);
    EXPECT_TRUE(bench.empty());
}

TEST_F(CommandLineTest, CpuCountsAndArgumentZero)
{
    EXPECT_EQ(parse({"--cpu3"}), -1) << "argument 0 is examined too";
    EXPECT_TRUE(cpuMode);
    EXPECT_EQ(cpuThreadCount, 3);
    EXPECT_EQ(output, "CPU Threads: 3\n");

    parse({"tessaly", "--cpu64"});
    EXPECT_EQ(cpuThreadCount, 64) << "no upper limit";
    parse({"tessaly", "--cpu"});
    EXPECT_EQ(cpuThreadCount, 6);
    parse({"tessaly", "--cpu0"});
    EXPECT_EQ(cpuThreadCount, 6);
    parse({"tessaly", "--cpu-2"});
    EXPECT_EQ(cpuThreadCount, 6);
    parse({"tessaly", "--cpu99999999999999"});
    EXPECT_EQ(cpuThreadCount, 2147483647) << "saturates instead of overflowing";
    parse({"tessaly", "--cpu2", "--cpu5"});
    EXPECT_EQ(cpuThreadCount, 5);
    EXPECT_EQ(output, "CPU Threads: 2\nCPU Threads: 5\n");
}

TEST_F(CommandLineTest, LaterArgumentsOverrideEarlierOnes)
{
    parse({"tessaly", "--bench:fractals.frac2", "--nointerop", "--async"});
    EXPECT_FALSE(useInterop);
    EXPECT_FALSE(syncMode);
    EXPECT_TRUE(benchmarkActive);
    EXPECT_TRUE(zoomRequested);
    EXPECT_EQ(cycleDirection, 1);

    parse({"tessaly", "--nointerop", "--sync", "--async", "--bench:fractals.frac2"});
    EXPECT_TRUE(useInterop);
    EXPECT_TRUE(syncMode);

    parse({"tessaly", "--extended", "--single"});
    EXPECT_TRUE(useExtended);
    EXPECT_FALSE(useDouble);
    EXPECT_TRUE(forced);
    parse({"tessaly", "--double"});
    EXPECT_TRUE(useDouble);
    EXPECT_FALSE(cpuMode);

    parse({"tessaly", "--8bit"});
    EXPECT_FALSE(tenBitColour);
    EXPECT_EQ(output, "24 bit colour\n");
    parse({"tessaly", "--10bit", "--24bit", "--30bit", "--32bit"});
    EXPECT_TRUE(tenBitColour);
    EXPECT_EQ(output, "32 bit colour\n24 bit colour\n32 bit colour\n32 bit colour\n");

    parse({"tessaly", "--nointerop", "--interop", "--nogl2", "--gl2"});
    EXPECT_TRUE(useInterop);
    EXPECT_TRUE(useGL2);
    EXPECT_EQ(output, "Got interop enabling command line switch\n");
}

TEST_F(CommandLineTest, BenchNameIsAbsoluteAgainstTheStartingDirectory)
{
    const std::filesystem::path start =
        std::filesystem::path(TESSALY_BINARY_DIR) / "tests" / "bench start";
    std::filesystem::create_directories(start);
    std::filesystem::current_path(start);

    parse({"tessaly", "--bench:lists/zoom.frac2"});
    EXPECT_EQ(bench, (std::filesystem::current_path() / "lists/zoom.frac2").string());
    EXPECT_EQ(bench.front(), '/');
    // Start-up later moves to the executable's folder; the name must still point at the start.
    std::filesystem::current_path(startDirectory);
    EXPECT_NE(bench.find("bench start/lists/zoom.frac2"), std::string::npos);

    parse({"tessaly", "--bench:/data/run.frac"});
    EXPECT_EQ(bench, "/data/run.frac");
    parse({"tessaly", "--bench:\xc3\xa9t\xc3\xa9.frac", "--bench:"});
    EXPECT_EQ(bench, "") << "a later --bench: empties the name";
    EXPECT_TRUE(benchmarkActive);
}

TEST_F(CommandLineTest, OptionsThatEndTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");

    const std::string help = childOutputFile("help");
    EXPECT_EXIT(parseInChild(help, {"tessaly", "--cpu4", "--Help", "--cpu8"}),
                testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(help), std::string("CPU Threads: 4\n") + expectedHelpText)
        << "arguments after --help are not examined";

    const std::string list = childOutputFile("list");
    EXPECT_EXIT(parseInChild(list, {"tessaly", "--LIST", "--help"}), testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(list), "") << "without an OpenCL runtime --list prints nothing";

    const char* const invalid =
        "Invalid device Id. Run this app with the --list option to see available devices\n";
    const std::string deviceMinusOne = childOutputFile("device_minus_one");
    EXPECT_EXIT(parseInChild(deviceMinusOne, {"tessaly", "--device-1", "--help"}),
                testing::ExitedWithCode(1), "");
    EXPECT_EQ(readFile(deviceMinusOne), invalid);

    const std::string deviceZero = childOutputFile("device_zero");
    EXPECT_EXIT(parseInChild(deviceZero, {"tessaly", "--device0"}), testing::ExitedWithCode(1), "");
    EXPECT_EQ(readFile(deviceZero), invalid);

    EXPECT_EQ(parse({"tessaly", "--device1"}), 1);
    EXPECT_EQ(deviceId, 1);

    // The list is filled again from the runtime, which finds no platform here: entries left
    // from before do not count.
    clState.deviceList.resize(2);
    EXPECT_EQ(parse({"tessaly", "--device1"}), 1);
    EXPECT_TRUE(clState.deviceList.empty());
    EXPECT_EQ(output, invalid);
}

} // namespace
