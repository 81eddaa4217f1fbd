// The frame step: turns the next queued fractal record into an iteration image, and the pool
// of pixel buffers that hands finished images to the display.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>

using PixelBuffer = std::unique_ptr<uint16_t[]>;

// Guarded by bufferMutex. Every buffer holds imageWidth x imageHeight values.
extern std::deque<PixelBuffer> freeBuffers;
extern std::deque<PixelBuffer> readyBuffers;
constexpr int pixelBufferCount = 8;

extern std::thread computeThread;

// Body of the compute thread: one frame step per notification of computeRequest, until
// stopFlag is set.
void asyncComputeThread();

// Computes at most one frame. interop is the caller's reading of interopActive. Returns true
// only when stopFlag was found set. Compute thread, or the main thread in synchronous mode;
// never runs twice at once.
bool frameStep(bool interop);

// Moves the oldest ready buffer into out, or sets out to null when none is ready. Main thread.
void popReadyBuffer(PixelBuffer& out);

// Returns a buffer taken with popReadyBuffer to the free buffers. Main thread.
void returnFreeBuffer(PixelBuffer buffer);

// The frame-time line for an elapsed time: "Frame time ", the seconds with six significant
// digits in the stream's general format (0.05234, 4e-05), then " s".
std::string frameTimeText(uint64_t nanoseconds);

// True when the tile grid can cut an image of this size: positive multiples of 256.
bool isValidImageSize(int32_t width, int32_t height);
