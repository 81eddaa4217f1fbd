// Losing the X display while the program runs.
#pragma once

// The exit code when the connection to the X server breaks (the one Xlib's own handler uses).
constexpr int displayLostExitCode = 1;

// From now on a broken connection to the X server writes one line to standard error and ends
// the process at once with displayLostExitCode, without static destructors (Xlib's own handler
// calls exit(), whose destructors may wait for threads that never end). Call before the first
// connection is opened. Main thread.
void endProcessWhenDisplayIsLost();
