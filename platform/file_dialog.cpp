#include "platform/file_dialog.h"

#include "platform/console.h"

#include <algorithm>
#include <cctype>
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

// The filter's patterns separated by blanks, each letter matching either case ("*.frac"
// becomes "*.[fF][rR][aA][cC]"): the chooser's patterns are case-sensitive.
std::string chooserPatterns(const std::string& patterns)
{
    std::string text;
    for (const char c : patterns) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == ';')
            text += ' ';
        else if (std::isalpha(byte) && byte < 0x80)
            text += std::string("[") + static_cast<char>(std::tolower(byte))
                + static_cast<char>(std::toupper(byte)) + "]";
        else
            text += c;
    }
    return text;
}

// The chooser arguments shared by the open and the save dialog.
std::vector<std::string> chooserArguments(const std::string& title,
                                          const std::vector<FileFilter>& filters)
{
    std::vector<std::string> args{"--file-selection", "--title=" + title};
    for (const FileFilter& filter : filters)
        args.push_back("--file-filter=" + filter.description + " | "
                       + chooserPatterns(filter.patterns));
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

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x))
                   == std::tolower(static_cast<unsigned char>(y));
           });
}

// The typed name with the default extension: the file of that exact name when there is one,
// else the first, in name order, whose extension differs only in case; otherwise the exact name.
std::string withDefaultExtension(const std::string& typed, const std::string& extension)
{
    const std::string exact = typed + extension;
    if (fileExists(exact))
        return exact;
    const std::filesystem::path path = exact;
    const std::string wanted = path.filename().string();
    const std::string stem = wanted.substr(0, wanted.size() - extension.size());
    std::error_code error;
    std::string found;
    for (std::filesystem::directory_iterator entry(
             path.has_parent_path() ? path.parent_path() : ".", error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() == wanted.size() && name.starts_with(stem)
            && equalIgnoringCase(name.substr(stem.size()), extension)
            && (found.empty() || name < found))
            found = name;
    }
    return found.empty() ? exact : (path.parent_path() / found).string();
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
        path = withDefaultExtension(path, defaultExtension);
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
