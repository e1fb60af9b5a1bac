#include "net/SchannelCredentials_win32.h"

#include <cstdio>
#include <mutex>

#include "core/Exception.h"

namespace quorvel::schannel {

namespace {

constexpr DWORD CredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr DWORD ModernProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;

}  // namespace

std::string StatusText(const char* Call, SECURITY_STATUS Status) {
    char text[96];
    std::snprintf(text, sizeof(text), "%s: 0x%08lx", Call, static_cast<unsigned long>(Status));
    std::string result = text;
    char* message = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(Status), 0, reinterpret_cast<char*>(&message), 0, nullptr);
    if (length > 0 && message != nullptr) {
        std::string words(message, length);
        while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) {
            words.pop_back();
        }
        result += " " + words;
    }
    if (message != nullptr) ::LocalFree(message);
    return result;
}

namespace {

// Credentials for client sessions with Schannel's own certificate check off.
// SCH_CREDENTIALS (Windows 10 1809 and later) is tried first: it alone can
// allow TLS 1.3 on Windows 11; older systems refuse its version and get the
// classic SCHANNEL_CRED limited to TLS 1.2. Wine 8 takes SCH_CREDENTIALS
// but ignores its disabled protocols (it completes a TLS 1.1 handshake), and
// has no TLS 1.3: the protocol is therefore checked again once the
// handshake is done (Established).
CredHandle AcquireClientCredentials() {
    CredHandle handle{};
    TimeStamp expiry{};
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = ~ModernProtocols;
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = CredentialFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    SECURITY_STATUS status =
        ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &modern,
                                    nullptr, nullptr, &handle, &expiry);
    if (status == SEC_E_OK) return handle;

    SCHANNEL_CRED classic{};
    classic.dwVersion = SCHANNEL_CRED_VERSION;
    classic.dwFlags = CredentialFlags;
    classic.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    status = ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                         &classic, nullptr, nullptr, &handle, &expiry);
    if (status != SEC_E_OK) {
        throw Exception("TLS: the library could not be started (" + StatusText("AcquireCredentialsHandle", status) +
                        ")");
    }
    return handle;
}

}  // namespace

CredHandle& SharedClientCredentials() {
    static std::mutex lock;
    static CredHandle handle{};
    static bool acquired = false;
    std::lock_guard<std::mutex> guard(lock);
    if (!acquired) {
        handle = AcquireClientCredentials();
        acquired = true;
    }
    return handle;
}

TlsFailure HandshakeFailureOf(SECURITY_STATUS Status) {
    // Windows: no protocol in common, the server stops at a version this
    // session does not offer. (Wine with SCHANNEL_CRED says
    // SEC_E_INTERNAL_ERROR, which can mean anything.)
    if (Status == SEC_E_UNSUPPORTED_FUNCTION) return TlsFailure::ProtocolTooOld;
    return TlsFailure::HandshakeFailed;
}

}  // namespace quorvel::schannel
