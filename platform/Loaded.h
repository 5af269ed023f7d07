// Shared libraries that only some roads need (libcups for a queue, Avahi for
// a DNS-SD name), loaded when one first does, so that the others start
// without them and the twenty-odd libraries they pull in.
#pragma once

#include <string>

namespace platform {

class LoadedLibrary {
public:
    // dlopen of the SONAME; a failure is told once, on standard error and in
    // the system log, naming the library.
    explicit LoadedLibrary(const char* soname);

    // The function `name`, or null (and ok() false) when it is missing.
    template <typename F> void bind(F& function, const char* name)
    {
        function = reinterpret_cast<F>(symbol(name));
    }
    bool ok() const { return ok_; }

private:
    void* symbol(const char* name);

    const char* soname_;
    void* handle_ = nullptr;
    bool ok_ = false;
};

} // namespace platform
