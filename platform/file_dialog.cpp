#include "platform/file_dialog.h"

#include "platform/console.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct ZenityAnswer {
    bool accepted = false; // the user pressed OK
    std::string output;    // standard output without its final line end
};

// Runs zenity with the given arguments, without a shell, and collects its answer.
ZenityAnswer runZenity(const std::vector<std::string>& args)
{
    ZenityAnswer answer;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        printLine(std::string("Cannot show the file dialog: ") + std::strerror(errno));
        return answer;
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("zenity"));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int spawnError = posix_spawnp(&pid, "zenity", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);

    if (spawnError != 0) {
        close(fds[0]);
        if (spawnError == ENOENT)
            printLine("Cannot show the file dialog: zenity is not installed");
        else
            printLine(std::string("Cannot show the file dialog: ") + std::strerror(spawnError));
        return answer;
    }

    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n > 0)
            answer.output.append(chunk, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);

    int status = -1;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    answer.accepted = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    // NOTE: only the line end zenity adds is removed; a file name may end in blanks or hold
    // line ends of its own.
    if (!answer.output.empty() && answer.output.back() == '\n')
        answer.output.pop_back();
    return answer;
}

// The chooser arguments shared by the open and the save dialog.
std::vector<std::string> chooserArguments(const std::string& title,
                                          const std::vector<FileFilter>& filters)
{
    std::vector<std::string> args{"--file-selection", "--title=" + title};
    for (const FileFilter& filter : filters) {
        std::string patterns = filter.patterns;
        for (char& c : patterns) {
            if (c == ';')
                c = ' ';
        }
        args.push_back("--file-filter=" + filter.description + " | " + patterns);
    }
    return args;
}

// True when the last component of the path has an extension (a dot after its first character).
bool hasExtension(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    return dot != std::string::npos && dot > start;
}

bool fileExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

} // namespace

std::optional<std::string> openFileDialog(const std::string& title,
                                          const std::vector<FileFilter>& filters,
                                          const std::string& defaultExtension)
{
    const ZenityAnswer answer = runZenity(chooserArguments(title, filters));
    if (!answer.accepted || answer.output.empty())
        return std::nullopt;
    std::string path = answer.output;
    // NOTE: an existing file without an extension was picked, not typed; it is kept as it is.
    if (!hasExtension(path) && !fileExists(path))
        path += defaultExtension;
    return path;
}

std::optional<std::string> saveFileDialog(const std::string& title,
                                          const std::vector<FileFilter>& filters,
                                          const std::string& defaultExtension,
                                          const std::string& proposedPath)
{
    std::vector<std::string> args = chooserArguments(title, filters);
    args.push_back("--save");
    args.push_back("--confirm-overwrite");
    args.push_back("--filename=" + proposedPath);
    const ZenityAnswer answer = runZenity(args);
    if (!answer.accepted || answer.output.empty())
        return std::nullopt;
    if (hasExtension(answer.output))
        return answer.output;

    // The chooser asked about the name as typed; the name with the extension is asked here.
    const std::string path = answer.output + defaultExtension;
    if (fileExists(path)) {
        const std::string name = std::filesystem::path(path).filename().string();
        const ZenityAnswer replace = runZenity(
            {"--question", "--no-markup", "--title=" + title,
             "--text=" + name + " already exists. Do you want to replace it?"});
        if (!replace.accepted)
            return std::nullopt;
    }
    return path;
}
