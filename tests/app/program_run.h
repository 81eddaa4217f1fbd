// The real program under test: started as a child process on the test's X display, its console
// read as it comes, its window driven with xdotool and closed as a window manager would.
#pragma once

#include "core/fractal_record.h"

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Longest wait for anything the program should do; only a failing test waits this long.
constexpr std::chrono::seconds programTimeLimit{60};

// Far above the fraction of a second a close takes, far below a frame that runs on after it.
constexpr std::chrono::seconds promptly{5};

// The program's last lines after a close.
constexpr const char* closingLines = "Releasing OpenCL resources ...[DONE]\nShutting down threads\n"
                                     "Shutting down threads\nThread shutdown complete\n";

// The start of the main window's title.
extern const char* const programTitlePrefix;

// The text a pipe delivers, collected by a thread of its own.
class ConsoleReader {
public:
    explicit ConsoleReader(int fd);
    ~ConsoleReader();
    ConsoleReader(const ConsoleReader&) = delete;
    ConsoleReader& operator=(const ConsoleReader&) = delete;

    // Waits until the text holds count occurrences of needle, or the pipe closed, or the limit.
    bool waitFor(const std::string& needle, size_t count = 1,
                 std::chrono::milliseconds limit = programTimeLimit);
    std::string text();
    // Waits until the writing end is closed everywhere.
    void waitForEnd();

private:
    void read();

    int fd;
    std::mutex mutex;
    std::condition_variable changed;
    std::string collected;
    bool ended = false;
    std::thread reader;
};

// A started child process and the reading ends of its standard output and error.
struct ChildProcess {
    pid_t pid;
    int outFd;
    int errFd;
};

// How the program is started besides its arguments.
struct Launch {
    bool withDisplay = true;             // false removes the DISPLAY variable
    bool withOpenCL = false;             // keeps the machine's OpenCL platforms
    std::string display;                 // DISPLAY in place of the test's own, when not empty
    std::vector<int> closedDescriptors;  // descriptors closed at the start, as by ">&-"
    std::vector<std::string> wrapper;    // a command that runs the program, such as prlimit
};

class ProgramRun {
public:
    // Starts build/app/tessaly with the arguments in the source folder, so that
    // "examples/..." names resolve; without a display the DISPLAY variable is removed.
    // withOpenCL keeps the machine's OpenCL platforms; otherwise the program finds none.
    explicit ProgramRun(const std::vector<std::string>& args, bool withDisplay = true,
                        bool withOpenCL = false);
    ProgramRun(const std::vector<std::string>& args, const Launch& launch);
    // Kills the program if it still runs.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool waitFor(const std::string& needle, size_t count = 1,
                 std::chrono::milliseconds limit = programTimeLimit)
    {
        return out.waitFor(needle, count, limit);
    }
    std::string output() { return out.text(); }
    ConsoleReader& console() { return out; }
    std::string errors() { return err.text(); }

    // The exit code once the program has ended, or nothing when it is still running at the limit.
    std::optional<int> exitCode(std::chrono::milliseconds limit = programTimeLimit);

    // CPU seconds the program has used so far.
    double cpuSeconds() const;

    pid_t processId() const { return pid; }

private:
    explicit ProgramRun(ChildProcess child);

    pid_t pid = -1;
    std::optional<int> code;
    ConsoleReader out;
    ConsoleReader err;
};

// An X server of the test's own (Xvfb) with one screen of the given size, such as "1024x768".
class OwnXServer {
public:
    explicit OwnXServer(const std::string& screen);
    ~OwnXServer() { kill(); }
    OwnXServer(const OwnXServer&) = delete;
    OwnXServer& operator=(const OwnXServer&) = delete;

    // ":N" once the server takes connections, or "" when it could not start.
    const std::string& display() const { return name; }
    // Ends the server at once; the programs on it lose their display.
    void kill();

private:
    std::string name;
    std::string pid;
};

// Waits until the program has used another `seconds` of processor time, computing a frame that
// long by then; false when it ended first or the limit passed.
bool waitForComputing(ProgramRun& run, double seconds);

// Runs a shell command line; true when it exits with 0.
bool runCommand(const std::string& command);

// Runs a shell command line and returns what it wrote on standard output.
std::string commandOutput(const std::string& command);

// Key presses by their X names into the window under the pointer; every menu command starts
// from the bar with nothing open (Escape) and File highlighted.
void pressKeys(const std::string& names);

// The key name n times, each followed by a blank.
std::string repeatKey(const std::string& key, int n);

// Asks the main window of the program in that process to close; retries while it does not
// exist yet, up to the limit.
bool closeProgramWindow(pid_t process);
inline bool closeProgramWindow(const ProgramRun& run) { return closeProgramWindow(run.processId()); }

// The X id of the run's main window, or "" when there is none.
std::string programWindowId(const ProgramRun& run);

// Counts the occurrences of needle in text.
size_t countOf(const std::string& text, const std::string& needle);

// True when the lines appear in text in this order (other text may stand between them).
bool inOrder(const std::string& text, const std::vector<std::string>& lines);

// Writes a version 2 fractal file into this build's test folder and returns its absolute path.
std::string writeList(const std::string& name, const std::vector<FractalRecord>& records);

// The default Mandelbrot under its own name and id at 16 iterations: cheap to compute.
FractalRecord quickRecord(const std::string& name, int32_t id);

// quickRecord("Quick", 0), then five records of the cardioid's inside at maxIterations under
// ids 1 to 5. A benchmark steps through the list ahead of its frames (while an OpenCL build
// runs, for one), but not past its end before it starts on an inside frame.
std::vector<FractalRecord> quickThenInside(const std::string& name, int32_t maxIterations);

// The line that the program prints when a record becomes current.
std::string parameterLine(const FractalRecord& record);

// Drags a rubber band with the left button through the X server, from (300, 200) over
// (600, 400) to (900, 700) in window pixels, as the program whose standard output console reads
// takes it. The current record must be the last one of the list: Shift+End after the press
// shows it again. False when a step fails.
bool dragBand(ConsoleReader& console, const FractalRecord& current);

// The record that a zoom into dragBand's band makes from source in a window of width x height.
FractalRecord zoomedByBand(const FractalRecord& source, int width, int height);
