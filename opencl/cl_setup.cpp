#include "opencl/opencl_backend.h"

#include "core/globals.h"
#include "core/message_log.h"
#include "opencl/cl_api.h"
#include "opencl/kernel_source.h"
#include "platform/console.h"
#include "platform/gl_share.h"

#include <GLFW/glfw3.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

// NOTE: a request and the end of a build meet under this lock, so that a request made while
// a build runs is never cleared by that build's end.
std::mutex requestMutex;
uint64_t requestSerial = 0; // requests made so far; guarded by requestMutex

// What one build is made for, taken once when the build starts.
struct BuildInputs {
    size_t device;
    bool useDouble;
    bool interop;
    int32_t width;
    int32_t height;
};

[[noreturn]] void failBuild(const std::string& text, int code)
{
    printLine(text);
    fatalExit(code);
}

// The first entry of the device's maximum work-item sizes; keeps the old value on failure.
void readMaxWorkGroupSize(cl_device_id device)
{
    const cl_device_info what = CL_DEVICE_MAX_WORK_ITEM_SIZES;
    size_t bytes = 0;
    if (clApi.clGetDeviceInfo(device, what, 0, nullptr, &bytes) != CL_SUCCESS
        || bytes < sizeof(size_t))
        return;
    std::vector<size_t> sizes(bytes / sizeof(size_t), 0);
    if (clApi.clGetDeviceInfo(device, what, bytes, sizes.data(), nullptr) != CL_SUCCESS)
        return;
    maxWorkGroupSize = static_cast<int32_t>(sizes[0]);
}

void createContext(cl_platform_id platform, bool shareWithGL)
{
    ClState& s = clState;
    std::vector<cl_context_properties> properties;
    if (shareWithGL) {
        const GLShareHandles handles = glShareHandles(clWindow);
        properties = {CL_GL_CONTEXT_KHR, reinterpret_cast<cl_context_properties>(handles.glContext),
                      CL_GLX_DISPLAY_KHR, reinterpret_cast<cl_context_properties>(handles.display),
                      CL_CONTEXT_PLATFORM, reinterpret_cast<cl_context_properties>(platform), 0};
    } else {
        s.clInteropContext = false;
        printLine("Not using interop");
        properties = {CL_CONTEXT_PLATFORM, reinterpret_cast<cl_context_properties>(platform), 0};
    }
    s.clContext = clApi.clCreateContext(properties.data(), 1, &s.clDevice, nullptr, nullptr,
                                        &s.clLastError);
    if (s.clLastError != CL_SUCCESS)
        failBuild("Could not create context", 2);
    if (shareWithGL)
        s.clInteropContext = true;
}

void buildProgram(int index, const std::string& source)
{
    ClState& s = clState;
    const char* text = source.c_str();
    const size_t length = source.size();
    s.clPrograms[index]
        = clApi.clCreateProgramWithSource(s.clContext, 1, &text, &length, &s.clLastError);
    if (s.clLastError != CL_SUCCESS)
        failBuild("Could not create program from source", 4);

    const std::string options = kernelBuildOptions(index == 0);
    s.clLastError = clApi.clBuildProgram(s.clPrograms[index], 1, &s.clDevice, options.c_str(),
                                         nullptr, nullptr);
    if (s.clLastError != CL_SUCCESS) {
        printLine("Could not build program");
        printLine("Error code " + std::to_string(s.clLastError));
        size_t size = 0;
        clApi.clGetProgramBuildInfo(s.clPrograms[index], s.clDevice, CL_PROGRAM_BUILD_LOG, 0,
                                    nullptr, &size);
        std::vector<char> log(size + 1, '\0');
        if (size != 0) {
            clApi.clGetProgramBuildInfo(s.clPrograms[index], s.clDevice, CL_PROGRAM_BUILD_LOG,
                                        size + 1, log.data(), nullptr);
            printLine(log.data());
        } else {
            printLine("Build log is nullptr");
        }
        fatalExit(5);
    }

    s.clKernels[index] = clApi.clCreateKernel(s.clPrograms[index], "do_work", &s.clLastError);
    if (s.clLastError != CL_SUCCESS)
        failBuild("Could not create kernel", 6);
}

// Makes context, queue, programs and kernels for the inputs, replacing those of the last build.
void build(const BuildInputs& in)
{
    ClState& s = clState;
    const DeviceInfo device = s.deviceList[in.device];
    s.buildsStarted += 1;

    printLine("OpenCL double precison on " + device.name);
    clUseDouble = in.useDouble ? 1 : 0;
    if (clWindow != nullptr)
        glfwMakeContextCurrent(clWindow);
    // NOTE: the image variant only where the context can share; a buffer context must get the
    // variant whose output argument is a buffer.
    const bool sharing = in.interop && device.supportsGLSharing;
    const std::string source = sharing ? kernelSourceInterop : kernelSourceBuffer;

    // NOTE: the dispatch reads the work-group size too; it is stored under the objects' lock.
    std::lock_guard objects(s.objectsMutex);
    // NOTE: releasing the objects of a kernel left running would wait for its end, and nothing
    // computes once it was left.
    if (s.kernelLeftRunning)
        return;
    readMaxWorkGroupSize(device.id);
    if (s.clInitialised)
        releaseCL();
    s.clInitialised = false;
    s.clImageWidth = in.width;
    s.clImageHeight = in.height;
    s.clDevice = device.id;

    cl_platform_id platform = nullptr;
    for (const DeviceInfo& entry : s.deviceList) {
        if (entry.id == s.clDevice) {
            platform = entry.platform;
            s.clDeviceHasDouble = entry.supportsDouble;
            s.clInteropContext = false;
            break;
        }
    }
    createContext(platform, sharing);

    s.clQueue = clApi.clCreateCommandQueue(s.clContext, s.clDevice, 0, &s.clLastError);
    if (s.clLastError != CL_SUCCESS)
        failBuild("Could not create command queue", 3);

    if (s.clDeviceHasDouble)
        buildProgram(0, source);
    buildProgram(1, source);
    s.clInitialised = true;
}

} // namespace

void requestKernelRebuild()
{
    // NOTE: without a device at deviceId ("--cpu", or no OpenCL) no build can come; asking for
    // one would leave the frame step waiting for it.
    if (!deviceIdValid())
        return;
    {
        std::lock_guard lock(requestMutex);
        clReady = false;
        clRebuildRequested = true;
        requestSerial += 1;
    }
    clSetupSemaphore.release(1);
    addMessage(std::string("Compiling Kernels ") + (interopActive ? " (with interop)" : ""));
}

bool interopAvailable()
{
    if (cpuMode || !useGL2 || !deviceIdValid())
        return false;
    return clState.deviceList[static_cast<size_t>(deviceId.load())].supportsGLSharing && useInterop;
}

void openCLSetupThread()
{
    for (;;) {
        if (quitFlag)
            return;
        clSetupSemaphore.acquire();
        if (!clRebuildRequested)
            continue;
        for (;;) {
            uint64_t serial;
            {
                std::lock_guard lock(requestMutex);
                serial = requestSerial;
            }
            bool built = false;
            if (deviceIdValid()) {
                build({static_cast<size_t>(deviceId.load()), useDouble.load(), interopActive.load(),
                       imageWidth, imageHeight});
                built = true;
            }
            std::lock_guard lock(requestMutex);
            // A request made during the build asks for settings this build may not have taken.
            if (serial != requestSerial && !quitFlag)
                continue;
            clRebuildRequested = false;
            clReady = built;
            break;
        }
    }
}
