// OpenGL entry points by name.
#pragma once

using GLProc = void (*)();

// The address of an OpenGL function for the calling thread's current context; null when no
// context is current or the driver does not know the name.
GLProc glProcAddress(const char* name);
