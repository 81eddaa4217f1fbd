#include "opencl/opencl_backend.h"

#include "core/frame_wait.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "opencl/cl_api.h"
#include "platform/console.h"
#include "platform/semaphore.h"

#include <GL/gl.h>

#include <memory>
#include <string>
#include <thread>

namespace {

// The entries of clErrorTexts: set kernel arg, update palette data, enqueue task, read back
// buffer, acquire GL objects.
enum ClErrorText { SetKernelArg = 0, EnqueueTask = 2, ReadBackBuffer = 3, AcquireGLObjects = 4 };

void reportFailure(const std::string& text)
{
    printLine(text);
    addMessage(text);
}

// The device buffer that mirrors the host image, or one image per shared texture.
void createMemoryObjects(uint16_t* hostImage, const std::vector<unsigned>& textures)
{
    ClState& s = clState;
    if (!s.clInteropContext) {
        const size_t bytes
            = static_cast<size_t>(s.clImageWidth) * static_cast<size_t>(s.clImageHeight) * 2;
        s.clBuffers.push_back(clApi.clCreateBuffer(s.clContext,
                                                   CL_MEM_READ_WRITE | CL_MEM_COPY_HOST_PTR, bytes,
                                                   hostImage, &s.clLastError));
    } else {
        cl_int failures = CL_SUCCESS;
        for (unsigned texture : textures) {
            cl_int code = CL_SUCCESS;
            s.clBuffers.push_back(clApi.clCreateFromGLTexture2D(s.clContext, CL_MEM_WRITE_ONLY,
                                                                GL_TEXTURE_2D, 0, texture, &code));
            if (code != CL_SUCCESS) {
                printLine("clCreateFromGLTexture2D returned " + std::to_string(code) + " "
                          + clErrorString(code));
                failures |= code;
            }
        }
        s.clLastError = failures;
    }
    if (s.clLastError != CL_SUCCESS) {
        printLine(std::string("Could not create memory buffer")
                  + (s.clInteropContext ? " (from texture): " : ": "));
        printLine(clErrorString(s.clLastError));
        fatalExit(7);
    }
    s.clBuffersCreated = true;
}

template <typename T>
void setKernelArguments(cl_kernel kernel, const FractalRecord& record, cl_mem memory, int32_t type)
{
    ClState& s = clState;
    const T values[7] = {static_cast<T>(record.minX), static_cast<T>(record.maxX),
                         static_cast<T>(record.minY), static_cast<T>(record.maxY),
                         static_cast<T>(record.Cx),   static_cast<T>(record.Cy),
                         static_cast<T>(record.maxSizeSquared)};
    const cl_int width = s.clImageWidth;
    const cl_int height = s.clImageHeight;
    const cl_int maxIterations = record.maxIterations;
    const cl_int fractalType = type;

    auto set = [&](cl_uint index, size_t size, const void* value) {
        s.clLastError = clApi.clSetKernelArg(kernel, index, size, value);
        checkCLError(s.clLastError, "clSetKernelArg");
    };
    set(0, sizeof width, &width);
    set(1, sizeof height, &height);
    for (cl_uint i = 0; i < 7; ++i)
        set(2 + i, sizeof(T), &values[i]);
    set(9, sizeof maxIterations, &maxIterations);
    set(10, sizeof(cl_mem), &memory);
    set(11, sizeof fractalType, &fractalType);
    if (s.clLastError != CL_SUCCESS)
        reportFailure(clErrorTexts[SetKernelArg]);
}

// True once the event's command has ended, well or not.
bool commandEnded(cl_event event)
{
    const cl_event_info what = CL_EVENT_COMMAND_EXECUTION_STATUS;
    cl_int status = CL_COMPLETE;
    if (clApi.clGetEventInfo(event, what, sizeof status, &status, nullptr) != CL_SUCCESS)
        return true;
    return status <= CL_COMPLETE;
}

// Releases the semaphore that the callback's data owns a share of, then drops that share.
void CL_CALLBACK signalCommandEnd(cl_event, cl_int, void* data)
{
    auto* share = static_cast<std::shared_ptr<CountingSemaphore>*>(data);
    (*share)->release();
    delete share;
}

// Waits for the kernel of the event; false when stopFlag came first, leaving the kernel running.
// NOTE: an enqueued kernel cannot be cancelled, and nobody shows a frame once shutdown has begun.
// The runtime's completion callback ends the wait at once; the callback keeps its own share of
// the semaphore, since it may run after a wait that stopFlag ended.
bool waitForKernel(cl_event event)
{
    auto ended = std::make_shared<CountingSemaphore>();
    auto* share = new std::shared_ptr<CountingSemaphore>(ended);
    if (clApi.clSetEventCallback(event, CL_COMPLETE, signalCommandEnd, share) != CL_SUCCESS) {
        delete share;
        ended.reset();
    }
    clApi.clFlush(clState.clQueue);
    bool signalled = false;
    waitLooking([&](std::chrono::milliseconds interval) {
        if (stopFlag)
            return true;
        if (ended) {
            signalled = ended->tryAcquireFor(interval);
            return signalled;
        }
        // Without a callback the status is polled.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return commandEnded(event);
    });
    const bool finished = signalled || commandEnded(event);
    clApi.clReleaseEvent(event);
    if (!finished)
        clState.kernelLeftRunning = true;
    return finished;
}

} // namespace

