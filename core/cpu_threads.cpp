#include "core/cpu_threads.h"

#include "core/escape_time.h"
#include "core/frame_wait.h"
#include "core/globals.h"
#include "core/tile_kernels.h"
#include "platform/console.h"
#include "platform/x87.h"

#include <algorithm>
#include <stdexcept>
#include <type_traits>

const std::string precisionRangeText =
    "cpuThread precision must be between[1,3] (i.e. single, double and quad precision)";

namespace {

// The queue a precision code selects: 2 double, 3 extended, anything else single.
int32_t queueOf(int32_t precisionCode)
{
    return precisionCode == 2 || precisionCode == 3 ? precisionCode : 1;
}

X87Precision x87PrecisionFor(int32_t precisionCode)
{
    return precisionCode == 3 ? X87Precision::Extended : X87Precision::Single;
}

bool isTileGridSize(int32_t size)
{
    return size > 0 && size % tileGridSize == 0;
}

// Takes jobs from the front of a queue under queueMutex: up to the end of the current group of
// four tile columns while the queue is long, fewer towards the end of a frame, so its tail still
// spreads over all workers.
// NOTE: four columns of 8-pixel tiles are 64 bytes of each image row, one cache line. Workers
// writing neighbouring columns at once would pass those lines back and forth.
template <typename T>
int32_t takeJobs(CPUThreads& pool, std::deque<TileJob<T>>& queue, TileJob<T>* jobs)
{
    // NOTE: the lock is held for a copy of a few jobs, far shorter than the sleep and wake-up
    // that blocking on it costs, so a worker first spins a little.
    std::unique_lock lock(pool.queueMutex, std::defer_lock);
    for (int spin = 0; spin < 2000 && !lock.try_lock(); ++spin)
        __builtin_ia32_pause();
    if (!lock.owns_lock())
        lock.lock();
    const size_t available = queue.size();
    if (available == 0)
        return 0;
    constexpr size_t group = 4 * tileGridSize;
    static_assert(group <= maxJobsPerTake, "a take holds a whole group of tile columns");
    const size_t share = std::max<size_t>(1, available / (4 * static_cast<size_t>(pool.threadCount)));
    const size_t toGroupEnd = available % group == 0 ? group : available % group;
    const auto count = static_cast<int32_t>(std::min(toGroupEnd, share));
    std::copy_n(queue.begin(), count, jobs);
    queue.erase(queue.begin(), queue.begin() + count);
    return count;
}

// The widest vector kernels of this processor, found once.
SimdLevel poolSimdLevel()
{
    static const SimdLevel level = detectSimdLevel();
    return level;
}

// What a vector kernel's source needs to take more jobs of one queue for a worker.
template <typename T>
struct MoreJobs {
    CPUThreads* pool;
    std::deque<TileJob<T>>* queue;
    int32_t queueCode;
    int32_t taken;
};

// Takes the next jobs for a running vector kernel, with the same tests as the worker's own
// takes: none once the pool stops or the precision selects another queue.
template <typename T>
int32_t takeMoreJobs(void* context, TileJob<T>* jobs, int32_t capacity)
{
    auto& more = *static_cast<MoreJobs<T>*>(context);
    if (capacity < maxJobsPerTake || more.pool->stop || stopFlag ||
        queueOf(more.pool->precision->load()) != more.queueCode)
        return 0;
    const int32_t count = takeJobs(*more.pool, *more.queue, jobs);
    more.taken += count;
    return count;
}

} // namespace

template <typename T>
void fillTiles(std::deque<TileJob<T>>& queue, const FractalRecord& record, int32_t width,
               int32_t height)
{
    const int32_t tileWidth = width / tileGridSize;
    const int32_t tileHeight = height / tileGridSize;
    TileJob<T> job{};
    job.xMin = static_cast<T>(record.minX);
    job.xMax = static_cast<T>(record.maxX);
    job.yMin = static_cast<T>(record.minY);
    job.yMax = static_cast<T>(record.maxY);
    job.cRe = static_cast<T>(record.Cx);
    job.cIm = static_cast<T>(record.Cy);
    // Every field of every job is set, so appending them gives the queue that zero-filling
    // 65,536 jobs and then filling them would, with one pass over the memory instead of two.
    queue.clear();
    for (int32_t x0 = 0; x0 + tileWidth <= width; x0 += tileWidth) {
        for (int32_t y0 = 0; y0 + tileHeight <= height; y0 += tileHeight) {
            job.x0 = x0;
            job.x1 = x0 + tileWidth;
            job.y0 = y0;
            job.y1 = y0 + tileHeight;
            queue.push_back(job);
        }
    }
}

template void fillTiles(std::deque<TileJob<float>>&, const FractalRecord&, int32_t, int32_t);
template void fillTiles(std::deque<TileJob<double>>&, const FractalRecord&, int32_t, int32_t);
template void fillTiles(std::deque<TileJob<long double>>&, const FractalRecord&, int32_t, int32_t);

