#include "platform/shared_library.h"

#include <dlfcn.h>

bool sharedLibraryLoads(const char* name)
{
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return false;
    dlclose(handle);
    return true;
}
