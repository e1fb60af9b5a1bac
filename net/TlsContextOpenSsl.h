#pragma once

// What the OpenSSL sessions of one program share: one client context per CA
// file, made at the first session that needs it and kept until the program
// ends, and the sessions kept for resuming. The system's trust store is
// looked up certificate by certificate in its hashed folder; the whole
// bundle file is read only when a check fails without it, once.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "net/OpenSslLibrary.h"

namespace quorvel::openssl {

struct SslFree {
    void operator()(SSL* Ssl) const { SSL_free(Ssl); }
};
struct SslContextFree {
    void operator()(SSL_CTX* Context) const { SSL_CTX_free(Context); }
};
struct SslSessionFree {
    void operator()(SSL_SESSION* Session) const { SSL_SESSION_free(Session); }
};
struct StoreContextFree {
    void operator()(X509_STORE_CTX* Store) const { X509_STORE_CTX_free(Store); }
};
using SslPtr = std::unique_ptr<SSL, SslFree>;
using SslContextPtr = std::unique_ptr<SSL_CTX, SslContextFree>;
using SslSessionPtr = std::unique_ptr<SSL_SESSION, SslSessionFree>;
using StoreContextPtr = std::unique_ptr<X509_STORE_CTX, StoreContextFree>;

// The callbacks every client context calls; the session installs them.
struct ClientCallbacks {
    int (*VerifyCertificate)(X509_STORE_CTX* Store, void* Unused);
    int (*NewSession)(SSL* Ssl, SSL_SESSION* Session);
};

class ClientContext {
public:
    ClientContext(const std::string& CaFile, const ClientCallbacks& Callbacks);
    SSL_CTX* Get() const { return Context.get(); }
    // Reads the system's bundle file into the trust store unless that has
    // been done; true when this call did it (a failed check is then worth
    // repeating).
    bool LoadSystemBundle();

private:
    SslContextPtr Context;
    std::mutex Lock;
    bool BundleLoaded = false;
};

// The context for CaFile (empty: the system's store only), the same one for
// the whole program. Raises quorvel::Exception when the CA file cannot be
// read (nothing is kept then, so a repaired file is read at the next check).
ClientContext& ClientContextFor(const std::string& CaFile, const ClientCallbacks& Callbacks);

// A session is resumed only with everything its certificate was checked
// against: the host name as typed, the port, the CA file and the pin.
struct SessionKey {
    std::string Host;
    std::int32_t Port = 0;
    std::string CaFile;
    std::string PinnedSha256;
    bool operator<(const SessionKey& Other) const;
};

// The session kept for Key, taken out of the cache (a session is offered
// once); null when none is kept or it can no longer be used: past its
// lifetime, or its certificate out of its dates.
SslSessionPtr TakeSession(const SessionKey& Key);
// Keeps Session for Key in place of an older one; takes a reference.
void KeepSession(const SessionKey& Key, SSL_SESSION* Session);
void ForgetSession(const SessionKey& Key);

}  // namespace quorvel::openssl
