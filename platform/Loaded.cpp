#include "Loaded.h"

#include "Log.h"

#include <cstdio>
#include <dlfcn.h>

namespace platform {

namespace {

void tell(const char* soname, const char* why)
{
    std::fprintf(stderr, "levelwatch: %s cannot be loaded: %s\n", soname, why ? why : "");
    logLine("%s cannot be loaded: %s", soname, why ? why : "");
}

} // namespace

LoadedLibrary::LoadedLibrary(const char* soname) : soname_(soname)
{
    // Lazy binding, as for a library linked at start: only a few of its
    // functions are ever called (each one looked up below).
    handle_ = ::dlopen(soname, RTLD_LAZY | RTLD_LOCAL);
    ok_ = handle_ != nullptr;
    if (!ok_)
        tell(soname, ::dlerror());
}

void* LoadedLibrary::symbol(const char* name)
{
    void* found = handle_ ? ::dlsym(handle_, name) : nullptr;
    if (found == nullptr && handle_ != nullptr) {
        if (ok_)
            tell(soname_, ::dlerror());
        ok_ = false;
    }
    return found;
}

} // namespace platform
