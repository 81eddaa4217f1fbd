// "No OpenCL device": the OpenCL loader of this process, and of the programs it starts, is
// pointed at an empty folder of vendors, so it finds no platform.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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
