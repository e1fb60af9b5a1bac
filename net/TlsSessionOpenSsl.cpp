// The TLS session on OpenSSL 3: TLS 1.2 at least, the system's trust store
// (plus an optional CA file), SNI for host names, host name or address
// verification, and an optional pinned certificate for a private server.
#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include "core/Exception.h"
#include "net/TlsContextOpenSsl.h"
#include "net/TlsSession.h"

namespace quorvel {

namespace {

// ---- a socket BIO that can never raise SIGPIPE ----

// What the BIO reads from and remembers: the socket, and the first bytes
// the server sent, to tell a plaintext answer from a failed handshake.
struct SocketBioState {
    int Fd = -1;
    char Head[2] = {};
    std::size_t HeadSize = 0;
};

SocketBioState& StateOf(BIO* Bio) {
    return *static_cast<SocketBioState*>(BIO_get_data(Bio));
}

bool WouldBlock(int Error) {
    return Error == EAGAIN || Error == EWOULDBLOCK || Error == EINTR;
}

int BioWrite(BIO* Bio, const char* Data, int Size) {
    BIO_clear_retry_flags(Bio);
    const ssize_t n = ::send(StateOf(Bio).Fd, Data, static_cast<std::size_t>(Size), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && WouldBlock(errno)) BIO_set_retry_write(Bio);
    return static_cast<int>(n);
}

int BioRead(BIO* Bio, char* Data, int Size) {
    BIO_clear_retry_flags(Bio);
    SocketBioState& state = StateOf(Bio);
    const ssize_t n = ::recv(state.Fd, Data, static_cast<std::size_t>(Size), MSG_DONTWAIT);
    if (n < 0 && WouldBlock(errno)) BIO_set_retry_read(Bio);
    for (ssize_t i = 0; i < n && state.HeadSize < sizeof(state.Head); ++i) state.Head[state.HeadSize++] = Data[i];
    return static_cast<int>(n);
}

long BioControl(BIO*, int Command, long, void*) {
    return Command == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* Bio) {
    BIO_set_init(Bio, 1);
    return 1;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quorvel socket");
        if (m != nullptr) {
            BIO_meth_set_write(m, BioWrite);
            BIO_meth_set_read(m, BioRead);
            BIO_meth_set_ctrl(m, BioControl);
            BIO_meth_set_create(m, BioCreate);
        }
        return m;
    }();
    return method;
}

// ---- certificates ----

std::string NameText(const X509_NAME* Name) {
    if (Name == nullptr) return {};
    BIO* out = BIO_new(BIO_s_mem());
    if (out == nullptr) return {};
    X509_NAME_print_ex(out, Name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long length = BIO_get_mem_data(out, &data);
    std::string text(data != nullptr ? data : "", data != nullptr ? static_cast<std::size_t>(length) : 0);
    BIO_free(out);
    return text;
}

std::string TimeText(const ASN1_TIME* Time) {
    std::tm parts{};
    if (Time == nullptr || ASN1_TIME_to_tm(Time, &parts) != 1) return {};
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

std::string Sha256Hex(X509* Certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(Certificate, EVP_sha256(), digest, &length) != 1) return {};
    static const char* const hex = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

TTlsCertificate Describe(X509* Certificate) {
    return {NameText(X509_get_subject_name(Certificate)), NameText(X509_get_issuer_name(Certificate)),
            TimeText(X509_get0_notBefore(Certificate)), TimeText(X509_get0_notAfter(Certificate)),
            Sha256Hex(Certificate)};
}

TlsFailure FailureOfVerifyCode(long Code) {
    switch (Code) {
        case X509_V_ERR_CERT_HAS_EXPIRED: return TlsFailure::Expired;
        case X509_V_ERR_CERT_NOT_YET_VALID: return TlsFailure::NotYetValid;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH: return TlsFailure::NameMismatch;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT: return TlsFailure::SelfSigned;
        // The server sent its chain up to a root nobody here trusts (a
        // private CA): its own certificate is not self-signed.
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE: return TlsFailure::UnknownIssuer;
        default: return TlsFailure::Untrusted;
    }
}

bool IsAddressLiteral(const std::string& Host) {
    unsigned char scratch[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, Host.c_str(), scratch) == 1 || ::inet_pton(AF_INET6, Host.c_str(), scratch) == 1;
}

using namespace openssl;

class TOpenSslSession final : public ITlsSession {
public:
    TOpenSslSession(int Fd, const TTlsClientOptions& Options);
    TOpenSslSession(const TOpenSslSession&) = delete;
    TOpenSslSession& operator=(const TOpenSslSession&) = delete;

    IoStep Handshake() override;
    IoStep Read(char* Data, std::size_t Size, std::size_t& Got) override;
    IoStep Write(const char* Data, std::size_t Size, std::size_t& Sent) override;
    void Close() override;
    bool HasBufferedInput() const override { return SSL_pending(Ssl.get()) > 0; }
    TlsFailure Failure() const override { return FFailure; }
    std::string FailureDetail() const override { return FDetail; }
    std::optional<TTlsCertificate> PeerCertificate() const override { return FPeer; }
    bool Resumed() const override { return Established && SSL_session_reused(Ssl.get()) == 1; }

private:
    static const ClientCallbacks& Callbacks();
    static int VerifyCertificate(X509_STORE_CTX* Store, void* Unused);
    static int NewSession(SSL* Connection, SSL_SESSION* Session);
    static TOpenSslSession* Of(SSL* Connection) { return static_cast<TOpenSslSession*>(SSL_get_app_data(Connection)); }
    int Verify(X509_STORE_CTX* Store);
    // The check once more, now with the system's whole bundle: true when it
    // passes; VerifyCode is its verdict either way.
    bool VerifyAgain(X509_STORE_CTX* Store);
    // Whether sessions of this one may be kept and offered: never when any
    // certificate is accepted.
    bool Resumable() const { return !Options.AcceptAnyCertificate; }
    // The checks a finished handshake still needs; false when it fails.
    bool Finish();
    // Turns the result of an SSL call into a step; Result > 0 is success.
    IoStep StepOf(int Result, bool InHandshake);
    void Fail(TlsFailure Failure);

    TTlsClientOptions Options;
    SessionKey Key;
    ClientContext& Context;
    SocketBioState BioState;  // outlives Ssl, whose BIO points at it
    SslPtr Ssl;
    bool Broken = false;
    bool Established = false;
    bool ClosedOnce = false;
    long VerifyCode = X509_V_OK;
    bool PinMismatch = false;
    TlsFailure FFailure = TlsFailure::None;
    std::string FDetail;
    std::optional<TTlsCertificate> FPeer;
};

TOpenSslSession::TOpenSslSession(int Fd, const TTlsClientOptions& Given)
    : Options(Given),
      Key{Given.Host, Given.Port, Given.CaFile, Given.PinnedSha256},
      Context(ClientContextFor(Given.CaFile, Callbacks())),
      Ssl(SSL_new(Context.Get())) {
    BioState.Fd = Fd;
    BIO* bio = Ssl && SocketMethod() != nullptr ? BIO_new(SocketMethod()) : nullptr;
    if (bio == nullptr) throw Exception("TLS: the library could not be started");
    BIO_set_data(bio, &BioState);
    SSL_set_bio(Ssl.get(), bio, bio);  // the SSL owns the BIO from here
    SSL_set_app_data(Ssl.get(), this);
    if (!IsAddressLiteral(Options.Host)) SSL_set_tlsext_host_name(Ssl.get(), Options.Host.c_str());
    SSL_set_hostflags(Ssl.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (SSL_set1_host(Ssl.get(), Options.Host.c_str()) != 1) {
        ERR_clear_error();
        throw Exception("TLS: the host name cannot be checked");
    }
    if (Resumable()) {
        const SslSessionPtr earlier = TakeSession(Key);
        if (earlier) SSL_set_session(Ssl.get(), earlier.get());
    }
    SSL_set_connect_state(Ssl.get());
}

const ClientCallbacks& TOpenSslSession::Callbacks() {
    static const ClientCallbacks callbacks{&TOpenSslSession::VerifyCertificate, &TOpenSslSession::NewSession};
    return callbacks;
}

int TOpenSslSession::VerifyCertificate(X509_STORE_CTX* Store, void*) {
    SSL* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(Store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    TOpenSslSession* self = ssl != nullptr ? Of(ssl) : nullptr;
    return self != nullptr ? self->Verify(Store) : 0;
}

// A session of a handshake whose certificate passed (a TLS 1.2 session at
// its end, TLS 1.3 tickets later in the session).
int TOpenSslSession::NewSession(SSL* Connection, SSL_SESSION* Session) {
    TOpenSslSession* self = Of(Connection);
    if (self == nullptr || !self->Resumable() || self->Broken || SSL_get_verify_result(Connection) != X509_V_OK) {
        return 0;
    }
    KeepSession(self->Key, Session);
    return 0;  // the cache took its own reference
}

// The normal check first; the pinned certificate only when it fails.
int TOpenSslSession::Verify(X509_STORE_CTX* Store) {
    X509* leaf = X509_STORE_CTX_get0_cert(Store);
    if (leaf != nullptr) FPeer = Describe(leaf);
    if (X509_verify_cert(Store) == 1) return 1;
    VerifyCode = X509_STORE_CTX_get_error(Store);
    // The system's CAs were looked up in its folder; the first failure
    // reads its whole bundle once, in case the folder lacks one.
    if (Context.LoadSystemBundle() && VerifyAgain(Store)) return 1;
    const bool pinned = !Options.PinnedSha256.empty() && FPeer && FPeer->Sha256 == Options.PinnedSha256;
    if (pinned || Options.AcceptAnyCertificate) {
        X509_STORE_CTX_set_error(Store, X509_V_OK);
        return 1;
    }
    PinMismatch = !Options.PinnedSha256.empty();
    return 0;
}

// The same check (host name, purpose, depth: the parameters OpenSSL set for
// this session) on a fresh store context, since one cannot be used twice.
bool TOpenSslSession::VerifyAgain(X509_STORE_CTX* Store) {
    StoreContextPtr again(X509_STORE_CTX_new());
    if (!again || X509_STORE_CTX_init(again.get(), X509_STORE_CTX_get0_store(Store), X509_STORE_CTX_get0_cert(Store),
                                      X509_STORE_CTX_get0_untrusted(Store)) != 1) {
        ERR_clear_error();
        return false;
    }
    X509_STORE_CTX_set_default(again.get(), "ssl_server");
    X509_VERIFY_PARAM_set1(X509_STORE_CTX_get0_param(again.get()), X509_STORE_CTX_get0_param(Store));
    X509_STORE_CTX_set_ex_data(again.get(), SSL_get_ex_data_X509_STORE_CTX_idx(), Ssl.get());
    const bool valid = X509_verify_cert(again.get()) == 1;
    VerifyCode = valid ? X509_V_OK : X509_STORE_CTX_get_error(again.get());
    X509_STORE_CTX_set_error(Store, static_cast<int>(VerifyCode));
    return valid;
}

// A resumed session skipped the certificate check: its verdict is the one
// of the handshake that made it, made for this same key.
bool TOpenSslSession::Finish() {
    Established = true;
    if (!FPeer) {
        if (X509* peer = SSL_get0_peer_certificate(Ssl.get())) FPeer = Describe(peer);
    }
    if (SSL_session_reused(Ssl.get()) != 1) return true;
    if (SSL_get_verify_result(Ssl.get()) != X509_V_OK) {
        Fail(TlsFailure::Untrusted);
        return false;
    }
    // A TLS 1.2 session serves again (TLS 1.3 sends fresh tickets instead,
    // each used once).
    if (SSL_version(Ssl.get()) < TLS1_3_VERSION) KeepSession(Key, SSL_get0_session(Ssl.get()));
    return true;
}

void TOpenSslSession::Fail(TlsFailure Failure) {
    Broken = true;
    FFailure = Failure;
    ForgetSession(Key);
    const unsigned long error = ERR_peek_last_error();
    if (error != 0) {
        char text[256];
        ERR_error_string_n(error, text, sizeof(text));
        FDetail = text;
    }
}

IoStep TOpenSslSession::StepOf(int Result, bool InHandshake) {
    if (Result > 0) return IoStep::Done;
    const int error = SSL_get_error(Ssl.get(), Result);
    switch (error) {
        case SSL_ERROR_WANT_READ: return IoStep::WantRead;
        case SSL_ERROR_WANT_WRITE: return IoStep::WantWrite;
        case SSL_ERROR_ZERO_RETURN:
            if (!InHandshake) return IoStep::Closed;
            break;
        default: break;
    }
    const unsigned long last = ERR_peek_last_error();
    const int reason = ERR_GET_REASON(last);
    if (!InHandshake) {
        // A server that drops the connection without a close notice ends
        // the session as a plain close would.
        if (error == SSL_ERROR_SYSCALL || reason == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
            Broken = true;
            return IoStep::Closed;
        }
        Fail(TlsFailure::ConnectionFailed);
        return IoStep::Failed;
    }
    if (!StartsAsTlsRecord(BioState.Head, BioState.HeadSize)) {
        Fail(TlsFailure::PlaintextAnswer);
    } else if (PinMismatch) {
        Fail(TlsFailure::CertificateChanged);
    } else if (VerifyCode != X509_V_OK) {
        Fail(FailureOfVerifyCode(VerifyCode));
    } else if (reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION || reason == SSL_R_UNSUPPORTED_PROTOCOL ||
               reason == SSL_R_NO_PROTOCOLS_AVAILABLE || reason == SSL_R_VERSION_TOO_LOW) {
        Fail(TlsFailure::ProtocolTooOld);
    } else {
        Fail(TlsFailure::HandshakeFailed);
    }
    return IoStep::Failed;
}

IoStep TOpenSslSession::Handshake() {
    if (Broken) return IoStep::Failed;
    ERR_clear_error();
    const IoStep step = StepOf(SSL_do_handshake(Ssl.get()), true);
    if (step == IoStep::Done && !Finish()) return IoStep::Failed;
    return step;
}

IoStep TOpenSslSession::Read(char* Data, std::size_t Size, std::size_t& Got) {
    Got = 0;
    if (Broken) return FFailure == TlsFailure::None ? IoStep::Closed : IoStep::Failed;
    ERR_clear_error();
    return StepOf(SSL_read_ex(Ssl.get(), Data, Size, &Got), false);
}

IoStep TOpenSslSession::Write(const char* Data, std::size_t Size, std::size_t& Sent) {
    Sent = 0;
    if (Broken) return FFailure == TlsFailure::None ? IoStep::Closed : IoStep::Failed;
    ERR_clear_error();
    return StepOf(SSL_write_ex(Ssl.get(), Data, Size, &Sent), false);
}

void TOpenSslSession::Close() {
    if (Broken || !Established || ClosedOnce) return;
    ClosedOnce = true;
    ERR_clear_error();
    (void)SSL_shutdown(Ssl.get());
    ERR_clear_error();
}

}  // namespace

std::unique_ptr<ITlsSession> StartTlsClient(int Fd, const TTlsClientOptions& Options) {
    return std::make_unique<TOpenSslSession>(Fd, Options);
}

}  // namespace quorvel
