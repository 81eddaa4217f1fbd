// The start of a benchmark from the File menu, and the end of every benchmark. Main thread only.
#pragma once

// Drops the queued frames, goes back to the first record, switches to synchronous mode, forces
// OpenCL/OpenGL sharing where the device allows it and starts the list cycle that the driver
// runs to the end of the list. Refused with a console line while a benchmark runs or when the
// list is empty.
void startBenchmark();

// Reports the benchmark's total rendering time, then ends it as stopBenchmark does, but for the
// driver: the list step that finds the end shows the last record once more, then rests.
void benchmarkEnd();

// Ends a benchmark cut short, without a report: stops the list cycle and the driver, drops the
// time summed so far, leaves synchronous mode and restores the settings that the start changed.
void stopBenchmark();

// True when the device or the sharing mode differs from what the benchmark started with, so the
// kernels must be built again.
bool kernelSettingsChangedByBenchmark();
