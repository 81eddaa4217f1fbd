// The device list of this machine's runtime, and the texts of OpenCL errors.
#include "tests/opencl/device_session.h"

#include "opencl/cl_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace {

std::string deviceText(cl_device_id device, cl_device_info what)
{
    std::vector<char> text(65536, '\0');
    clApi.clGetDeviceInfo(device, what, text.size() - 1, text.data(), nullptr);
    return text.data();
}

TEST(DeviceList, ListsEveryDeviceAsTheRuntimeDescribesIt)
{
    // The expected lines, from the runtime's own answers.
    ASSERT_TRUE(openCLRuntimeLoads()) << "needs the OpenCL runtime library";
    cl_platform_id platforms[16];
    cl_uint platformCount = 0;
    ASSERT_EQ(clApi.clGetPlatformIDs(16, platforms, &platformCount), CL_SUCCESS) << "needs an OpenCL platform (PoCL)";
    std::string expected;
    std::vector<std::string> names;
    for (cl_platform_id platform : std::span(platforms, std::min(platformCount, 16u))) {
        char platformName[1024] = {};
        clApi.clGetPlatformInfo(platform, CL_PLATFORM_NAME, sizeof platformName - 1, platformName, nullptr);
        cl_device_id devices[16];
        cl_uint count = 0;
        clApi.clGetDeviceIDs(platform, CL_DEVICE_TYPE_CPU | CL_DEVICE_TYPE_GPU | CL_DEVICE_TYPE_ACCELERATOR, 16,
                             devices, &count);
        for (cl_device_id device : std::span(devices, std::min(count, 16u))) {
            cl_ulong memory = 0;
            clApi.clGetDeviceInfo(device, CL_DEVICE_GLOBAL_MEM_SIZE, sizeof memory, &memory, nullptr);
            const std::string extensions = deviceText(device, CL_DEVICE_EXTENSIONS);
            const std::string name = deviceText(device, CL_DEVICE_NAME), version = deviceText(device, CL_DEVICE_VERSION);
            const auto has = [&](const char* extension) {
                return extensions.find(extension) != std::string::npos ? "Yes" : "No";
            };
            expected += " Device ID: " + std::to_string(names.size() + 1) + platformName + " Version " + version +
                        " " + name + " RAM: " + std::to_string(memory >> 20) + " MB, Double Precision: " +
                        has("cl_khr_fp64") + "\nOpenGL interop: " + has("cl_khr_gl_sharing") + "\n";
            names.push_back((name + ":" + version).substr((name + ":" + version).find_first_not_of(' ')));
        }
        expected += "\n";
    }
    ASSERT_TRUE(!names.empty() && findDevices()) << "needs an OpenCL device (PoCL)";
    testing::internal::CaptureStdout();
    listDevices(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
    std::vector<std::string> listed;
    for (const DeviceInfo& device : clState.deviceList)
        listed.push_back(device.name);
    EXPECT_EQ(listed, names) << "the list is replaced, not extended";
    clState.deviceList.clear();
}

TEST(ClErrors, KnownAndUnknownCodesAndOnlyFailuresArePrinted)
{
    EXPECT_EQ(clErrorString(-1), "Unknown error code ffffffff (-1)");
    testing::internal::CaptureStdout();
    checkCLError(0, "clFinish");
    checkCLError(-33, "clFinish");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "clFinish failed at line188 failed. Error code -33 CL_INVALID_DEVICE\n");
}

} // namespace
