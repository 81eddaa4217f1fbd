// The device list of this machine's runtime, and the texts of OpenCL errors.
#include "tests/opencl/device_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string platformText(cl_platform_id platform)
{
    char text[1024] = {};
    clGetPlatformInfo(platform, CL_PLATFORM_NAME, sizeof text - 1, text, nullptr);
    return text;
}

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
    std::string expected;
    std::vector<std::string> names;
    size_t number = 0;
    for (cl_platform_id platform : platforms) {
        cl_uint count = 0;
        clGetDeviceIDs(platform, CL_DEVICE_TYPE_CPU | CL_DEVICE_TYPE_GPU | CL_DEVICE_TYPE_ACCELERATOR,
                       0, nullptr, &count);
        std::vector<cl_device_id> devices(count);
        if (count > 0)
            clGetDeviceIDs(platform, CL_DEVICE_TYPE_CPU | CL_DEVICE_TYPE_GPU | CL_DEVICE_TYPE_ACCELERATOR,
                           count, devices.data(), nullptr);
        for (cl_device_id device : devices) {
            cl_ulong memory = 0;
            clGetDeviceInfo(device, CL_DEVICE_GLOBAL_MEM_SIZE, sizeof memory, &memory, nullptr);
            const std::string extensions = deviceText(device, CL_DEVICE_EXTENSIONS);
            const std::string name = deviceText(device, CL_DEVICE_NAME);
            const std::string version = deviceText(device, CL_DEVICE_VERSION);
            expected += " Device ID: " + std::to_string(++number) + platformText(platform) + " Version " +
                        version + " " + name + " RAM: " + std::to_string(memory >> 20) +
                        " MB, Double Precision: " +
                        (extensions.find("cl_khr_fp64") != std::string::npos ? "Yes" : "No") + "\n" +
                        "OpenGL interop: " +
                        (extensions.find("cl_khr_gl_sharing") != std::string::npos ? "Yes" : "No") + "\n";
            names.push_back((name + ":" + version).substr((name + ":" + version).find_first_not_of(' ')));
        }
        expected += "\n";
    }
    ASSERT_GT(number, 0u);

    testing::internal::CaptureStdout();
    listDevices(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);

    // Without printing only the empty line per platform; the list is replaced, not extended.
    testing::internal::CaptureStdout();
    listDevices(false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(platformCount, '\n'));
    ASSERT_EQ(clState.deviceList.size(), number);
    for (size_t i = 0; i < number; ++i)
        EXPECT_EQ(clState.deviceList[i].name, names[i]);
    EXPECT_TRUE(clState.deviceList[0].supportsDouble) << "PoCL's CPU device has doubles";
    EXPECT_FALSE(clState.deviceList[0].supportsGLSharing);
    EXPECT_NE(clState.deviceList[0].deviceType & CL_DEVICE_TYPE_CPU, 0u);
    clState.deviceList.clear();
}

TEST(ClErrors, TextsOfTheCodes)
{
    EXPECT_EQ(clErrorString(0), "CL_SUCCESS");
    EXPECT_EQ(clErrorString(-2), "CL_DEVICE_NOT_AVAILABLE ");
    EXPECT_EQ(clErrorString(-6), "CL_OUT_OF_HOST_MEMORY ");
    EXPECT_EQ(clErrorString(-30), "CL_INVALID_VALUE");
    EXPECT_EQ(clErrorString(-32), "CL_INVALID_PLATFOR");
    EXPECT_EQ(clErrorString(-33), "CL_INVALID_DEVICE");
    EXPECT_EQ(clErrorString(-1), "Unknown error code ffffffff (-1)");
    EXPECT_EQ(clErrorString(-48), "Unknown error code ffffffd0 (-48)");
    EXPECT_EQ(clErrorString(17), "Unknown error code 11 (17)");

    testing::internal::CaptureStdout();
    checkCLError(0, "clFinish");
    checkCLError(-48, "clSetKernelArg");
    checkCLError(-33, "clFinish");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "clSetKernelArg failed at line188 failed. Error code -48 Unknown error code ffffffd0 (-48)\n"
              "clFinish failed at line188 failed. Error code -33 CL_INVALID_DEVICE\n");
}

} // namespace
