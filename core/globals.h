// The program's settings, shared state, locks and strings. All of them live for the
// whole process; each guarded value names its lock. Values that one thread writes and others
// read without a lock are atomics: a reader only needs the new value at its next test.
#pragma once

#include "core/fractal_record.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class CPUThreads;

// Settings: changed by the command line, start-up and the menus; never stored between runs.
extern std::atomic<bool> cpuMode;
extern std::atomic<bool> useDouble;
extern std::atomic<bool> useExtended;
extern std::atomic<int32_t> deviceId; // index into the device list; -1 chooses at start-up
extern std::atomic<int32_t> cpuThreadCount;
extern std::atomic<int32_t> maxCpuThreads;
extern std::atomic<bool> useGL2;
extern std::atomic<bool> useInterop;
extern std::atomic<bool> tenBitColour;
extern std::atomic<bool> syncMode;
extern std::atomic<bool> timingLogs;
extern std::atomic<bool> autoSwitchPalette;
extern std::atomic<int32_t> paletteType; // 0 "VGA Assignmnt", 1 "Red heatmap", 2 "Random Colours"
extern std::atomic<bool> zoomMode;

// Image, view and compute state.
extern int32_t imageWidth;
extern int32_t imageHeight;
extern std::atomic<int32_t> cpuPrecision; // 1 single, 2 double, 3 extended
extern std::atomic<int32_t> fractalType;  // type of the current fractal
extern int32_t maxIterations;
extern long double maxSizeSquared;
extern long double viewMaxX, viewMinX, viewMaxY, viewMinY;
extern long double juliaCx, juliaCy;

// The fractal list, the render queue and the frames still to compute.
extern std::vector<FractalRecord> fractalList; // guarded by fractalListMutex
extern int32_t currentFractalIndex;            // guarded by fractalListMutex; -1: no record
extern std::deque<FractalRecord> renderQueue;  // guarded by renderQueueMutex; first in, first out
extern FractalRecord lastQueuedFractal;        // guarded by renderQueueMutex
extern int32_t pendingFrames;                  // guarded by pendingFramesMutex
extern uint32_t pendingFramesDropped;          // times they were dropped; pendingFramesMutex
extern uint64_t totalRenderTime;               // nanoseconds; guarded by renderTimeMutex
extern std::atomic<bool> benchmarkActive;

// Requests to the zoom-animation and benchmark driver, raised by the window callbacks and the
// menus (main thread).
extern bool zoomRequested;
extern bool zoomAnimating;
extern int32_t zoomSteps; // passes left in the animation
extern int32_t cycleDirection;
extern bool redrawRequested;
extern int32_t savedDeviceId;
extern bool savedUseInterop;
extern bool savedInteropActive;

// Ends the zoom animation as one that ran out of passes ends, so that whatever starts next (a
// benchmark's finishing pass, a list step, a zoom) finds none of its passes left. Main thread.
void endZoomAnimation();

extern std::atomic<bool> quitFlag;
extern std::atomic<bool> stopFlag;

// Owners filled by start-up.
extern CPUThreads* cpuThreadsPool;
extern uint16_t* iterationBuffer; // two images: the CPU pool's and the read-back's output
extern uint16_t* displayBuffer;   // the image last taken from the ready buffers

// Locks. Order: fractalListMutex before renderQueueMutex; pendingFramesMutex before
// renderTimeMutex, both alone or innermost otherwise; computeRequestMutex around every lock of the
// frame step.
extern std::recursive_mutex fractalListMutex;
extern std::recursive_mutex pendingFramesMutex;
extern std::recursive_mutex renderTimeMutex;
extern std::mutex renderQueueMutex;
extern std::mutex bufferMutex;
extern std::mutex computeRequestMutex;
// NOTE: never destroyed: the compute thread may still wait on it when the process exits, and
// destroying a condition variable that a thread waits on blocks for ever.
extern std::condition_variable& computeRequest;

// Version and file names.
extern const std::string versionString;
extern std::string baseTitle;
extern std::string currentFilePath; // UTF-8 path of the fractal file last loaded or saved
extern std::string lastDialogPath;