void computeCL(int32_t fractalType, uint16_t** hostBuffer, const std::vector<unsigned>& textures,
               int32_t useDouble, const FractalRecord& record, int32_t textureIndex)
{
    const auto index = static_cast<uint32_t>(textureIndex);
    if (index >= textures.size()) {
        printLine("Error texture Id goes beyond bounds of texure buffer. Id is "
                  + std::to_string(index) + ", num textures is : "
                  + std::to_string(textures.size()));
        return;
    }

    ClState& s = clState;
    std::lock_guard objects(s.objectsMutex);
    // NOTE: a dispatch that waited for a build finds that build's objects: nothing to use when
    // none exists, and no host image to read back into when its caller expected shared textures.
    if (!s.clInitialised || (!s.clInteropContext && *hostBuffer == nullptr))
        return;

    if (!s.clBuffersCreated)
        createMemoryObjects(*hostBuffer, textures);
    if (s.clInteropContext && index >= s.clBuffers.size()) {
        printLine("Error texture Id goes beyond bounds of texure buffer. Id is "
                  + std::to_string(index) + ", num textures is : "
                  + std::to_string(s.clBuffers.size()));
        return;
    }
    cl_mem memory = s.clInteropContext ? s.clBuffers[index] : s.clBuffers[0];

    if (s.clInteropContext) {
        glFinish();
        s.clLastError = clApi.clEnqueueAcquireGLObjects(s.clQueue, 1, &memory, 0, nullptr, nullptr);
        checkCLError(s.clLastError, "clEnqueueAcquireGLObjects");
        if (s.clLastError != CL_SUCCESS)
            reportFailure(clErrorTexts[AcquireGLObjects]);
    }

    // NOTE: the double-precision kernel exists only for a device with doubles; a frame that
    // asked for it before the device changed runs in single precision.
    const bool doublePrecision = useDouble != 0 && s.clDeviceHasDouble;
    cl_kernel kernel = s.clKernels[doublePrecision ? 0 : 1];
    if (doublePrecision)
        setKernelArguments<cl_double>(kernel, record, memory, fractalType);
    else
        setKernelArguments<cl_float>(kernel, record, memory, fractalType);

    const size_t global[2]
        = {static_cast<size_t>(s.clImageWidth), static_cast<size_t>(s.clImageHeight)};
    const size_t edge = maxWorkGroupSize == 1 ? 1 : 16;
    const size_t local[2] = {edge, edge};
    cl_event done = nullptr;
    s.clLastError = clApi.clEnqueueNDRangeKernel(s.clQueue, kernel, 2, nullptr, global, local, 0,
                                                 nullptr, &done);
    if (s.clLastError != CL_SUCCESS)
        reportFailure(clErrorTexts[EnqueueTask] + ": Error Code " + std::to_string(s.clLastError));
    if (done != nullptr && !waitForKernel(done))
        return;

    if (!s.clInteropContext) {
        const size_t bytes
            = static_cast<size_t>(s.clImageWidth) * static_cast<size_t>(s.clImageHeight) * 2;
        s.clLastError = clApi.clEnqueueReadBuffer(s.clQueue, memory, CL_TRUE, 0, bytes, *hostBuffer,
                                                  0, nullptr, nullptr);
        if (s.clLastError != CL_SUCCESS)
            reportFailure(clErrorTexts[ReadBackBuffer] + ": Error Code "
                          + std::to_string(s.clLastError));
        return;
    }
    s.clLastError = clApi.clFinish(s.clQueue);
    checkCLError(s.clLastError, "clFinish");
    s.clLastError = clApi.clEnqueueReleaseGLObjects(s.clQueue, 1, &memory, 0, nullptr, nullptr);
    checkCLError(s.clLastError, "clEnqueueReleaseGLObjects");
}
