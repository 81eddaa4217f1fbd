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

std::atomic<bool> benchmarkActive{false};
bool zoomRequested = false;
bool zoomAnimating = false;
int32_t zoomSteps = 1;
int32_t cycleDirection = 0;
bool redrawRequested = false;
int32_t savedDeviceId = -1;
bool savedUseInterop = true;
bool savedInteropActive = false;

void endZoomAnimation()
{
    zoomAnimating = false;
    zoomSteps = 0;
}

std::atomic<bool> quitFlag{false};
std::atomic<bool> stopFlag{false};

CPUThreads* cpuThreadsPool = nullptr;
uint16_t* iterationBuffer = nullptr;
uint16_t* displayBuffer = nullptr;

std::recursive_mutex fractalListMutex;
std::recursive_mutex pendingFramesMutex;
std::recursive_mutex renderTimeMutex;

int32_t pendingFrames = 1;
uint32_t pendingFramesDropped = 0;
uint64_t totalRenderTime = 0;

// Dynamically initialised objects, in the order in which they are built.
namespace {
constexpr int versionMajor = 2;
constexpr int versionMinor = 0;
} // namespace

const std::string versionString = std::to_string(versionMajor) + "." + std::to_string(versionMinor);
std::string baseTitle;
FractalRecord lastQueuedFractal{};
std::deque<FractalRecord> renderQueue;
std::condition_variable& computeRequest = *new std::condition_variable;
std::mutex computeRequestMutex;
std::mutex renderQueueMutex;
std::mutex bufferMutex;
std::string currentFilePath;
std::string lastDialogPath = "Fractal1";
std::vector<FractalRecord> fractalList;
int32_t currentFractalIndex = -1;
