// Shared libraries loaded at run time, and the addresses of their symbols.
#pragma once

// A library that loadSharedLibrary has loaded.
struct SharedLibrary;

// Loads the shared library of this name for the rest of the process, or nullptr when it cannot
// be loaded. It is never unloaded: addresses taken from it stay valid through static
// destruction. Any thread.
SharedLibrary* loadSharedLibrary(const char* name);

// The address of the named symbol of library, or nullptr when the library has none. Any thread.
void* sharedLibrarySymbol(SharedLibrary* library, const char* name);
