#include "core/SharedLibrary.h"

#include <dlfcn.h>

#include "core/Exception.h"

namespace quorvel {

SharedLibrary::SharedLibrary(const char* Soname) {
    // Its symbols stay its own: nothing else in the program binds to them.
    FHandle = ::dlopen(Soname, RTLD_NOW | RTLD_LOCAL);
    if (!FHandle) FError = ::dlerror();
}

SharedLibrary::~SharedLibrary() {
    if (FHandle) ::dlclose(FHandle);
}

void* SharedLibrary::Symbol(const char* Name) const {
    return FHandle ? ::dlsym(FHandle, Name) : nullptr;
}

void* SharedLibrary::Required(const char* Name, const char* Context) const {
    if (!FHandle) throw Exception(std::string(Context) + ": the library could not be loaded: " + FError);
    void* function = Symbol(Name);
    if (!function) throw Exception(std::string(Context) + ": the library lacks " + Name);
    return function;
}

}  // namespace quorvel
