// "No OpenCL device": the OpenCL loader of this process, and of the programs it starts, is
// pointed at an empty folder of vendors, so it finds no platform. "No OpenCL library": a
// program runs in a mount namespace of its own in which another file covers the loader.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The empty vendor folder; made on first use.
inline const std::string& emptyOpenCLVendors()
{
    static const std::string folder = [] {
        const std::filesystem::path path =
            std::filesystem::path(testing::TempDir()) / "tessaly-no-opencl-vendors";
        std::filesystem::create_directories(path);
        return path.string();
    }();
    return folder;
}

// Hides every OpenCL platform from this process. Call before the first OpenCL call.
inline void hideOpenCLPlatforms()
{
    ::setenv("OCL_ICD_VENDORS", emptyOpenCLVendors().c_str(), 1);
}

// The file this process has mapped for the shared library whose file name starts with name, or
// "" when none is mapped.
inline std::string mappedLibrary(const std::string& name)
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const std::string path = line.substr(std::min(line.find('/'), line.size()));
        if (std::filesystem::path(path).filename().string().starts_with(name))
            return path;
    }
    return "";
}

// The words that start a program in a mount namespace of its own in which cover is bind-mounted
// over target; the program's path and arguments follow them. As root only the mount namespace
// is new, otherwise a user namespace too. Empty, with the reason in why, when the namespace
// cannot be made here; the machine's own mounts are never touched.
inline std::vector<std::string> coveringWrapper(const std::string& cover, const std::string& target,
                                               std::string& why)
{
    std::vector<std::string> wrapper{"/usr/bin/unshare"};
    if (geteuid() != 0)
        wrapper.insert(wrapper.end(), {"--user", "--map-root-user"});
    wrapper.insert(wrapper.end(), {"--mount", "/bin/sh", "-c",
                                 "mount --bind \"$1\" \"$2\" && shift 2 && exec \"$@\"", "sh", cover,
                                 target});
    // The same namespace once more, with a check that the target now reads as the cover.
    std::string probe;
    for (const std::string& word : wrapper)
        probe += "'" + word + "' ";
    probe += "/usr/bin/cmp -s '" + cover + "' '" + target + "' 2>/dev/null";
    if (std::system(probe.c_str()) == 0)
        return wrapper;
    why = "cannot bind-mount over " + target + " in a private mount namespace (unshare --mount)";
    return {};
}
