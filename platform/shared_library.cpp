#include "platform/shared_library.h"

#include <dlfcn.h>

SharedLibrary* loadSharedLibrary(const char* name)
{
    return static_cast<SharedLibrary*>(dlopen(name, RTLD_NOW | RTLD_LOCAL));
}

void* sharedLibrarySymbol(SharedLibrary* library, const char* name)
{
    return dlsym(library, name);
}
