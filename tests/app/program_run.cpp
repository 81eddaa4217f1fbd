#include "tests/app/program_run.h"

#include "tests/support/no_opencl.h"

#include "core/fractal_file.h"
#include "core/fractal_list.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

extern char** environ;

const char* const programTitlePrefix = "Tessaly with OpenCL";

ConsoleReader::ConsoleReader(int fd) : fd(fd), reader([this] { read(); }) {}

ConsoleReader::~ConsoleReader()
{
    reader.join();
    ::close(fd);
}

void ConsoleReader::read()
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        std::lock_guard lock(mutex);
        if (got <= 0) {
            ended = true;
            changed.notify_all();
            return;
        }
        collected.append(buffer, static_cast<size_t>(got));
        changed.notify_all();
    }
}

bool ConsoleReader::waitFor(const std::string& needle, size_t count,
                            std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, limit,
                            [&] { return ended || countOf(collected, needle) >= count; })
        && countOf(collected, needle) >= count;
}

std::string ConsoleReader::text()
{
    std::lock_guard lock(mutex);
    return collected;
}

void ConsoleReader::waitForEnd()
{
    std::unique_lock lock(mutex);
    changed.wait_for(lock, programTimeLimit, [&] { return ended; });
}

namespace {

// Forks and runs the program with its output into two pipes.
ChildProcess startProgram(const std::vector<std::string>& args, const Launch& launch)
{
    const std::string path = std::string(TESSALY_BINARY_DIR) + "/app/tessaly";
    std::vector<std::string> texts = launch.wrapper;
    texts.push_back(path);
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    // Unless asked for, the program runs without an OpenCL device: its loader finds no platform.
    std::string noOpenCL = "OCL_ICD_VENDORS=" + emptyOpenCLVendors();
    std::vector<char*> envp;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        // NOTE: the test process itself hides its platforms through the same variable.
        if (std::strncmp(*variable, "OCL_ICD_VENDORS=", 16) == 0)
            continue;
        const bool keepDisplay = launch.withDisplay && launch.display.empty();
        if (keepDisplay || std::strncmp(*variable, "DISPLAY=", 8) != 0)
            envp.push_back(*variable);
    }
    if (!launch.withOpenCL)
        envp.push_back(noOpenCL.data());
    std::string display = "DISPLAY=" + launch.display;
    if (launch.withDisplay && !launch.display.empty())
        envp.push_back(display.data());
    envp.push_back(nullptr);

    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : launch.closedDescriptors)
            ::close(fd);
        if (chdir(TESSALY_SOURCE_DIR) != 0)
            _exit(126);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    return {pid, out[0], err[0]};
}

} // namespace

ProgramRun::ProgramRun(const std::vector<std::string>& args, bool withDisplay, bool withOpenCL)
    : ProgramRun(startProgram(args, Launch{withDisplay, withOpenCL, "", {}, {}}))
{
}

ProgramRun::ProgramRun(const std::vector<std::string>& args, const Launch& launch)
    : ProgramRun(startProgram(args, launch))
{
}

ProgramRun::ProgramRun(ChildProcess child) : pid(child.pid), out(child.outFd), err(child.errFd) {}

