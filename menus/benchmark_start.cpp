#include "menus/benchmark_start.h"

#include "core/globals.h"
#include "display/gl_display.h"
#include "menus/menu_bar.h"
#include "opencl/opencl_backend.h"
#include "platform/console.h"

#include <mutex>

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
