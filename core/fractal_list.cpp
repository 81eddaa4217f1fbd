#include "core/fractal_list.h"

#include "core/globals.h"
#include "platform/console.h"

#include <algorithm>
#include <cstdio>

int32_t nextFractalId = 0;
FractalViewHooks fractalViewHooks;

namespace {

struct DefaultView {
    const char* name;
    // Written as double literals: the defaults are the doubles nearest the decimals, widened.
    double maxX, minX, maxY, minY, cx, cy;
    int32_t maxIterations;
    double maxSizeSquared;
    int32_t paletteType;
};

constexpr DefaultView defaultViews[fractalTypeCount] = {
    {"Mandelbrot", 2, -2, 1.5, -1.5, 0, 0, 768, 4, 0},
    {"Julia", 1.5, -1.5, 1.5, -1.5, -0.8, 0.156, 768, 4, 0},
    {"Sine", 8, -8, 4, -4, 0, 0, 256, 128, 0},
    {"Cosine", 8, -8, 7, -7, 0, 0, 256, 128, 0},
    {"Hyperbolic Sine", 5, -5, 4.5, -4.5, 0, 0, 256, 128, 0},
    {"Hyperbolic Cosine", 8, -8, 5.5, -5.5, 0, 0, 256, 128, 0},
    {" First Barnsley Fractal", 4, -4, 3, -3, 0.6, 1.1, 128, 4, 0},
    {" Second Barnsley Fractal", 4, -4, 3, -3, 0.6, 1.1, 128, 4, 0},
    {" Third Barnsley Fractal", 1.7, -2.2, 1.1, -1.1, 1, 0, 128, 4, 0},
    {" Barnsley-Sierpinski Fractal", 2, -2, 1.2, -1.2, 0, 0, 128, 4, 0},
    {" Dragon Fractal", 1.4, -0.4, 0.8, -0.8, 1.6493, 0.961, 4096, 4, 1},
    {"Chebyshev T5", 2, -2, 1.5, -1.5, 0, 0, 768, 16, 0},
    {"Hermite H4", 2, -2, 1.5, -1.5, 0, 0, 768, 16, 0},
    {"Legendre P3", 2, -2, 1.5, -1.5, 0, 0, 768, 16, 0},
};

struct JuliaPreset {
    int32_t preset;
    double cx, cy;
    int32_t paletteType;
};

constexpr JuliaPreset juliaPresets[] = {
    {100, 0, -0.75, 1},
    {101, -0.123, 0.745, 0},
    {102, -0.391, -0.587, 0},
    {103, 0, -1, 0},
};

} // namespace

FractalRecord defaultFractalRecord(int32_t type, int32_t preset)
{
    if (type < 0 || type >= fractalTypeCount)
        type = Julia;
    const DefaultView& v = defaultViews[type];
    FractalRecord record{};
    record.maxX = v.maxX;
    record.minX = v.minX;
    record.maxY = v.maxY;
    record.minY = v.minY;
    record.Cx = v.cx;
    record.Cy = v.cy;
    record.fractalType = type;
    record.maxIterations = v.maxIterations;
    record.maxSizeSquared = v.maxSizeSquared;
    record.paletteType = v.paletteType;
    record.name = v.name;
    if (type == Julia) {
        for (const JuliaPreset& p : juliaPresets) {
            if (p.preset == preset) {
                record.Cx = p.cx;
                record.Cy = p.cy;
                record.paletteType = p.paletteType;
            }
        }
    }
    return record;
}

void requestFrame()
{
    std::lock_guard lock(pendingFramesMutex);
    pendingFrames += 1;
}

void dropPendingFrames()
{
    std::lock_guard lock(pendingFramesMutex);
    pendingFrames = 0;
    pendingFramesDropped += 1;
}

void queueFractal(const FractalRecord& record)
{
    std::lock_guard lock(renderQueueMutex);
    lastQueuedFractal = record;
    renderQueue.push_back(lastQueuedFractal);
}

void newFractal(int32_t type, int32_t preset)
{
    requestFrame();
    FractalRecord record = defaultFractalRecord(type, preset);
    record.id = nextFractalId++;
    setCurrentFractal(record);

    std::lock_guard lock(fractalListMutex);
    fractalList.push_back(record);
    currentFractalIndex = static_cast<int32_t>(fractalList.size()) - 1;
    queueFractal(record);
}

bool selectFractal(int32_t step, bool apply)
{
    const int32_t old = currentFractalIndex;
    if (fractalViewHooks.removeScrollCallback)
        fractalViewHooks.removeScrollCallback();
    requestFrame();

    std::lock_guard lock(fractalListMutex);
    if (fractalList.empty() || currentFractalIndex < 0)
        return false;

    if (step == -1) {
        if (currentFractalIndex > 0)
            currentFractalIndex -= 1;
    } else if (step == 1) {
        if (static_cast<uint32_t>(fractalList.size() - 1) > static_cast<uint32_t>(currentFractalIndex))
            currentFractalIndex += 1;
    }
    if (currentFractalIndex == old && step != 0)
        return false;

    const FractalRecord& record = fractalList[static_cast<size_t>(currentFractalIndex)];
    if (step == 0 || apply)
        setCurrentFractal(record);
    queueFractal(record);
    return true;
}

void setCurrentFractal(const FractalRecord& record)
{
    viewMaxX = record.maxX;
    viewMinX = record.minX;
    viewMaxY = record.maxY;
    viewMinY = record.minY;
    juliaCx = record.Cx;
    juliaCy = record.Cy;
    maxIterations = record.maxIterations;
    maxSizeSquared = record.maxSizeSquared;

    if (autoSwitchPalette) {
        paletteType = record.paletteType;
        if (fractalViewHooks.hasPaletteMenu && fractalViewHooks.hasPaletteMenu()
            && fractalViewHooks.updatePaletteChecks)
            fractalViewHooks.updatePaletteChecks();
    }
    fractalType = record.fractalType;
    printFractalParameters(record);

    if (fractalViewHooks.setWindowTitle)
        fractalViewHooks.setWindowTitle(baseTitle + " " + record.name);
}

void printFractalParameters(const FractalRecord& record)
{
    // NOTE: "%lf" takes a double; the extended values are narrowed for printing only.
    const char* format = "%s Z-range:(%lf, %lf)-(%lf, %lf), c = (%lf,%lf), maxIters = %d, maxSize = %lf\r";
    const auto print = [&](char* out, size_t size) {
        return std::snprintf(out, size, format, record.name.c_str(), static_cast<double>(record.minX),
                             static_cast<double>(record.minY), static_cast<double>(record.maxX),
                             static_cast<double>(record.maxY), static_cast<double>(record.Cx),
                             static_cast<double>(record.Cy), record.maxIterations,
                             static_cast<double>(record.maxSizeSquared));
    };
    std::string line(static_cast<size_t>(std::max(print(nullptr, 0), 0)), '\0');
    print(line.data(), line.size() + 1);
    printLine(line);
}
