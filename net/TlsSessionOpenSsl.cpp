// The TLS session on OpenSSL 3: TLS 1.2 at least, the system's trust store
// (plus an optional CA file), SNI for host names, host name or address
// verification, and an optional pinned certificate for a private server.
#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <mutex>

#include "core/Exception.h"
#include "net/TlsSession.h"

namespace quorvel {

namespace {

// ---- a socket BIO that can never raise SIGPIPE ----

int SocketFd(BIO* Bio) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(Bio)));
}

bool WouldBlock(int Error) {
    return Error == EAGAIN || Error == EWOULDBLOCK || Error == EINTR;
}

int BioWrite(BIO* Bio, const char* Data, int Size) {
    BIO_clear_retry_flags(Bio);
    const ssize_t n = ::send(SocketFd(Bio), Data, static_cast<std::size_t>(Size), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && WouldBlock(errno)) BIO_set_retry_write(Bio);
    return static_cast<int>(n);
}

int BioRead(BIO* Bio, char* Data, int Size) {
    BIO_clear_retry_flags(Bio);
    const ssize_t n = ::recv(SocketFd(Bio), Data, static_cast<std::size_t>(Size), MSG_DONTWAIT);
    if (n < 0 && WouldBlock(errno)) BIO_set_retry_read(Bio);
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

TlsCertificate Describe(X509* Certificate) {
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
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN: return TlsFailure::SelfSigned;
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

class OpenSslSession final : public TlsSession {
public:
    OpenSslSession(int Fd, const TlsClientOptions& Options);
    ~OpenSslSession() override;
    OpenSslSession(const OpenSslSession&) = delete;
    OpenSslSession& operator=(const OpenSslSession&) = delete;

    TlsStep Handshake() override;
    TlsStep Read(char* Data, std::size_t Size, std::size_t& Got) override;
    TlsStep Write(const char* Data, std::size_t Size, std::size_t& Sent) override;
    void Close() override;
    bool HasBufferedInput() const override { return Ssl != nullptr && SSL_pending(Ssl) > 0; }
    TlsFailure Failure() const override { return FFailure; }
    std::string FailureDetail() const override { return FDetail; }
    std::optional<TlsCertificate> PeerCertificate() const override { return FPeer; }

private:
    static int VerifyCertificate(X509_STORE_CTX* Store, void* Self);
    int Verify(X509_STORE_CTX* Store);
    // Turns the result of an SSL call into a step; Result > 0 is success.
    TlsStep StepOf(int Result, bool InHandshake);
    void Fail(TlsFailure Failure);

    TlsClientOptions Options;
    SSL_CTX* Context = nullptr;
    SSL* Ssl = nullptr;
    bool Broken = false;
    bool Established = false;
    bool ClosedOnce = false;
    long VerifyCode = X509_V_OK;
    bool PinMismatch = false;
    TlsFailure FFailure = TlsFailure::None;
    std::string FDetail;
    std::optional<TlsCertificate> FPeer;
};

OpenSslSession::OpenSslSession(int Fd, const TlsClientOptions& Given) : Options(Given) {
    Context = SSL_CTX_new(TLS_client_method());
    if (Context == nullptr) throw Exception("TLS: the library could not be started");
    SSL_CTX_set_min_proto_version(Context, TLS1_2_VERSION);
    SSL_CTX_set_verify(Context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(Context);
    if (!Options.CaFile.empty() && SSL_CTX_load_verify_locations(Context, Options.CaFile.c_str(), nullptr) != 1) {
        ERR_clear_error();
        throw Exception("TLS: the CA file " + Options.CaFile + " cannot be read");
    }
    SSL_CTX_set_cert_verify_callback(Context, &OpenSslSession::VerifyCertificate, this);

    Ssl = SSL_new(Context);
    BIO* bio = SocketMethod() != nullptr ? BIO_new(SocketMethod()) : nullptr;
    if (Ssl == nullptr || bio == nullptr) {
        if (bio != nullptr) BIO_free(bio);
        throw Exception("TLS: the library could not be started");
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(Fd)));
    SSL_set_bio(Ssl, bio, bio);
    if (!IsAddressLiteral(Options.Host)) SSL_set_tlsext_host_name(Ssl, Options.Host.c_str());
    SSL_set_hostflags(Ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (SSL_set1_host(Ssl, Options.Host.c_str()) != 1) {
        ERR_clear_error();
        throw Exception("TLS: the host name cannot be checked");
    }
    SSL_set_connect_state(Ssl);
}

OpenSslSession::~OpenSslSession() {
    if (Ssl != nullptr) SSL_free(Ssl);
    if (Context != nullptr) SSL_CTX_free(Context);
}

int OpenSslSession::VerifyCertificate(X509_STORE_CTX* Store, void* Self) {
    return static_cast<OpenSslSession*>(Self)->Verify(Store);
}

// The normal check first; the pinned certificate only when it fails.
int OpenSslSession::Verify(X509_STORE_CTX* Store) {
    X509* leaf = X509_STORE_CTX_get0_cert(Store);
    if (leaf != nullptr) FPeer = Describe(leaf);
    const int valid = X509_verify_cert(Store);
    if (valid == 1) return 1;
    VerifyCode = X509_STORE_CTX_get_error(Store);
    const bool pinned = !Options.PinnedSha256.empty() && FPeer && FPeer->Sha256 == Options.PinnedSha256;
    if (pinned || Options.AcceptAnyCertificate) {
        X509_STORE_CTX_set_error(Store, X509_V_OK);
        return 1;
    }
    PinMismatch = !Options.PinnedSha256.empty();
    return 0;
}

void OpenSslSession::Fail(TlsFailure Failure) {
    Broken = true;
    FFailure = Failure;
    const unsigned long error = ERR_peek_last_error();
    if (error != 0) {
        char text[256];
        ERR_error_string_n(error, text, sizeof(text));
        FDetail = text;
    }
}

TlsStep OpenSslSession::StepOf(int Result, bool InHandshake) {
    if (Result > 0) return TlsStep::Done;
    const int error = SSL_get_error(Ssl, Result);
    switch (error) {
        case SSL_ERROR_WANT_READ: return TlsStep::WantRead;
        case SSL_ERROR_WANT_WRITE: return TlsStep::WantWrite;
        case SSL_ERROR_ZERO_RETURN:
            if (!InHandshake) return TlsStep::Closed;
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
            return TlsStep::Closed;
        }
        Fail(TlsFailure::ConnectionFailed);
        return TlsStep::Failed;
    }
    if (PinMismatch) {
        Fail(TlsFailure::CertificateChanged);
    } else if (VerifyCode != X509_V_OK) {
        Fail(FailureOfVerifyCode(VerifyCode));
    } else if (reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION || reason == SSL_R_UNSUPPORTED_PROTOCOL ||
               reason == SSL_R_NO_PROTOCOLS_AVAILABLE || reason == SSL_R_VERSION_TOO_LOW) {
        Fail(TlsFailure::ProtocolTooOld);
    } else {
        Fail(TlsFailure::HandshakeFailed);
    }
    return TlsStep::Failed;
}

TlsStep OpenSslSession::Handshake() {
    if (Broken) return TlsStep::Failed;
    ERR_clear_error();
    const TlsStep step = StepOf(SSL_do_handshake(Ssl), true);
    if (step == TlsStep::Done) Established = true;
    return step;
}

TlsStep OpenSslSession::Read(char* Data, std::size_t Size, std::size_t& Got) {
    Got = 0;
    if (Broken) return FFailure == TlsFailure::None ? TlsStep::Closed : TlsStep::Failed;
    ERR_clear_error();
    return StepOf(SSL_read_ex(Ssl, Data, Size, &Got), false);
}

TlsStep OpenSslSession::Write(const char* Data, std::size_t Size, std::size_t& Sent) {
    Sent = 0;
    if (Broken) return FFailure == TlsFailure::None ? TlsStep::Closed : TlsStep::Failed;
    ERR_clear_error();
    return StepOf(SSL_write_ex(Ssl, Data, Size, &Sent), false);
}

void OpenSslSession::Close() {
    if (Broken || !Established || ClosedOnce) return;
    ClosedOnce = true;
    ERR_clear_error();
    (void)SSL_shutdown(Ssl);
    ERR_clear_error();
}

}  // namespace

std::unique_ptr<TlsSession> StartTlsClient(int Fd, const TlsClientOptions& Options) {
    return std::make_unique<OpenSslSession>(Fd, Options);
}

}  // namespace quorvel
