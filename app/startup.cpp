#include "app/startup.h"

#include "app/callbacks.h"
#include "app/command_line.h"
#include "app/driver.h"
#include "core/cpu_threads.h"
#include "core/fractal_file.h"
#include "core/fractal_list.h"
#include "core/frame_wait.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "display/frame_compute.h"
#include "display/frame_step.h"
#include "display/gl_display.h"
#include "display/palette.h"
#include "display/render_scene.h"
#include "display/window_title.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "menus/menu_bar.h"
#include "opencl/cl_globals.h"
#include "opencl/opencl_backend.h"
#include "platform/console.h"
#include "platform/display_loss.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <new>
#include <string>
#include <thread>

namespace {

// Owners of the two images behind iterationBuffer and displayBuffer.
std::unique_ptr<uint16_t[]> iterationImages;
std::unique_ptr<uint16_t[]> displayImages;

// A zero-filled block of count 16-bit values.
std::unique_ptr<uint16_t[]> zeroedBlock(size_t count)
{
    return std::make_unique<uint16_t[]>(count);
}

// The palettes, the two images of the CPU pool and the display, and the shared-texture blocks.
void allocateBuffers()
{
    const size_t pixels = static_cast<size_t>(imageWidth) * static_cast<size_t>(imageHeight);
    try {
        allocatePalettes();
        iterationImages = zeroedBlock(2 * pixels);
        iterationBuffer = iterationImages.get();
        displayImages = zeroedBlock(2 * pixels);
        displayBuffer = displayImages.get();
        for (std::unique_ptr<uint16_t[]>& slot : pixelBufferSlots)
            slot = zeroedBlock(8 * pixels);
    } catch (const std::bad_alloc&) {
        printLine("Not enough memory for the image buffers of " + std::to_string(imageWidth) +
                  " x " + std::to_string(imageHeight) + " pixels");
        fatalExit(1);
    }
}

// Prints the window failure and ends the process.
[[noreturn]] void abortWithoutWindow()
{
    printLine("Could not create window. Aborting");
    glfwTerminate();
    fatalExit(100);
}

// Asks for a framebuffer of 10 bits per colour when tenBitColour is set.
void requestColourDepth()
{
    if (!tenBitColour)
        return;
    glfwWindowHint(GLFW_RED_BITS, 10);
    glfwWindowHint(GLFW_GREEN_BITS, 10);
    glfwWindowHint(GLFW_BLUE_BITS, 10);
    glfwWindowHint(GLFW_ALPHA_BITS, 2);
    printLine("Set RGBA mode 10:10:10:2");
}

// The fractal list reaches the window through these.
void installFractalViewHooks()
{
    fractalViewHooks.setWindowTitle = [](const std::string& title) {
        glfwSetWindowTitle(window, title.c_str());
    };
    fractalViewHooks.windowTitle = [] { return updateWindowTitle(); };
    fractalViewHooks.removeScrollCallback = [] { glfwSetScrollCallback(window, nullptr); };
    fractalViewHooks.hasPaletteMenu = [] { return menuBar.getSubmenu(1) != nullptr; };
    fractalViewHooks.updatePaletteChecks = [] { updatePaletteChecks(menuBar.getSubmenu(1)); };
}

// How long shutdown waits for the compute and set-up threads together. A frame ends within a
// fraction of it once stopFlag is set; a kernel build may hold them longer, for nobody.
constexpr std::chrono::seconds threadEndLimit{1};

// Starts body on a thread; ended becomes ready when body returns.
std::thread startWatched(void (*body)(), std::future<void>& ended)
{
    std::promise<void> done;
    ended = done.get_future();
    return std::thread([body, done = std::move(done)]() mutable {
        body();
        done.set_value();
    });
}

// Joins the thread if it ends by the deadline; false when it is still busy then.
bool joinBy(std::thread& thread, std::future<void>& ended,
            std::chrono::steady_clock::time_point deadline)
{
    if (!thread.joinable())
        return true;
    if (ended.wait_until(deadline) != std::future_status::ready)
        return false;
    thread.join();
    return true;
}

// Asks every thread to end and waits for them; the CPU pool goes last, the frame step uses it.
// False when the compute or set-up thread was still busy at threadEndLimit: it is left running,
// with the OpenCL objects it may use.
bool shutDown(std::unique_ptr<CPUThreads>& pool, std::thread& clThread,
              std::future<void>& computeEnded, std::future<void>& setupEnded)
{
    quitFlag = true;
    {
        std::lock_guard lock(computeRequestMutex);
        stopFlag = true;
    }
    computeRequest.notify_one();
    clSetupSemaphore.release(1);
    const auto deadline = std::chrono::steady_clock::now() + threadEndLimit;
    const bool ended = joinBy(computeThread, computeEnded, deadline) &&
                       joinBy(clThread, setupEnded, deadline);
    // NOTE: the OpenCL runtime tears itself down at exit too, possibly before the static
    // OpenCL state would release its objects; they are released here, while it still stands.
    if (ended)
        releaseBuiltObjects();
    cpuThreadsPool = nullptr;
    pool.reset();
    return ended;
}

} // namespace

