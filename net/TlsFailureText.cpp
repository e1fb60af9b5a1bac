#include "net/TlsSession.h"

namespace quorvel {

const char* const TlsNoStlsText = "TLS: the server does not offer STLS";
const char* const TlsPlaintextAfterStlsText = "TLS: the server sent unencrypted data after STLS";
const char* const TlsHandshakeTimedOutText = "TLS: the server did not complete the handshake in time";

bool StartsAsTlsRecord(const char* Bytes, std::size_t Size) {
    if (Size == 0) return true;
    const auto type = static_cast<unsigned char>(Bytes[0]);
    if (type < 20 || type > 23) return false;
    return Size < 2 || static_cast<unsigned char>(Bytes[1]) == 3;
}

std::string TlsFailureText(TlsFailure Failure) {
    switch (Failure) {
        case TlsFailure::None: return "TLS: no failure";
        case TlsFailure::Expired: return "TLS: the server's certificate has expired";
        case TlsFailure::NotYetValid: return "TLS: the server's certificate is not yet valid";
        case TlsFailure::NameMismatch: return "TLS: the server's certificate is for another host name";
        case TlsFailure::SelfSigned: return "TLS: the server's certificate is self-signed";
        case TlsFailure::UnknownIssuer: return "TLS: the server's certificate is from an unknown issuer";
        case TlsFailure::Untrusted: return "TLS: the server's certificate is not trusted";
        case TlsFailure::CertificateChanged:
            return "TLS: the server's certificate differs from the one trusted for this account";
        case TlsFailure::ProtocolTooOld: return "TLS: the server offers only a protocol version that is too old";
        case TlsFailure::HandshakeFailed:
        // On an implicit-TLS port; after STLS the transport says
        // TlsPlaintextAfterStlsText instead.
        case TlsFailure::PlaintextAnswer: return "TLS: handshake failed";
        case TlsFailure::ConnectionFailed: return "TLS: the encrypted connection failed";
    }
    return "TLS: handshake failed";
}

}  // namespace quorvel
