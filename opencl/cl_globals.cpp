#include "opencl/cl_globals.h"

int32_t maxWorkGroupSize = 16;
std::atomic<int32_t> clUseDouble{0};
std::atomic<bool> interopActive{false};
std::atomic<bool> clReady{false};
std::atomic<bool> clRebuildRequested{false};

std::recursive_mutex interopMutex;
int32_t interopTextureCount = 2;
int32_t interopTextureIndex = 0;
int32_t interopFrameCount = 1;

CountingSemaphore clSetupSemaphore{0};
GLFWwindow* clWindow = nullptr;

const std::vector<std::string> kernelBuildWords{"ushort", "buffer_type", "max_palette_value"};

const std::vector<std::string> clErrorTexts{
    "Could not set kernel arg",
    "Could not update palette data",
    "Could not enqueue task",
    "Could not read back buffer",
    "Could not acquire GL objects",
};
