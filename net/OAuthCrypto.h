#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// Count bytes from the system's cryptographic random source; raises
// quorvel::Exception when there is none.
std::string RandomBytes(std::size_t Count);
// The 32 bytes of SHA-256 of Bytes.
std::string Sha256(std::string_view Bytes);

}  // namespace quorvel
