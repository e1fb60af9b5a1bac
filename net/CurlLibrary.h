#pragma once

// libcurl is loaded at the first HTTP request (the sign-in's token calls),
// not when the program starts: a tray without OAuth accounts never maps it
// and the many libraries it brings. Every libcurl function the program calls
// is a macro that calls it through a pointer looked up once per place of
// call; include this header after <curl/curl.h>. A function called without a
// line below fails to link, as the program does not link libcurl itself.
#include <curl/curl.h>

#include "core/SharedLibrary.h"

namespace quorvel::curl {

// The address of the libcurl function Name; raises quorvel::Exception when
// the library or the function is missing.
void* LibraryFunction(const char* Name);

}  // namespace quorvel::curl

#define QUORVEL_CURL(Name) QUORVEL_LIBRARY_CALL(::quorvel::curl::LibraryFunction, Name)

// The header's type-checking wrappers of the two variadic calls go.
#undef curl_easy_setopt
#undef curl_easy_getinfo

// clang-format off
#define curl_easy_cleanup(...) QUORVEL_CURL(curl_easy_cleanup)(__VA_ARGS__)
#define curl_easy_getinfo(...) QUORVEL_CURL(curl_easy_getinfo)(__VA_ARGS__)
#define curl_easy_init(...) QUORVEL_CURL(curl_easy_init)(__VA_ARGS__)
#define curl_easy_perform(...) QUORVEL_CURL(curl_easy_perform)(__VA_ARGS__)
#define curl_easy_setopt(...) QUORVEL_CURL(curl_easy_setopt)(__VA_ARGS__)
#define curl_easy_strerror(...) QUORVEL_CURL(curl_easy_strerror)(__VA_ARGS__)
#define curl_global_init(...) QUORVEL_CURL(curl_global_init)(__VA_ARGS__)
#define curl_slist_append(...) QUORVEL_CURL(curl_slist_append)(__VA_ARGS__)
#define curl_slist_free_all(...) QUORVEL_CURL(curl_slist_free_all)(__VA_ARGS__)
// clang-format on
