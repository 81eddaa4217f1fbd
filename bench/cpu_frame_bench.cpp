// Full 2048 × 2048 frames of the default Mandelbrot record through CPUThreads, one benchmark
// per precision, in giga-iterations per second (escape-loop steps actually executed ÷ time).
// With --limit=PATH the measuring stick at PATH runs first, with the pool's thread count, and
// the ratios project ÷ stick are printed at the end.
#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "platform/x87.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int32_t frameSize = 2048;

CPUThreads* benchPool = nullptr;
std::vector<uint16_t> image(static_cast<size_t>(frameSize) * frameSize);

const char* precisionName(int precision)
{
    return precision == 1 ? "float" : precision == 2 ? "double" : "extended";
}

// Steps the escape loop executed for a Mandelbrot image: k + 1 for a pixel that escaped at step
// k, maxIterations for one that never escaped. A stored 0 is either; z1 = p tells them apart.
template <typename T>
uint64_t executedIterations(const FractalRecord& r)
{
    setX87Precision(X87Precision::Extended);
    const T minX = static_cast<T>(r.minX), maxX = static_cast<T>(r.maxX);
    const T minY = static_cast<T>(r.minY), maxY = static_cast<T>(r.maxY);
    const T bound = static_cast<T>(r.maxSizeSquared);
    uint64_t total = 0;
    for (int32_t y = 0; y < frameSize; ++y) {
        const T pIm = (static_cast<T>(y) / T(frameSize)) * (maxY - minY) + minY;
        for (int32_t x = 0; x < frameSize; ++x) {
            const T pRe = (static_cast<T>(x) / T(frameSize)) * (maxX - minX) + minX;
            const uint16_t count = image[x + static_cast<size_t>(y) * frameSize];
            if (count != 0)
                total += count + 1u;
            else
                total += bound < pRe * pRe + pIm * pIm ? 1u : static_cast<uint64_t>(r.maxIterations);
        }
    }
    return total;
}

// Single, double and extended precision, five timed repetitions each.
void perPrecision(benchmark::internal::Benchmark* benchmark)
{
    benchmark->ArgName("precision")
        ->Arg(1)
        ->Arg(2)
        ->Arg(3)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
}

void cpuFrame(benchmark::State& state)
{
    const auto precision = static_cast<int32_t>(state.range(0));
    const FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    computeCpuFrame(*benchPool, record, precision, Mandelbrot);
    const uint64_t perFrame = precision == 1   ? executedIterations<float>(record)
                              : precision == 2 ? executedIterations<double>(record)
                                               : executedIterations<long double>(record);
    for (auto _ : state)
        computeCpuFrame(*benchPool, record, precision, Mandelbrot);
    state.SetLabel(precisionName(precision));
    state.counters["GIter/s"] = benchmark::Counter(
        static_cast<double>(perFrame) * static_cast<double>(state.iterations()) / 1e9,
        benchmark::Counter::kIsRate);
    state.counters["threads"] = static_cast<double>(benchPool->threadCount);
}
BENCHMARK(cpuFrame)->Apply(perPrecision);

// A frame whose view bounds are not a number, as an animation towards non-finite bounds makes
// them: every pixel stores 0. Extended precision must cost no more here than double.
void notANumberFrame(benchmark::State& state)
{
    const auto precision = static_cast<int32_t>(state.range(0));
    FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    const long double notANumber = std::numeric_limits<long double>::quiet_NaN();
    record.maxX = record.minX = record.maxY = record.minY = notANumber;
    for (auto _ : state)
        computeCpuFrame(*benchPool, record, precision, Mandelbrot);
    state.SetLabel(precisionName(precision));
}
BENCHMARK(notANumberFrame)->Apply(perPrecision);

// Keeps the best GIter/s of each precision's repetitions while printing as usual.
class BestRateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const auto rate = run.counters.find("GIter/s");
            if (run.run_type == Run::RT_Iteration && rate != run.counters.end())
                best[run.report_label] = std::max(best[run.report_label], rate->second.value);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> best;
};

// The stick's variants and their G iterations/s from its table.
std::map<std::string, double> runLimit(const std::string& path, uint32_t threads)
{
    const std::string command = path + " --threads " + std::to_string(threads) + " --reps 5";
    std::printf("Running %s\n", command.c_str());
    std::fflush(stdout);
    std::map<std::string, double> rates;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return rates;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::fputs(line, stdout);
        std::istringstream fields(line);
        std::string name;
        int lanes, vectors;
        double bestMs, medianMs, iterations;
        if (fields >> name >> lanes >> vectors >> bestMs >> medianMs >> iterations &&
            name.find('-') != std::string::npos && bestMs > 0)
            rates[name] = iterations / (bestMs * 1e6);
    }
    pclose(pipe);
    return rates;
}

void printRatios(const std::map<std::string, double>& limit, const BestRateReporter& project,
                 uint32_t threads)
{
    std::printf("\nProject vs measuring stick, %u threads, best of 5, G iterations/s\n", threads);
    std::printf("%-9s %9s %9s %9s %-18s %10s %10s\n", "precision", "project", "scalar", "best",
                "(variant)", "÷ scalar", "÷ best");
    for (int precision = 1; precision <= 3; ++precision) {
        const std::string name = precisionName(precision);
        const std::string suffix = precision == 1 ? "float" : precision == 2 ? "double" : "ldouble";
        const auto own = project.best.find(name);
        const auto scalar = limit.find("scalar-" + suffix);
        if (own == project.best.end() || scalar == limit.end())
            continue;
        std::string bestVariant = scalar->first;
        double bestRate = scalar->second;
        for (const auto& [variant, rate] : limit) {
            const bool vector = variant.rfind("scalar", 0) != 0;
            if (vector && variant.size() > suffix.size() &&
                variant.compare(variant.size() - suffix.size() - 1, std::string::npos, "-" + suffix) == 0 &&
                rate > bestRate) {
                bestVariant = variant;
                bestRate = rate;
            }
        }
        std::printf("%-9s %9.2f %9.2f %9.2f %-18s %10.2f %10.2f\n", name.c_str(), own->second,
                    scalar->second, bestRate, ("(" + bestVariant + ")").c_str(),
                    own->second / scalar->second, own->second / bestRate);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string limitPath;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--limit=", 0) == 0)
            limitPath = argument.substr(8);
        else
            arguments.push_back(argv[i]);
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());

    CPUThreads pool(static_cast<int32_t>(workerCountFor(std::thread::hardware_concurrency())),
                    frameSize, frameSize, image.data());
    benchPool = &pool;
    std::map<std::string, double> limit;
    if (!limitPath.empty())
        limit = runLimit(limitPath, pool.threadCount);

    BestRateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!limit.empty())
        printRatios(limit, reporter, pool.threadCount);
    return 0;
}
