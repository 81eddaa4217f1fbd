// The standard descriptors 0, 1 and 2.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that no file the
// program opens later takes one of them and receives its console output. Call first in main,
// before anything opens a file. Main thread.
void openClosedStandardStreams();
