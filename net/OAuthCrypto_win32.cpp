#include <windows.h>

#include <bcrypt.h>

#include "core/Exception.h"
#include "net/OAuthCrypto.h"

namespace quorvel {

std::string RandomBytes(std::size_t Count) {
    std::string bytes(Count, '\0');
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(Count),
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
        throw Exception("no random numbers from the system");
    }
    return bytes;
}

std::string Sha256(std::string_view Bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        throw Exception("SHA-256 failed");
    }
    std::string digest(32, '\0');
    BCRYPT_HASH_HANDLE hash = nullptr;
    const bool ok = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0 &&
                    BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(Bytes.data())),
                                   static_cast<ULONG>(Bytes.size()), 0) == 0 &&
                    BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()), 32, 0) == 0;
    if (hash != nullptr) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok) throw Exception("SHA-256 failed");
    return digest;
}

}  // namespace quorvel
