#include "net/OpenSslLibrary.h"

#include "core/SharedLibrary.h"

#define QUORVEL_OPENSSL_TEXT(Number) #Number
#define QUORVEL_OPENSSL_SONAME(Number) "libssl.so." QUORVEL_OPENSSL_TEXT(Number)

namespace quorvel::openssl {

void* LibraryFunction(const char* Name) {
    // The library of the headers the program was built with; loaded once and
    // kept until the program ends, as OpenSSL's clean-up runs at exit.
    static const SharedLibrary* const library = new SharedLibrary(QUORVEL_OPENSSL_SONAME(OPENSSL_SHLIB_VERSION));
    return library->Required(Name, "TLS");
}

}  // namespace quorvel::openssl
