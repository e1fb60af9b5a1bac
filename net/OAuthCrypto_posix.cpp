#include "core/Exception.h"
#include "net/OAuthCrypto.h"
#include "net/OpenSslLibrary.h"

namespace quorvel {

std::string RandomBytes(std::size_t Count) {
    std::string bytes(Count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(Count)) != 1) {
        throw Exception("no random numbers from the system");
    }
    return bytes;
}

std::string Sha256(std::string_view Bytes) {
    std::string digest(32, '\0');
    unsigned int length = 0;
    if (EVP_Digest(Bytes.data(), Bytes.size(), reinterpret_cast<unsigned char*>(digest.data()), &length, EVP_sha256(),
                   nullptr) != 1) {
        throw Exception("SHA-256 failed");
    }
    return digest;
}

}  // namespace quorvel