void roundImageSize()
{
    imageWidth = (imageWidth + 7) & ~7;
    imageHeight = (imageHeight + 7) & ~7;
}

bool checkImageSize()
{
    if (isValidImageSize(imageWidth, imageHeight))
        return true;
    printLine("The image size " + std::to_string(imageWidth) + " x " + std::to_string(imageHeight) +
              " is not a positive multiple of 256 in both directions");
    return false;
}

std::optional<int> settleDeviceAndPrecision(bool precisionForced)
{
    const std::vector<DeviceInfo>& devices = clState.deviceList;
    if (devices.empty()) {
        printLine("No OpenCL devices are available. Reverting to CPU rendering");
        cpuMode = true;
        cpuThreadCount = maxCpuThreads.load();
        return std::nullopt;
    }
    if (cpuMode)
        return std::nullopt;
    if (deviceId != -1 && static_cast<uint32_t>(deviceId.load()) >= devices.size()) {
        printText("Available devices are: ");
        listDevices(true);
        printLine("OpenCL Device " + std::to_string(deviceId) +
                  " does not exist. Run with --list parameter to see list of available devices");
        return 1;
    }
    if (deviceId == -1) {
        int32_t chosen = 0;
        if (useDouble) {
            for (size_t i = 0; i < devices.size(); ++i) {
                if (devices[i].supportsDouble) {
                    chosen = static_cast<int32_t>(i);
                    break;
                }
            }
        }
        deviceId = chosen;
    }

    const DeviceInfo& device = devices[static_cast<size_t>(deviceId.load())];
    if (device.supportsDouble) {
        if (!precisionForced) {
            printLine("Double Precision Available");
            useDouble = false;
        } else if (!useDouble) {
            printLine("Forcing single precision, double is available");
        }
    } else if (precisionForced && useDouble) {
        printLine("Double precision has been forced, but the the GPU does not support it");
        return 1;
    } else {
        printLine("Double Precision is not Available");
        useDouble = false;
    }
    return std::nullopt;
}

void adoptHiddenWindow(GLFWwindow* hidden)
{
    clWindow = hidden;
    if (hidden != nullptr)
        return;
    printLine("Could not create the hidden OpenCL window. Reverting to CPU rendering");
    if (!cpuMode) {
        cpuMode = true;
        cpuThreadCount = maxCpuThreads.load();
    }
}

void adoptShaderSupport(bool extensionsPresent)
{
    if (!extensionsPresent) {
        printNoGLSL();
        displayState.glslAvailable = false;
        return;
    }
    // NOTE: a driver may list the extensions and still give no address for a name; calling
    // through a null entry point would crash the first frame.
    if (!fetchShaderEntryPoints()) {
        printLine("Falling back to the palette emulation");
        displayState.glslAvailable = false;
        return;
    }
    displayState.glslAvailable = true;
}

void printConfiguration()
{
    const std::string precision = useDouble ? "Double precision" : "Single precision";
    if (cpuMode) {
        printLine("Running on CPU with " + std::to_string(cpuThreadCount) + " threads in " +
                  precision);
        return;
    }
    printLine("Running on device: " +
              clState.deviceList[static_cast<size_t>(deviceId.load())].name + " in " + precision);
}

void createMessageLogs()
{
    const float width = static_cast<float>(windowStartWidth);
    const float height = static_cast<float>(windowStartHeight);
    messageLog = std::make_unique<CMessageLog>(0.6f * width, 0.3f * height, 1.0f);
    infoLog = std::make_unique<CMessageLog>(0.3f * width, 0.75f * height, 30.0f);
}