uint32_t workerCountFor(unsigned hardwareThreads)
{
    return std::max(1u, hardwareThreads);
}

CPUThreads::cpuThread::cpuThread(int32_t index, uint32_t width, uint32_t height,
                                 uint16_t* buffer, CPUThreads* owner)
    : index(index), width(width), height(height), buffer(buffer), owner(owner)
{
    const int32_t code = owner->precision->load();
    if (code < 1 || code > 3)
        throw std::out_of_range(precisionRangeText);
}

void CPUThreads::cpuThread::operator()()
{
    try {
        work();
    } catch (const std::exception& e) {
        printLine("Thread " + std::to_string(index) + " threw an exception: " + e.what());
    }
}

// One wake-up per token: take and compute jobs until the queue of the current precision is
// empty, then add the count and release frameDone if the frame is complete.
void CPUThreads::cpuThread::work()
{
    CPUThreads& pool = *owner;
    for (;;) {
        if (pool.stop)
            return;
        pool.workAvailable.acquire();
        if (pool.stop)
            return;
        if (buffer == nullptr)
            printLine("Buffer is NULL");
        if (pool.maxThreads < index)
            continue;
        const int32_t code = pool.precision->load();
        if (code < 1 || code > 3) {
            printLine(precisionRangeText);
            throw std::out_of_range(precisionRangeText);
        }
        setX87Precision(x87PrecisionFor(code));
        if (pool.stop)
            return;

        int32_t count = 0;
        for (;;) {
            const int32_t queue = queueOf(pool.precision->load());
            int32_t taken;
            if (queue == 2)
                taken = runStream(pool.doubleTiles, queue);
            else if (queue == 3)
                taken = runStream(pool.extendedTiles, queue);
            else
                taken = runStream(pool.floatTiles, queue);
            if (taken < 0)
                return;
            if (taken == 0)
                break;
            count += taken;
        }

        std::lock_guard lock(pool.counterMutex);
        pool.tilesCompleted += count;
        if (pool.allQueued && pool.tilesCompleted == pool.tilesQueued &&
            pool.tilesCompleted == pool.tilesExpected && !pool.doneSignalled) {
            pool.frameDone.release();
            pool.doneSignalled = true;
        }
    }
}

// Takes and computes jobs of one queue while the precision still selects it. Returns the
// number of jobs taken, or -1 when the pool stopped (the count is then not added).
template <typename T>
int32_t CPUThreads::cpuThread::runStream(std::deque<TileJob<T>>& queue, int32_t queueCode)
{
    CPUThreads& pool = *owner;
    TileJob<T> jobs[maxJobsPerTake];
    int32_t taken = 0;
    while (queueOf(pool.precision->load()) == queueCode) {
        const int32_t count = takeJobs(pool, queue, jobs);
        if (count == 0)
            break;
        taken += count;
        // NOTE: the precision may have changed since this wake-up; an extended tile must never
        // run with a 24-bit significand.
        setX87Precision(x87PrecisionFor(queueCode));
        // NOTE: once shutdown has begun nobody shows this frame: the remaining tiles are
        // counted without being computed, so a long frame does not hold shutdown up.
        if (buffer != nullptr && !stopFlag) {
            const T bound = static_cast<T>(pool.escapeBound.load());
            const int32_t iterations = pool.maxIterations;
            const int32_t type = pool.fractalType;
            if constexpr (!std::is_same_v<T, long double>) {
                if (poolSimdLevel() != SimdLevel::Scalar && hasVectorKernel(type)) {
                    // The kernel keeps taking jobs of this queue while it runs, so its vectors
                    // stay full from one batch to the next.
                    const TileFrame<T> frame{static_cast<T>(width), static_cast<T>(height),
                                             bound, iterations, type,
                                             static_cast<int32_t>(pool.width)};
                    MoreJobs<T> more{&pool, &queue, queueCode, 0};
                    computeVectorTiles(poolSimdLevel(), jobs, count, {takeMoreJobs<T>, &more, &stopFlag},
                                       frame, buffer);
                    taken += more.taken;
                    if (pool.stop)
                        return -1;
                    continue;
                }
            }
            for (int32_t i = 0; i < count && !stopFlag; ++i) {
                const TileJob<T>& job = jobs[i];
                if constexpr (std::is_same_v<T, long double>) {
                    cpuTileExtended(job.x0, job.y0, job.x1, job.y1, width, height, job.xMin,
                                    job.xMax, job.yMin, job.yMax, job.cRe, job.cIm, bound,
                                    iterations, buffer, type, &stopFlag);
                } else {
                    cpuTile<T>(job.x0, job.y0, job.x1, job.y1, static_cast<T>(width),
                               static_cast<T>(height), job.xMin, job.xMax, job.yMin, job.yMax,
                               job.cRe, job.cIm, bound, iterations, buffer, type, &stopFlag);
                }
                if (pool.stop)
                    return -1;
            }
        }
        if (pool.stop)
            return -1;
    }
    return taken;
}

