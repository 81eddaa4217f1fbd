// The start of a benchmark from the File menu. Main thread only.
#pragma once

// Drops the queued frames, goes back to the first record, switches to synchronous mode, forces
// OpenCL/OpenGL sharing where the device allows it and starts the list cycle that the driver
// runs to the end of the list. Refused with a console line while a benchmark runs or when the
// list is empty.
void startBenchmark();
