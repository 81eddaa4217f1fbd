#include "opencl/opencl_backend.h"

#include "core/globals.h"
#include "opencl/cl_api.h"
#include "platform/console.h"

#include <string>
#include <vector>

namespace {

// NOTE: a failed query leaves its count or string unwritten; every value therefore starts
// empty and is used only when its call succeeded.

std::string platformName(cl_platform_id platform)
{
    size_t size = 0;
    if (clApi.clGetPlatformInfo(platform, CL_PLATFORM_NAME, 0, nullptr, &size) != CL_SUCCESS
        || size == 0)
        return "";
    std::vector<char> text(size + 1, '\0');
    if (clApi.clGetPlatformInfo(platform, CL_PLATFORM_NAME, size + 1, text.data(), nullptr)
        != CL_SUCCESS)
        return "";
    return text.data();
}

std::string deviceString(cl_device_id device, cl_device_info what)
{
    size_t size = 0;
    if (clApi.clGetDeviceInfo(device, what, 0, nullptr, &size) != CL_SUCCESS || size == 0)
        return "";
    std::vector<char> text(size + 1, '\0');
    if (clApi.clGetDeviceInfo(device, what, size, text.data(), nullptr) != CL_SUCCESS)
        return "";
    return text.data();
}

template <typename T>
T deviceValue(cl_device_id device, cl_device_info what)
{
    T value{};
    if (clApi.clGetDeviceInfo(device, what, sizeof value, &value, nullptr) != CL_SUCCESS)
        return T{};
    return value;
}

std::vector<cl_device_id> platformDevices(cl_platform_id platform)
{
    const cl_device_type types
        = CL_DEVICE_TYPE_CPU | CL_DEVICE_TYPE_GPU | CL_DEVICE_TYPE_ACCELERATOR;
    cl_uint count = 0;
    if (clApi.clGetDeviceIDs(platform, types, 0, nullptr, &count) != CL_SUCCESS || count == 0)
        return {};
    std::vector<cl_device_id> devices(count, nullptr);
    if (clApi.clGetDeviceIDs(platform, types, count, devices.data(), nullptr) != CL_SUCCESS)
        return {};
    return devices;
}

std::string withoutLeadingBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

} // namespace

void probeOpenCL()
{
    listDevices(false);
}

void listDevices(bool print)
{
    std::vector<DeviceInfo>& list = clState.deviceList;
    list.clear();
    if (!openCLRuntimeLoads())
        return;

    cl_uint platformCount = 0;
    if (clApi.clGetPlatformIDs(0, nullptr, &platformCount) != CL_SUCCESS || platformCount == 0)
        return;
    std::vector<cl_platform_id> platforms(platformCount, nullptr);
    if (clApi.clGetPlatformIDs(platformCount, platforms.data(), nullptr) != CL_SUCCESS)
        return;

    for (cl_platform_id platform : platforms) {
        const std::string platformText = platformName(platform);
        for (cl_device_id device : platformDevices(platform)) {
            const std::string name = deviceString(device, CL_DEVICE_NAME);
            const std::string extensions = deviceString(device, CL_DEVICE_EXTENSIONS);
            const std::string version = deviceString(device, CL_DEVICE_VERSION);
            const auto memory = deviceValue<cl_ulong>(device, CL_DEVICE_GLOBAL_MEM_SIZE);
            const auto type = deviceValue<cl_device_type>(device, CL_DEVICE_TYPE);

            DeviceInfo info;
            info.id = device;
            info.name = withoutLeadingBlanks(name + ":" + version);
            info.supportsDouble = extensions.find("cl_khr_fp64") != std::string::npos;
            info.supportsGLSharing = extensions.find("cl_khr_gl_sharing") != std::string::npos;
            info.platform = platform;
            info.deviceType = type;
            list.push_back(info);

            if (print) {
                printLine(" Device ID: " + std::to_string(list.size()) + platformText + " Version "
                          + version + " " + name + " RAM: " + std::to_string(memory >> 20)
                          + " MB, Double Precision: " + (info.supportsDouble ? "Yes" : "No"));
                printLine(std::string("OpenGL interop: ")
                          + (info.supportsGLSharing ? "Yes" : "No"));
            }
        }
        printLine("");
    }
}

bool deviceIdValid()
{
    const int32_t id = deviceId;
    return id >= 0 && static_cast<size_t>(id) < clState.deviceList.size();
}
