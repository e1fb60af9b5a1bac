#include "net/CurlLibrary.h"

namespace quorvel::curl {

void* LibraryFunction(const char* Name) {
    // Kept until the program ends, as libcurl's global state is.
    static const SharedLibrary* const library = new SharedLibrary("libcurl.so.4");
    return library->Required(Name, "HTTP");
}

}  // namespace quorvel::curl