void reportShaderMode()
{
    printLine(std::string("OpenGL 2.0 is ") + (useGL2 ? "Available" : "Not available"));
    if (useGL2)
        return;
    messageLog->add("Palette emulation");
    messageLog->add(" with OpenGL 1.2");
}

int runTessaly(int argc, char** argv)
{
    roundImageSize();
    if (!checkImageSize())
        fatalExit(1);
    maxCpuThreads = static_cast<int32_t>(std::thread::hardware_concurrency());
    cpuThreadCount = maxCpuThreads.load();
    deviceId = -1;
    probeOpenCL();
    allocateBuffers();
    auto pool = std::make_unique<CPUThreads>(cpuThreadCount, imageWidth, imageHeight,
                                             iterationBuffer);
    cpuThreadsPool = pool.get();

    bool precisionForced = false;
    std::string benchFile;
    parseCommandLine(argc, argv, precisionForced, benchFile);
    if (const std::optional<int> code = settleDeviceAndPrecision(precisionForced))
        fatalExit(*code);
    frameCompute = clState.deviceList.empty() ? cpuOnlyCompute() : openCLCompute();

    endProcessWhenDisplayIsLost();
    // NOTE: without a display or a monitor there is no video mode to size the window from.
    const bool windowingReady = glfwInit() == GLFW_TRUE;
    glfwDefaultWindowHints();
    requestColourDepth();
    if (!windowingReady)
        abortWithoutWindow();
    glfwSetErrorCallback(errorCallback);
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    if (mode == nullptr)
        abortWithoutWindow();
    swapPacer = FramePacer(mode->refreshRate);
    windowStartWidth = static_cast<int32_t>(static_cast<float>(mode->width) * 0.9f);
    windowStartHeight = static_cast<int32_t>(static_cast<float>(mode->height) * 0.9f);
    baseTitle = updateWindowTitle();
    window = glfwCreateWindow(windowStartWidth, windowStartHeight, baseTitle.c_str(), nullptr,
                              nullptr);
    if (window == nullptr)
        abortWithoutWindow();

    // The title above ran without a context and cleared tenBitColour: the hidden window gets
    // the default colour depth.
    glfwDefaultWindowHints();
    requestColourDepth();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    adoptHiddenWindow(glfwCreateWindow(1, 1, "OpenCLThread", nullptr, window));

    menuBar.window = window;
    infoForm.window = window;
    glfwMakeContextCurrent(window);
    installFractalViewHooks();
    if (!displayState.glslAvailable)
        adoptShaderSupport(shaderExtensionsSupported());
    initialiseTexture(displayState.displayReady);
    useGL2 = useGL2 && displayState.glslAvailable;

    createMessageLogs();
    initialisePalette(0);
    printConfiguration();
    createMenus();

    if (benchmarkActive)
        loadBenchFractals(benchFile);
    else
        newFractal(Mandelbrot, 0);

    std::future<void> setupEnded;
    std::thread clThread = startWatched(openCLSetupThread, setupEnded);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    reportShaderMode();

    sceneScrollCallback = scrollCallback;
    glfwSetKeyCallback(window, keyCallback);
    glfwSetMouseButtonCallback(window, mouseButtonCallback);
    glfwSetWindowSizeCallback(window, ReshapeCallback);
    glfwSetCursorPosCallback(window, cursorPosCallback);
    glfwSetWindowCloseCallback(window, windowCloseCallback);
    glfwSetScrollCallback(window, scrollCallback);
    glfwSwapInterval(1);
    baseTitle = updateWindowTitle();
    glfwSetWindowTitle(window, baseTitle.c_str());
    std::future<void> computeEnded;
    computeThread = startWatched(asyncComputeThread, computeEnded);

    frameWaitLook = lookForWindowClose;
    runMainLoop(window);

    const bool threadsEnded = shutDown(pool, clThread, computeEnded, setupEnded);
    // NOTE: a thread or kernel left running still uses the OpenCL objects, which the runtime
    // would wait for at exit; what it computes is only for display.
    if (!threadsEnded || clState.kernelLeftRunning)
        fatalExit(0);
    return 0;
}
