#include "menus/benchmark_start.h"

#include "core/fractal_list.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "display/gl_display.h"
#include "menus/menu_bar.h"
#include "opencl/opencl_backend.h"
#include "platform/console.h"

#include <mutex>
#include <sstream>

void startBenchmark()
{
    if (benchmarkActive) {
        printLine("A benchmark is already running");
        return;
    }
    {
        std::lock_guard listLock(fractalListMutex);
        if (fractalList.empty()) {
            printLine("No fractals to benchmark");
            return;
        }
        {
            std::lock_guard queueLock(renderQueueMutex);
            renderQueue.clear();
        }
        currentFractalIndex = 0;
    }
    // Frames asked for before the start are not the benchmark's.
    dropPendingFrames();
    zoomAnimating = true;
    if (GlutMenu::CGlutMenu* devices = devicesMenu())
        tickItem(*devices, LabelSynchronousMode, true);
    syncMode = true;

    if (!cpuMode) {
        savedUseInterop = useInterop;
        useInterop = true;
        savedInteropActive = interopActive;
        useGL2 = displayState.glslAvailable;
        savedDeviceId = deviceId;
        const bool wasActive = interopActive;
        const DeviceInfo* device = currentDevice();
        interopActive = displayState.glslAvailable && device != nullptr && device->supportsGLSharing;
        if (interopActive != wasActive)
            requestKernelRebuild();
    }
    benchmarkActive = true;
    cycleDirection = 1;
    zoomRequested = true;
}

namespace {

// The time summed by the frame step since the start, which is set back to 0.
uint64_t takeTotalRenderTime()
{
    std::lock_guard lock(renderTimeMutex);
    const uint64_t total = totalRenderTime;
    totalRenderTime = 0;
    return total;
}

// Stops the list cycle and restores what the start changed. The File menu's Cycle, which a
// benchmark's cycle replaces, is unticked.
void endBenchmarkRun()
{
    cycleDirection = 0;
    benchmarkActive = false;
    syncMode = false;
    if (!cpuMode) {
        useInterop = savedUseInterop;
        if (kernelSettingsChangedByBenchmark())
            requestKernelRebuild();
    }
    if (GlutMenu::CGlutMenu* devices = devicesMenu())
        tickItem(*devices, LabelSynchronousMode, false);
    if (GlutMenu::CGlutMenu* file = fileMenu())
        tickItem(*file, LabelCycle, false);
}

} // namespace

void benchmarkEnd()
{
    std::ostringstream line;
    line << "Total rendering time " << static_cast<double>(takeTotalRenderTime()) / 1e9 << " s";
    printLine(line.str());
    if (infoLog)
        infoLog->add(line.str());
    endBenchmarkRun();
}

void stopBenchmark()
{
    takeTotalRenderTime();
    endBenchmarkRun();
    zoomRequested = false;
}

bool kernelSettingsChangedByBenchmark()
{
    return deviceId != savedDeviceId || interopActive != savedInteropActive;
}
