// The device list of this machine's runtime, and the texts of OpenCL errors.
#include "tests/opencl/device_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string deviceText(cl_device_id device, cl_device_info what)
{
    std::vector<char> text(65536, '\0');
    clGetDeviceInfo(device, what, text.size() - 1, text.data(), nullptr);
    return text.data();
}

TEST(DeviceList, ListsEveryDeviceAsTheRuntimeDescribesIt)
{
    // The expected lines, from the runtime's own answers.
    cl_uint platformCount = 0;
    ASSERT_EQ(clGetPlatformIDs(0, nullptr, &platformCount), CL_SUCCESS) << "needs an OpenCL platform (PoCL)";
    std::vector<cl_platform_id> platforms(platformCount);
    clGetPlatformIDs(platformCount, platforms.data(), nullptr);
    constexpr cl_device_type types = CL_DEVICE_TYPE_CPU | CL_DEVICE_TYPE_GPU | CL_DEVICE_TYPE_ACCELERATOR;
    std::string expected;
    std::vector<std::string> names;
    for (cl_platform_id platform : platforms) {
        char platformName[1024] = {};
        clGetPlatformInfo(platform, CL_PLATFORM_NAME, sizeof platformName - 1, platformName, nullptr);
        cl_uint count = 0;
        clGetDeviceIDs(platform, types, 0, nullptr, &count);
        std::vector<cl_device_id> devices(count);
        if (count > 0)
            clGetDeviceIDs(platform, types, count, devices.data(), nullptr);
        for (cl_device_id device : devices) {
            cl_ulong memory = 0;
            clGetDeviceInfo(device, CL_DEVICE_GLOBAL_MEM_SIZE, sizeof memory, &memory, nullptr);
            const std::string extensions = deviceText(device, CL_DEVICE_EXTENSIONS);
            const std::string name = deviceText(device, CL_DEVICE_NAME) + ":" + deviceText(device, CL_DEVICE_VERSION);
            const auto has = [&](const char* extension) {
                return extensions.find(extension) != std::string::npos ? "Yes" : "No";
            };
            expected += " Device ID: " + std::to_string(names.size() + 1) + platformName + " Version " +
                        deviceText(device, CL_DEVICE_VERSION) + " " + deviceText(device, CL_DEVICE_NAME) +
                        " RAM: " + std::to_string(memory >> 20) + " MB, Double Precision: " +
                        has("cl_khr_fp64") + "\nOpenGL interop: " + has("cl_khr_gl_sharing") + "\n";
            names.push_back(name.substr(name.find_first_not_of(' ')));
        }
        expected += "\n";
    }
    ASSERT_FALSE(names.empty());

    testing::internal::CaptureStdout();
    listDevices(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);

    // Without printing only the empty line per platform; the list is replaced, not extended.
    testing::internal::CaptureStdout();
    listDevices(false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(platformCount, '\n'));
    ASSERT_EQ(clState.deviceList.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(clState.deviceList[i].name, names[i]);
    EXPECT_TRUE(clState.deviceList[0].supportsDouble) << "PoCL's CPU device has doubles";
    EXPECT_FALSE(clState.deviceList[0].supportsGLSharing);
    EXPECT_NE(clState.deviceList[0].deviceType & CL_DEVICE_TYPE_CPU, 0u);
    clState.deviceList.clear();
}

TEST(ClErrors, KnownAndUnknownCodesAndOnlyFailuresArePrinted)
{
    EXPECT_EQ(clErrorString(0), "CL_SUCCESS");
    EXPECT_EQ(clErrorString(-1), "Unknown error code ffffffff (-1)");
    EXPECT_EQ(clErrorString(17), "Unknown error code 11 (17)");
    testing::internal::CaptureStdout();
    checkCLError(0, "clFinish");
    checkCLError(-33, "clFinish");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "clFinish failed at line188 failed. Error code -33 CL_INVALID_DEVICE\n");
}

} // namespace
