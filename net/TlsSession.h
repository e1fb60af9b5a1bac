#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/ByteChannel.h"

namespace quorvel {

// Why a session failed, as the program reports it.
enum class TlsFailure {
    None,
    Expired,             // the certificate's validity has ended
    NotYetValid,         // ... has not begun
    NameMismatch,        // the certificate names another host or address
    SelfSigned,          // a self-signed certificate (or chain)
    UnknownIssuer,       // the issuer is not trusted here
    Untrusted,           // any other reason the certificate was refused
    CertificateChanged,  // not valid, and not the certificate the account trusts
    ProtocolTooOld,      // the server offers only TLS 1.1 or older
    HandshakeFailed,     // anything else during the handshake
    PlaintextAnswer,     // the server answered the hello with something that is not TLS
    ConnectionFailed,    // a fault of the established session
};

// The certificate the server showed, for the user to look at.
struct TTlsCertificate {
    std::string Subject;
    std::string Issuer;
    std::string NotBefore;  // as "YYYY-MM-DD HH:MM:SS UTC"
    std::string NotAfter;
    std::string Sha256;  // 64 lowercase hex digits of the DER encoding
};

struct TTlsClientOptions {
    // The name or address the user gave: sent as SNI when it is a name, and
    // checked against the certificate either way.
    std::string Host;
    // A PEM file of CAs trusted in addition to the system's (empty: none).
    std::string CaFile;
    // The certificate accepted although the normal check fails it
    // (NormalizeFingerprint form; empty: none).
    std::string PinnedSha256;
    // Accept whatever the server shows: only for fetching a certificate for
    // the user to look at, never for a check.
    bool AcceptAnyCertificate = false;
    // The server's port: a session is resumed only with the same host name,
    // port and trust settings it was first made with.
    std::int32_t Port = 0;
};

// One client session on a connected non-blocking socket: a byte channel
// whose reads and writes go through TLS. The session does its own socket
// reads and writes; the socket stays the caller's: the session never
// closes it. A handshake step asks to wait as a read or write does.
class ITlsSession : public IByteChannel {
public:
    virtual IoStep Handshake() = 0;
    // Sends the close notice once, without waiting; nothing after a failure.
    virtual void Close() = 0;

    virtual TlsFailure Failure() const = 0;
    // The library's own words on the failure, for diagnostics only.
    virtual std::string FailureDetail() const = 0;
    // The server's certificate, once the handshake has seen it.
    virtual std::optional<TTlsCertificate> PeerCertificate() const = 0;
    // Whether the handshake resumed an earlier session with this server
    // (whose certificate was checked when it was first made).
    virtual bool Resumed() const = 0;
};

// A client session on Fd, ready for Handshake. Raises quorvel::Exception
// when the library cannot set one up (a CA file that cannot be read, ...).
// The implementation is chosen at build time (OpenSSL on Linux).
std::unique_ptr<ITlsSession> StartTlsClient(int Fd, const TTlsClientOptions& Options);

// Whether Bytes can be the start of a TLS record (a record type of 20 to 23,
// major version 3); true while too few bytes have come to tell.
bool StartsAsTlsRecord(const char* Bytes, std::size_t Size);

// The program's fixed text for each failure.
std::string TlsFailureText(TlsFailure Failure);

// Fixed texts of the STLS exchange.
extern const char* const TlsNoStlsText;
extern const char* const TlsPlaintextAfterStlsText;
extern const char* const TlsHandshakeTimedOutText;

}  // namespace quorvel
