#include "opencl/cl_api.h"

#include "opencl/opencl_backend.h"
#include "platform/shared_library.h"

ClApi clApi;

bool openCLRuntimeLoads()
{
    // NOTE: the library stays loaded for the rest of the process, so the table never points
    // into an unloaded library, not even while static objects release their OpenCL objects.
    static const bool loaded = [] {
        SharedLibrary* library = loadSharedLibrary(openCLLibraryName);
        return library != nullptr && fillClApi(clApi, [library](const char* name) {
                   return sharedLibrarySymbol(library, name);
               });
    }();
    return loaded;
}
