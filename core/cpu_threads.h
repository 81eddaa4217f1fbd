// The CPU compute engine: a pool of worker threads that fills the 16-bit iteration image of
// one fractal per frame, tile by tile, in single, double or extended precision.
//
// Threads: the main thread constructs and destroys the pool; one frame thread at a time (the
// compute thread, or the main thread in synchronous mode) runs the per-frame protocol, for
// example through computeCpuFrame; the workers run cpuThread::operator().
#pragma once

#include "core/fractal_record.h"
#include "platform/semaphore.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One tile: columns x0 <= x < x1, rows y0 <= y < y1, and the view and constant in T.
template <typename T>
struct TileJob {
    int32_t x0;
    int32_t x1;
    int32_t y0;
    int32_t y1;
    T xMin;
    T xMax;
    T yMin;
    T yMax;
    T cRe;
    T cIm;
};

// The image is cut into 256 × 256 tiles.
constexpr int32_t tileGridSize = 256;
constexpr int32_t tilesPerFrame = tileGridSize * tileGridSize; // 0x10000

extern const std::string precisionRangeText;

class CPUThreads {
public:
    // The function object each worker thread runs.
    class cpuThread {
    public:
        // Throws std::out_of_range when the pool's precision is not 1, 2 or 3.
        cpuThread(int32_t index, uint32_t width, uint32_t height, uint16_t* buffer,
                  CPUThreads* owner);

        // The worker loop; returns when the pool stops or after an exception it reports.
        void operator()();

        int32_t index; // 1 for the first worker
        long double width;
        long double height;
        uint16_t* buffer;
        CPUThreads* owner;

    private:
        void work();
        template <typename T>
        int32_t runStream(std::deque<TileJob<T>>& queue, int32_t precisionCode);
    };

    // Starts one worker per hardware thread (at least one). maxThreads is printed as given;
    // the field always holds the number of workers. Throws std::invalid_argument unless width
    // and height are positive multiples of 256, and std::out_of_range when cpuPrecision is
    // not 1, 2 or 3; no worker is running after either.
    CPUThreads(int32_t maxThreads, int32_t width, int32_t height, uint16_t* buffer);
    CPUThreads(const CPUThreads&) = delete;
    CPUThreads& operator=(const CPUThreads&) = delete;

    // Stops and joins the workers.
    ~CPUThreads();

    // Starts a frame's counts: called by the frame thread with maxThreads.
    void resetQueue(int32_t tokens);

    std::vector<std::thread> workers;
    int32_t maxThreads;
    std::atomic<bool> stop;
    std::atomic<int32_t>* precision; // cpuPrecision: 1 single, 2 double, 3 extended
    uint32_t width;
    uint32_t height;
    uint32_t threadCount;
    int32_t tokensPerFrame;              // guarded by counterMutex
    std::recursive_mutex counterMutex;
    int32_t tilesQueued;                 // guarded by counterMutex
    int32_t tilesCompleted;              // guarded by counterMutex
    std::atomic<int32_t> tilesExpected;  // read by workers under counterMutex
    bool allQueued;                      // guarded by counterMutex
    bool doneSignalled;                  // guarded by counterMutex
    CountingSemaphore workAvailable;
    CountingSemaphore frameDone;
    std::recursive_mutex queueMutex;
    std::deque<TileJob<long double>> extendedTiles; // guarded by queueMutex
    std::deque<TileJob<double>> doubleTiles;        // guarded by queueMutex
    std::deque<TileJob<float>> floatTiles;          // guarded by queueMutex
    // The frame's values, written by the frame thread before it queues the frame's tiles.
    std::atomic<long double> escapeBound;
    std::atomic<int32_t> maxIterations;
    std::atomic<int32_t> fractalType;
};

// The number of workers for a reported hardware concurrency: never fewer than one.
uint32_t workerCountFor(unsigned hardwareThreads);

// Empties a queue and fills it with a frame's tiles of a width x height image: columns outer,
// job n = column x 256 + row, the view converted to the queue's type. Called with queueMutex
// held.
template <typename T>
void fillTiles(std::deque<TileJob<T>>& queue, const FractalRecord& record, int32_t width,
               int32_t height);

// Computes one frame of a record on the pool into the pool's image and returns when the image
// is complete, or abandoned once stopFlag is set. precisionCode: 3 extended, 2 double, anything
// else single. A thread with a frame wait look runs it while it waits. Leaves the calling
// thread's x87 precision field at 24 bits. Frame thread only.
void computeCpuFrame(CPUThreads& pool, const FractalRecord& record, int32_t precisionCode,
                     int32_t fractalType);
