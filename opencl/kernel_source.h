// The OpenCL C source of the kernel do_work in its two variants: one writes the escape counts
// into a 16-bit buffer, the other into an unsigned-integer OpenGL image. TYPE, buffer_type and
// max_palette_value come from the build options.
#pragma once

#include <string>

extern const std::string kernelSourceBuffer;
extern const std::string kernelSourceInterop;

// The build options of the program variant: "-D TYPE=double  -D _USE_DOUBLE_WIN32 ..." for the
// double-precision program, "-D TYPE=float  -D buffer_type=ushort ..." for the single one.
std::string kernelBuildOptions(bool doublePrecision);
