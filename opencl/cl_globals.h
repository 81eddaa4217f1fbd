// The OpenCL backend's shared values: its build state and flags, the ring of shared textures,
// the set-up thread's semaphore and hidden window, and its texts.
#pragma once

#include "platform/semaphore.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct GLFWwindow;

extern int32_t maxWorkGroupSize;           // work-group edge of the dispatch
extern std::atomic<int32_t> clUseDouble;   // precision the kernels were built with
extern std::atomic<bool> interopActive;    // frames go through the shared-texture ring
extern std::atomic<bool> clReady;
extern std::atomic<bool> clRebuildRequested;

// The ring of shared textures; the count is fixed, index and frame count move per frame.
extern std::recursive_mutex interopMutex;
extern int32_t interopTextureCount;
extern int32_t interopTextureIndex; // guarded by interopMutex
extern int32_t interopFrameCount;   // guarded by interopMutex

// Requests to the OpenCL set-up thread.
extern CountingSemaphore clSetupSemaphore;

// The hidden window whose context the OpenCL set-up thread uses; start-up makes it.
extern GLFWwindow* clWindow;

extern const std::vector<std::string> kernelBuildWords; // "ushort", "buffer_type", "max_palette_value"
extern const std::vector<std::string> clErrorTexts;
