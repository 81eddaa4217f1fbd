// The one reset of the program's globals for tests that share a process: every test that
// reads or changes them starts from here, so that no test depends on which tests ran before it.
// The folders above the core add the values they own (tests/support/display_state.h,
// tests/app/test_support.h).
#pragma once

#include "core/fractal_list.h"
#include "core/globals.h"
#include "core/message_log.h"

// Every setting, the image and view, the list, the queue and the driver's requests back at the
// values a fresh process starts with, except that no frame is pending; no CPU pool, no image
// buffers and no message logs; the fractal list's hooks empty. Between tests, while no thread
// of the program runs.
inline void resetGlobalState()
{
    cpuMode = false;
    useDouble = false;
    useExtended = false;
    deviceId = -1;
    cpuThreadCount = 1;
    maxCpuThreads = 1;
    useGL2 = true;
    useInterop = true;
    tenBitColour = true;
    syncMode = false;
    timingLogs = true;
    autoSwitchPalette = true;
    paletteType = 0;
    zoomMode = false;

    imageWidth = 2048;
    imageHeight = 2048;
    cpuPrecision = 1;
    fractalType = -1;
    maxIterations = 768;
    maxSizeSquared = 4.0L;
    viewMaxX = viewMinX = viewMaxY = viewMinY = 0;
    juliaCx = juliaCy = 0;

    fractalList.clear();
    currentFractalIndex = -1;
    renderQueue.clear();
    lastQueuedFractal = FractalRecord{};
    pendingFrames = 0;
    totalRenderTime = 0;
    benchmarkActive = false;
    nextFractalId = 0;
    fractalViewHooks = FractalViewHooks{};
    messageLog.reset();
    infoLog.reset();

    zoomRequested = false;
    zoomAnimating = false;
    cycleDirection = 0;
    redrawRequested = false;
    savedDeviceId = -1;
    savedUseInterop = true;
    savedInteropActive = false;

    quitFlag = false;
    stopFlag = false;

    cpuThreadsPool = nullptr;
    iterationBuffer = nullptr;
    displayBuffer = nullptr;

    baseTitle.clear();
    currentFilePath.clear();
    lastDialogPath = "Fractal1";
}