CPUThreads::CPUThreads(int32_t maxThreads, int32_t width, int32_t height, uint16_t* buffer)
    : maxThreads(maxThreads), stop(false), precision(&cpuPrecision),
      width(static_cast<uint32_t>(width)), height(static_cast<uint32_t>(height)), threadCount(0),
      tokensPerFrame(static_cast<int32_t>(std::thread::hardware_concurrency())), tilesQueued(0),
      tilesCompleted(0), tilesExpected(0), allQueued(false), doneSignalled(false),
      workAvailable(0), frameDone(0), escapeBound(0.0L), maxIterations(0), fractalType(-1)
{
    if (!isTileGridSize(width) || !isTileGridSize(height)) {
        throw std::invalid_argument("CPUThreads: the image size must be a positive multiple of " +
                                    std::to_string(tileGridSize) + " in both directions, not " +
                                    std::to_string(width) + " x " + std::to_string(height));
    }
    threadCount = workerCountFor(std::thread::hardware_concurrency());
    // NOTE: a worker whose index exceeds maxThreads takes tokens without ever testing for the
    // frame's end, so the field always holds the number of workers.
    this->maxThreads = static_cast<int32_t>(threadCount);
    tokensPerFrame = static_cast<int32_t>(threadCount);
    // The argument, as given.
    printLine("Maximum CPU threads: " + std::to_string(maxThreads));

    // Every function object is built before any thread starts, so a precision error leaves
    // nothing running.
    std::vector<cpuThread> bodies;
    for (uint32_t i = 1; i <= threadCount; ++i)
        bodies.emplace_back(static_cast<int32_t>(i), this->width, this->height, buffer, this);
    try {
        for (cpuThread& body : bodies)
            workers.emplace_back(body);
    } catch (...) {
        stop = true;
        workAvailable.release(static_cast<int64_t>(workers.size()));
        for (std::thread& worker : workers)
            worker.join();
        throw;
    }
}

CPUThreads::~CPUThreads()
{
    printLine("Releasing OpenCL resources ...[DONE]");
    printLine("Shutting down threads");
    stop = true;
    int32_t tokens;
    {
        std::lock_guard lock(counterMutex);
        tokens = tokensPerFrame;
    }
    // Enough tokens to wake every waiting worker even if a frame lowered tokensPerFrame.
    workAvailable.release(std::max<int64_t>(tokens, workers.size()));
    frameDone.release();
    printLine("Shutting down threads");
    for (std::thread& worker : workers)
        worker.join();
    workers.clear();
    printLine("Thread shutdown complete");
    std::deque<TileJob<long double>>().swap(extendedTiles);
    std::deque<TileJob<double>>().swap(doubleTiles);
    std::deque<TileJob<float>>().swap(floatTiles);
}

void CPUThreads::resetQueue(int32_t tokens)
{
    std::lock_guard lock(counterMutex);
    tokensPerFrame = tokens;
    tilesQueued = 0;
    tilesCompleted = 0;
    tilesExpected = 0;
    allQueued = false;
    doneSignalled = false;
}

void computeCpuFrame(CPUThreads& pool, const FractalRecord& record, int32_t precisionCode,
                     int32_t fractalType)
{
    const int32_t code = queueOf(precisionCode);
    pool.precision->store(code);
    // Also rounds to nearest, which the conversions of the view to the queue's type rely on.
    setX87Precision(x87PrecisionFor(code));
    pool.escapeBound = record.maxSizeSquared;
    pool.maxIterations = record.maxIterations;
    pool.fractalType = fractalType;

    const auto width = static_cast<int32_t>(pool.width);
    const auto height = static_cast<int32_t>(pool.height);
    pool.resetQueue(pool.maxThreads);
    pool.tilesExpected = tilesPerFrame;
    {
        std::lock_guard lock(pool.queueMutex);
        if (code == 1)
            fillTiles(pool.floatTiles, record, width, height);
        else if (code == 2)
            fillTiles(pool.doubleTiles, record, width, height);
        else
            fillTiles(pool.extendedTiles, record, width, height);
    }
    int32_t tokens;
    {
        std::lock_guard lock(pool.counterMutex);
        pool.allQueued = true;
        pool.tilesQueued += tilesPerFrame;
        tokens = pool.tokensPerFrame;
    }
    pool.workAvailable.release(tokens);
    // NOTE: a thread with a look waits in bounded waits; a close it sees between two sets
    // stopFlag, and the workers then count the remaining tiles without computing them.
    if (frameWaitLook != nullptr)
        waitLooking([&pool](std::chrono::milliseconds interval) {
            return pool.frameDone.tryAcquireFor(interval);
        });
    else
        pool.frameDone.acquire();
    setX87Precision(X87Precision::Single);
}
