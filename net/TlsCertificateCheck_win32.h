#pragma once

// The server certificate check of the Schannel session, done by hand with
// CryptoAPI: Schannel's own check is switched off (Wine's does not refuse an
// expired certificate or an unknown CA), so every decision is made here.
#include <winsock2.h>

#include <windows.h>

#include <wincrypt.h>

#include <string>

#include "net/TlsSession.h"

namespace quorvel {

// What the check came to: TlsFailure::None when the certificate is valid for
// the host; Detail says what CryptoAPI reported, for diagnostics.
struct CertificateVerdict {
    TlsFailure Failure = TlsFailure::None;
    std::string Detail;
};

// The trust a session checks against: the system's store and, optionally,
// the CAs of a PEM file. A chain that ends at one of the file's certificates
// is trusted; a chain that merely contains one is not.
class TTlsTrust {
public:
    // Raises quorvel::Exception when CaFile is given and holds no readable
    // certificate.
    explicit TTlsTrust(const std::string& CaFile);
    ~TTlsTrust();
    TTlsTrust(const TTlsTrust&) = delete;
    TTlsTrust& operator=(const TTlsTrust&) = delete;

    // Checks Leaf (with the certificates the server sent in its store) for
    // Host, a DNS name or an IPv4/IPv6 literal. The order of the reasons is
    // the OpenSSL session's: trust first, then the name, then the dates.
    CertificateVerdict Check(PCCERT_CONTEXT Leaf, const std::string& Host) const;

private:
    bool IsFileCa(PCCERT_CONTEXT Certificate) const;

    HCERTSTORE CaStore = nullptr;  // null without a CA file
};

// Subject, issuer, dates and SHA-256 as the OpenSSL session gives them.
TTlsCertificate DescribeCertificate(PCCERT_CONTEXT Certificate);

// True for an IPv4 or IPv6 address literal (no SNI is sent for those).
bool IsAddressLiteral(const std::string& Host);

}  // namespace quorvel
