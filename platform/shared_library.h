// Probing for a shared library by name.
#pragma once

// True when the shared library of this name can be loaded; it is unloaded again at once.
// Any thread.
bool sharedLibraryLoads(const char* name);
