// What watching for a close costs a frame: 1024 × 768 frames of the default Mandelbrot record
// at 64 iterations, each waited for as the main thread waits in synchronous mode (bounded waits
// with a look between them) and with a plain blocking wait, on the CPU pool and on OpenCL
// device 0. Repetitions run in random order; the end prints each watched median ÷ its blocking
// median.
#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "core/frame_wait.h"
#include "core/globals.h"
#include "opencl/cl_api.h"
#include "opencl/opencl_backend.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int32_t frameWidth = 1024;
constexpr int32_t frameHeight = 768;

std::vector<uint16_t> image(static_cast<size_t>(frameWidth) * frameHeight);
CPUThreads* benchPool = nullptr;

FractalRecord benchRecord()
{
    FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    record.maxIterations = 64;
    return record;
}

// The look of the main thread stands in for its look at the X event queue.
std::atomic<int64_t> looks{0};
void countLook()
{
    looks.fetch_add(1, std::memory_order_relaxed);
}

void watchedOrBlocking(benchmark::internal::Benchmark* benchmark)
{
    benchmark->ArgName("watched")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void cpuSynchronousFrame(benchmark::State& state)
{
    const FractalRecord record = benchRecord();
    frameWaitLook = state.range(0) != 0 ? countLook : nullptr;
    for (auto _ : state)
        computeCpuFrame(*benchPool, record, 1, record.fractalType);
    frameWaitLook = nullptr;
}
BENCHMARK(cpuSynchronousFrame)->Apply(watchedOrBlocking);

// The dispatch of computeCL in single precision, waited for with clFinish.
void blockingDeviceFrame(const FractalRecord& record)
{
    ClState& s = clState;
    cl_kernel kernel = s.clKernels[1];
    const cl_float values[7] = {
        static_cast<cl_float>(record.minX), static_cast<cl_float>(record.maxX),
        static_cast<cl_float>(record.minY), static_cast<cl_float>(record.maxY),
        static_cast<cl_float>(record.Cx),   static_cast<cl_float>(record.Cy),
        static_cast<cl_float>(record.maxSizeSquared)};
    const cl_int width = s.clImageWidth;
    const cl_int height = s.clImageHeight;
    const cl_int maxIterations = record.maxIterations;
    const cl_int fractalType = record.fractalType;
    clApi.clSetKernelArg(kernel, 0, sizeof width, &width);
    clApi.clSetKernelArg(kernel, 1, sizeof height, &height);
    for (cl_uint i = 0; i < 7; ++i)
        clApi.clSetKernelArg(kernel, 2 + i, sizeof(cl_float), &values[i]);
    clApi.clSetKernelArg(kernel, 9, sizeof maxIterations, &maxIterations);
    clApi.clSetKernelArg(kernel, 10, sizeof(cl_mem), &s.clBuffers[0]);
    clApi.clSetKernelArg(kernel, 11, sizeof fractalType, &fractalType);
    const size_t global[2] = {static_cast<size_t>(width), static_cast<size_t>(height)};
    const size_t edge = maxWorkGroupSize == 1 ? 1 : 16;
    const size_t local[2] = {edge, edge};
    clApi.clEnqueueNDRangeKernel(s.clQueue, kernel, 2, nullptr, global, local, 0, nullptr, nullptr);
    clApi.clFinish(s.clQueue);
    clApi.clEnqueueReadBuffer(s.clQueue, s.clBuffers[0], CL_TRUE, 0, image.size() * sizeof(uint16_t),
                              image.data(), 0, nullptr, nullptr);
}

void deviceFrame(benchmark::State& state)
{
    if (!clReady) {
        state.SkipWithError("no OpenCL device with the kernels built");
        return;
    }
    const FractalRecord record = benchRecord();
    const bool watched = state.range(0) != 0;
    uint16_t* host = image.data();
    frameWaitLook = watched ? countLook : nullptr;
    for (auto _ : state) {
        if (watched)
            computeCL(record.fractalType, &host, {0u}, 0, record, 0);
        else
            blockingDeviceFrame(record);
    }
    frameWaitLook = nullptr;
}
BENCHMARK(deviceFrame)->Apply(watchedOrBlocking);

// Builds the kernels for device 0 on the set-up thread; false without a device.
bool startDevice(std::thread& setup)
{
    imageWidth = frameWidth;
    imageHeight = frameHeight;
    listDevices(false);
    if (clState.deviceList.empty())
        return false;
    deviceId = 0;
    useDouble = false;
    interopActive = false;
    setup = std::thread(openCLSetupThread);
    requestKernelRebuild();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!clReady && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (clReady) {
        // The first dispatch makes the buffer that the blocking frames reuse.
        uint16_t* host = image.data();
        const FractalRecord record = benchRecord();
        computeCL(record.fractalType, &host, {0u}, 0, record, 0);
    }
    return clReady;
}

void stopDevice(std::thread& setup)
{
    if (!setup.joinable())
        return;
    quitFlag = true;
    clSetupSemaphore.release(1);
    setup.join();
    releaseBuiltObjects();
}

// Keeps each benchmark's median while printing as usual.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.str()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

void printRatios(const MedianReporter& reporter)
{
    std::printf("\nMedian frame time, watched ÷ blocking wait (%lld looks in all)\n",
                static_cast<long long>(looks.load()));
    for (const char* name : {"cpuSynchronousFrame", "deviceFrame"}) {
        const std::string prefix = std::string(name) + "/watched:";
        const auto blocking = reporter.medians.find(prefix + "0/real_time");
        const auto watched = reporter.medians.find(prefix + "1/real_time");
        if (blocking == reporter.medians.end() || watched == reporter.medians.end())
            continue;
        std::printf("%-20s %8.3f ms %8.3f ms %7.4f\n", name, watched->second, blocking->second,
                    watched->second / blocking->second);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Unless told otherwise: 30 repetitions each, in random order, medians.
    std::vector<char*> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=30";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    arguments.insert(arguments.begin() + 1, {repetitions.data(), interleaving.data(), aggregates.data()});
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());

    CPUThreads pool(static_cast<int32_t>(workerCountFor(std::thread::hardware_concurrency())),
                    frameWidth, frameHeight, image.data());
    benchPool = &pool;
    std::thread setup;
    if (!startDevice(setup))
        std::printf("No OpenCL device: the device frames are skipped\n");

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printRatios(reporter);
    stopDevice(setup);
    return 0;
}
