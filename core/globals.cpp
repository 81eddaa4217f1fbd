#include "core/globals.h"

std::atomic<bool> cpuMode{false};
std::atomic<bool> useDouble{false};
std::atomic<bool> useExtended{false};
std::atomic<int32_t> deviceId{-1};
std::atomic<int32_t> cpuThreadCount{1};
std::atomic<int32_t> maxCpuThreads{1};
std::atomic<bool> useGL2{true};
std::atomic<bool> useInterop{true};
std::atomic<bool> tenBitColour{true};
std::atomic<bool> syncMode{false};
std::atomic<bool> timingLogs{true};
std::atomic<bool> autoSwitchPalette{true};
std::atomic<int32_t> paletteType{0};
std::atomic<bool> zoomMode{false};

int32_t imageWidth = 2048;
int32_t imageHeight = 2048;
std::atomic<int32_t> cpuPrecision{1};
std::atomic<int32_t> fractalType{-1};
int32_t maxIterations = 768;
long double maxSizeSquared = 4.0L;
long double viewMaxX = 0, viewMinX = 0, viewMaxY = 0, viewMinY = 0;
long double juliaCx = 0, juliaCy = 0;
int32_t maxWorkGroupSize = 16;
std::atomic<int32_t> clUseDouble{0};
std::atomic<bool> interopActive{false};

std::atomic<bool> benchmarkActive{false};
bool zoomRequested = false;
bool zoomAnimating = false;
int32_t zoomSteps = 1;
ZoomBounds<long double> zoomTarget;
ZoomBounds<double> zoomDelta;
int32_t cycleDirection = 0;
int32_t cyclePreviousIndex = 0;
bool redrawRequested = false;
int32_t savedDeviceId = -1;
bool savedUseInterop = true;
bool savedInteropActive = false;

std::atomic<bool> quitFlag{false};
std::atomic<bool> stopFlag{false};
std::atomic<bool> clReady{false};
std::atomic<bool> clRebuildRequested{false};

float uiWidth = 100.0f, uiHeight = 100.0f;
float uiScaleX = 1.0f, uiScaleY = 1.0f;
float fontScaleX = 1.0f, fontScaleY = 1.0f;
float lineHeight = 15.0f;
bool caretVisible = true;
int32_t windowStartWidth = 0, windowStartHeight = 0;

CPUThreads* cpuThreadsPool = nullptr;
uint16_t* iterationBuffer = nullptr;
uint16_t* displayBuffer = nullptr;

std::recursive_mutex fractalListMutex;
std::recursive_mutex pendingFramesMutex;
std::recursive_mutex renderTimeMutex;

int32_t pendingFrames = 1;
uint64_t totalRenderTime = 0;

// Dynamically initialised objects, in the order in which they are built.
const std::vector<std::string> kernelBuildWords{"ushort", "buffer_type", "max_palette_value"};

const std::vector<std::string> clErrorTexts{
    "Could not set kernel arg",
    "Could not update palette data",
    "Could not enqueue task",
    "Could not read back buffer",
    "Could not acquire GL objects",
};

const std::vector<std::string> menuLabels{
    "File", "Palette", "Zoom", "Devices",
    "Fractals", "Toggle Timing Logs", "Previous Fractal", "Next Fractal", "Cycle",
    "Information", "Benchmark", "Benchmark From File", "Load from disk", "Save to disk", "Quit",
    "Mandelbrot", "Julia", "Sin", "Cos", "Sinh", "Cosh", "Barnsley", "Dragon",
    "Chebyshev T5", "Hermite H4", "Legendre P3",
    "Default", "Dendrite", "Douady's Rabbit", "San Marco", "Siegel Disk",
    "1st Fractal", "2nd Fractal", "3rd Fractal", "Sierpinski",
    "VGA Assignmnt", "Red heatmap", "Random Colours", "Auto-switch",
    "CPU", "Double precision", "Extended precision (CPU only)", "CPU Threads",
    "System information", "Use OpenGL fragment shaders", "Use OpenGL/OpenCL interop",
    "Synchronous Mode (faster/menus less responsive)",
};

int32_t interopTextureCount = 2;
int32_t interopTextureIndex = 0;
int32_t interopFrameCount = 1;
std::recursive_mutex interopMutex;

namespace {
constexpr int versionMajor = 2;
constexpr int versionMinor = 0;
} // namespace

const std::string versionString = std::to_string(versionMajor) + "." + std::to_string(versionMinor);
std::string baseTitle;
FractalRecord lastQueuedFractal{};
std::deque<FractalRecord> renderQueue;
std::condition_variable computeRequest;
CountingSemaphore clSetupSemaphore{0};
std::mutex computeRequestMutex;
std::mutex renderQueueMutex;
std::mutex bufferMutex;
std::string currentFilePath;
std::string lastDialogPath = "Fractal1";
std::vector<FractalRecord> fractalList;
int32_t currentFractalIndex = -1;

const std::vector<std::string> formFieldLabels{
    "Name", "Maximum iterations", "Maximum size squared", "Minimum X", "Minimum Y",
    "Maximum X", "Maximum Y", "Cx", "Cy",
};
