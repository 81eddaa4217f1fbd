// The program from start-up to shutdown, and the start-up steps that decide something.
// Main thread only.
#pragma once

#include <optional>

struct GLFWwindow;

// The whole program: start-up, the main loop and shutdown. Returns 0 after a normal shutdown;
// the fatal start-up failures end the process with their exit codes instead.
int runTessaly(int argc, char** argv);

// Rounds imageWidth and imageHeight up to a multiple of 8.
void roundImageSize();

// True when the tile grid can cut the image; otherwise prints why the program cannot run.
bool checkImageSize();

// Decides between the CPU pool and an OpenCL device, and the precision, from the device list
// and the command line. Returns the exit code when the choice cannot be run.
std::optional<int> settleDeviceAndPrecision(bool precisionForced);

// The hidden window's context is what the OpenCL set-up thread builds with: without it the
// program says so and computes on the CPU pool.
void adoptHiddenWindow(GLFWwindow* hidden);

// Takes the shader entry points when the shader extensions are present; a missing extension or
// an entry point the driver does not give leaves the display on the palette emulation.
void adoptShaderSupport(bool extensionsPresent);

// The console line that says where and in which precision the fractals are computed.
void printConfiguration();

// The two on-screen logs, placed for the window's start size: status lines for 1 s and the
// benchmark's result for 30 s.
void createMessageLogs();

// Says whether the palette shaders draw; without them the on-screen log says so too.
void reportShaderMode();
