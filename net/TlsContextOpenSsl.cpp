#include "net/TlsContextOpenSsl.h"

#include <cstdlib>
#include <ctime>
#include <map>
#include <tuple>

#include "core/Exception.h"

namespace quorvel::openssl {

namespace {

// At most this many sessions are kept (one per account and server).
constexpr std::size_t SessionLimit = 256;

struct Shared {
    std::mutex Lock;
    std::map<std::string, std::unique_ptr<ClientContext>> Contexts;
    std::map<SessionKey, SslSessionPtr> Sessions;
};

// Kept until the program ends and never destroyed: OpenSSL's own clean-up
// at exit may run before a static object's destructor would.
Shared& State() {
    static Shared* state = new Shared;
    return *state;
}

std::string SystemBundleFile() {
    const char* given = ::secure_getenv(X509_get_default_cert_file_env());
    return given != nullptr ? given : X509_get_default_cert_file();
}

bool Usable(SSL_SESSION* Session) {
    if (SSL_SESSION_is_resumable(Session) != 1) return false;
    const long long age = static_cast<long long>(std::time(nullptr)) - SSL_SESSION_get_time(Session);
    if (age < 0 || age >= SSL_SESSION_get_timeout(Session)) return false;
    // A certificate that has run out since is checked (and refused) anew.
    X509* peer = SSL_SESSION_get0_peer(Session);
    return peer != nullptr && X509_cmp_current_time(X509_get0_notBefore(peer)) < 0 &&
           X509_cmp_current_time(X509_get0_notAfter(peer)) > 0;
}

}  // namespace

ClientContext::ClientContext(const std::string& CaFile, const ClientCallbacks& Callbacks)
    : Context(SSL_CTX_new(TLS_client_method())) {
    if (!Context) throw Exception("TLS: the library could not be started");
    SSL_CTX* context = Context.get();
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // The CA file first: a file that cannot be read costs nothing more.
    if (!CaFile.empty() && SSL_CTX_load_verify_locations(context, CaFile.c_str(), nullptr) != 1) {
        ERR_clear_error();
        throw Exception("TLS: the CA file " + CaFile + " cannot be read");
    }
    // The system's CAs one at a time, by the hash of the name looked for
    // (SSL_CERT_DIR or OpenSSL's folder), instead of parsing every one.
    X509_LOOKUP* folder = X509_STORE_add_lookup(SSL_CTX_get_cert_store(context), X509_LOOKUP_hash_dir());
    if (folder != nullptr) X509_LOOKUP_add_dir(folder, nullptr, X509_FILETYPE_DEFAULT);
    ERR_clear_error();
    SSL_CTX_set_cert_verify_callback(context, Callbacks.VerifyCertificate, nullptr);
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(context, Callbacks.NewSession);
}

bool ClientContext::LoadSystemBundle() {
    std::lock_guard<std::mutex> guard(Lock);
    if (BundleLoaded) return false;
    BundleLoaded = true;
    X509_STORE* store = SSL_CTX_get_cert_store(Context.get());
    BIO* file = BIO_new_file(SystemBundleFile().c_str(), "r");
    if (file != nullptr) {
        while (X509* certificate = PEM_read_bio_X509_AUX(file, nullptr, nullptr, nullptr)) {
            X509_STORE_add_cert(store, certificate);
            X509_free(certificate);
        }
        BIO_free(file);
    }
    ERR_clear_error();
    return true;
}

ClientContext& ClientContextFor(const std::string& CaFile, const ClientCallbacks& Callbacks) {
    Shared& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    auto found = state.Contexts.find(CaFile);
    if (found == state.Contexts.end()) {
        found = state.Contexts.emplace(CaFile, std::make_unique<ClientContext>(CaFile, Callbacks)).first;
    }
    return *found->second;
}

bool SessionKey::operator<(const SessionKey& Other) const {
    return std::tie(Host, Port, CaFile, PinnedSha256) <
           std::tie(Other.Host, Other.Port, Other.CaFile, Other.PinnedSha256);
}

SslSessionPtr TakeSession(const SessionKey& Key) {
    Shared& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    const auto found = state.Sessions.find(Key);
    if (found == state.Sessions.end()) return nullptr;
    SslSessionPtr session = std::move(found->second);
    state.Sessions.erase(found);
    if (!Usable(session.get())) return nullptr;
    return session;
}

void KeepSession(const SessionKey& Key, SSL_SESSION* Session) {
    if (SSL_SESSION_up_ref(Session) != 1) return;
    SslSessionPtr kept(Session);
    Shared& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    if (state.Sessions.size() >= SessionLimit && state.Sessions.count(Key) == 0) state.Sessions.clear();
    state.Sessions[Key] = std::move(kept);
}

void ForgetSession(const SessionKey& Key) {
    Shared& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    state.Sessions.erase(Key);
}

}  // namespace quorvel::openssl
