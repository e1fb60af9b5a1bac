#pragma once

#include <string>

namespace quorvel {

// A system library loaded when the program first needs it instead of at its
// start, so a part that a session may never use (encryption, the sound, the
// mail program's look-up) costs no memory until then.
class SharedLibrary {
public:
    // Loads the library of that name ("libssl.so.3"), as the program's own
    // dependencies are found; Loaded tells whether that worked.
    explicit SharedLibrary(const char* Soname);
    // Unloads it (a library that marks itself as never unloaded stays).
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool Loaded() const { return FHandle != nullptr; }
    // Why loading failed, in the system's words.
    const std::string& Error() const { return FError; }

    // The function Name of the library, or null when it has none (or is
    // not loaded). Function is the pointer type of its declaration.
    template <typename Function>
    Function Find(const char* Name) const {
        return reinterpret_cast<Function>(Symbol(Name));
    }

    // The address of the function Name; raises quorvel::Exception,
    // "<Context>: ...", when the library or the function is missing.
    void* Required(const char* Name, const char* Context) const;

private:
    void* Symbol(const char* Name) const;

    void* FHandle = nullptr;
    std::string FError;
};

}  // namespace quorvel

// Calls through to the function Name of a library loaded on first use, in
// place of a call to it: Lookup(const char*) gives its address (or raises),
// once per place of call. Name is declared by the library's own header.
#define QUORVEL_LIBRARY_CALL(Lookup, Name)                                               \
    ([] {                                                                                \
        static const auto function = reinterpret_cast<decltype(&::Name)>(Lookup(#Name)); \
        return function;                                                                 \
    }())
