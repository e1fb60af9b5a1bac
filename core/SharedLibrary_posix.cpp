#include "core/SharedLibrary.h"

#include <dlfcn.h>

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

}  // namespace quorvel
