#include "opencl/cl_api.h"

#include "opencl/opencl_backend.h"
#include "platform/shared_library.h"

ClApi clApi;

namespace {

// Fills table from the library's symbols; false, with the table left as it was, when any entry
// point is missing.
bool fillClApi(ClApi& table, SharedLibrary* library)
{
    ClApi filled;
#define TESSALY_CL_RESOLVE(name)                                                                 \
    filled.name = reinterpret_cast<decltype(&::name)>(sharedLibrarySymbol(library, #name));      \
    if (filled.name == nullptr)                                                                  \
        return false;
    TESSALY_CL_ENTRY_POINTS(TESSALY_CL_RESOLVE)
#undef TESSALY_CL_RESOLVE
    table = filled;
    return true;
}

} // namespace

bool openCLRuntimeLoads()
{
    // NOTE: the library stays loaded for the rest of the process, so the table never points
    // into an unloaded library, not even while static objects release their OpenCL objects.
    static const bool loaded = [] {
        SharedLibrary* library = loadSharedLibrary(openCLLibraryName);
        return library != nullptr && fillClApi(clApi, library);
    }();
    return loaded;
}