ProgramRun::~ProgramRun()
{
    if (!exitCode()) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

std::optional<int> ProgramRun::exitCode(std::chrono::milliseconds limit)
{
    if (code)
        return code;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 || std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // NOTE: the process has ended, but its last lines may still sit in the pipes; they are
    // all read once the writing ends are closed.
    out.waitForEnd();
    err.waitForEnd();
    return code;
}

double ProgramRun::cpuSeconds() const
{
    // Fields 14 and 15 of /proc/PID/stat, after the command name in parentheses.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 13 && fields >> field; ++i) {
    }
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

OwnXServer::OwnXServer(const std::string& screen)
{
    // Xvfb writes its display number once it takes connections.
    std::istringstream words(commandOutput("Xvfb -displayfd 3 -screen 0 " + screen + "x24 " +
                                           "-nolisten tcp 3>&1 >/dev/null 2>&1 & echo server $!"));
    std::string word;
    while (words >> word) {
        if (word == "server")
            words >> pid;
        else
            name = ":" + word;
    }
}

void OwnXServer::kill()
{
    if (!pid.empty())
        runCommand("kill -9 " + pid);
    pid.clear();
}

bool waitForComputing(ProgramRun& run, double seconds)
{
    const double start = run.cpuSeconds();
    const auto deadline = std::chrono::steady_clock::now() + programTimeLimit;
    while (run.cpuSeconds() - start < seconds) {
        if (run.exitCode(std::chrono::milliseconds(10)) || std::chrono::steady_clock::now() > deadline)
            return false;
    }
    return true;
}

bool runCommand(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

void pressKeys(const std::string& names)
{
    ASSERT_TRUE(runCommand("xdotool key --delay 50 Escape " + names));
}

std::string repeatKey(const std::string& key, int n)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += key + " ";
    return text;
}

bool closeProgramWindow(pid_t process)
{
    const std::string command = std::string(TESSALY_BINARY_DIR) + "/tests/x11-close-window '" +
                                programTitlePrefix + "' " + std::to_string(process) + " 2>/dev/null";
    const auto deadline = std::chrono::steady_clock::now() + programTimeLimit;
    while (!runCommand(command)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string commandOutput(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return "";
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
        text += buffer;
    return text;
}

std::string programWindowId(const ProgramRun& run)
{
    const std::string ids = commandOutput("xdotool search --all --pid " +
                                          std::to_string(run.processId()) + " --name '^" +
                                          programTitlePrefix + "' 2>/dev/null");
    return ids.substr(0, ids.find('\n'));
}

size_t countOf(const std::string& text, const std::string& needle)
{
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

bool inOrder(const std::string& text, const std::vector<std::string>& lines)
{
    size_t at = 0;
    for (const std::string& line : lines) {
        at = text.find(line, at);
        if (at == std::string::npos)
            return false;
        at += line.size();
    }
    return true;
}

std::string writeList(const std::string& name, const std::vector<FractalRecord>& records)
{
    const std::string path = std::string(TESSALY_BINARY_DIR) + "/tests/" + name + ".frac2";
    const std::vector<unsigned char> bytes = encodeFractalFile(records, 2);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

FractalRecord quickRecord(const std::string& name, int32_t id)
{
    FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    record.name = name;
    record.id = id;
    record.maxIterations = 16;
    return record;
}

std::vector<FractalRecord> quickThenInside(const std::string& name, int32_t maxIterations)
{
    std::vector<FractalRecord> records{quickRecord("Quick", 0)};
    for (int32_t id = 1; id <= 5; ++id) {
        FractalRecord inside = quickRecord(name, id);
        inside.minX = -0.5L;
        inside.maxX = inside.minY = -0.25L;
        inside.maxY = 0.25L;
        inside.maxIterations = maxIterations;
        records.push_back(inside);
    }
    return records;
}

std::string parameterLine(const FractalRecord& r)
{
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s Z-range:(%lf, %lf)-(%lf, %lf), c = (%lf,%lf), maxIters = %d, maxSize = %lf\r\n",
                  r.name.c_str(), static_cast<double>(r.minX), static_cast<double>(r.minY),
                  static_cast<double>(r.maxX), static_cast<double>(r.maxY), static_cast<double>(r.Cx),
                  static_cast<double>(r.Cy), r.maxIterations, static_cast<double>(r.maxSizeSquared));
    return line;
}

bool dragBand(ConsoleReader& console, const FractalRecord& current)
{
    // NOTE: the program reads the pointer's position when it handles a button event, so the
    // pointer stays at the start until the press has been handled. The program takes events in
    // order: the two lines of the Shift+End after the press come once the press is behind it.
    // The motion events carry their own positions; the release is read where the pointer rests.
    const std::string line = parameterLine(current);
    const size_t shown = countOf(console.text(), line);
    const bool pressed =
        runCommand("xdotool mousemove 300 200 mousedown 1 keydown shift key End keyup shift")
        && console.waitFor(line, shown + 2);
    if (!pressed) {
        runCommand("xdotool mouseup 1");
        return false;
    }
    return runCommand("xdotool mousemove 600 400 mousemove 900 700 mouseup 1");
}

FractalRecord zoomedByBand(const FractalRecord& source, int width, int height)
{
    const float sx = 2048.0f / static_cast<float>(width);
    const float sy = 2048.0f / static_cast<float>(height);
    // The image pixel's fraction is rounded to double before it scales the span.
    const auto plane = [](float pixel, long double min, long double max) {
        return static_cast<long double>(static_cast<double>(pixel / 2048.0L)) * (max - min) + min;
    };
    FractalRecord zoomed = source;
    zoomed.minX = plane(300.0f * sx, source.minX, source.maxX);
    zoomed.maxX = plane(900.0f * sx, source.minX, source.maxX);
    zoomed.minY = plane(200.0f * sy, source.minY, source.maxY);
    zoomed.maxY = plane(700.0f * sy, source.minY, source.maxY);
    return zoomed;
}
