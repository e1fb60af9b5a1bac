#pragma once

// The Windows headers in the order they need one another.
#include <winsock2.h>

#include <windows.h>
#define SECURITY_WIN32
#include <security.h>
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>

#include <schannel.h>

#include <string>

#include "net/TlsSession.h"

// What the Schannel session needs around its handshake: the client
// credentials, the texts of SSPI status codes, and the first check of what
// the server answers.
namespace quorvel::schannel {

// Credentials for client sessions with Schannel's own certificate check
// off (the session checks the certificate itself), acquired at the first
// session and kept for the whole program: Schannel keeps its sessions for
// resuming per credentials. Raises quorvel::Exception when Schannel
// refuses them all (and tries again at the next call).
CredHandle& SharedClientCredentials();

// "<Call>: 0x<status> <the system's words>", for diagnostics.
std::string StatusText(const char* Call, SECURITY_STATUS Status);

// A failed InitializeSecurityContext as the program reports it.
TlsFailure HandshakeFailureOf(SECURITY_STATUS Status);

}  // namespace quorvel::schannel
