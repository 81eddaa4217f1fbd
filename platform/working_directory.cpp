#include "platform/working_directory.h"

#include <filesystem>
#include <system_error>

std::string executableFolder()
{
    std::error_code error;
    const std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error)
        return "";
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return "";
    return path.substr(0, slash + 1);
}

void setWorkingDirectoryToExe()
{
    const std::string folder = executableFolder();
    if (folder.empty())
        return;
    std::error_code ignored;
    std::filesystem::current_path(folder, ignored);
}
