// The server certificate check of the Schannel session: the chain is built
// with CertGetCertificateChain (the CA file's certificates and those the
// server sent as extra stores), every error bit of it is judged here, and the
// host name is checked with the SSL chain policy (DNS names) or against the
// certificate's IP addresses (address literals).
#include "net/TlsCertificateCheck_win32.h"

#include <wininet.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "core/Exception.h"
#include "core/ScopeExit.h"
#include "core/WideText_win32.h"

namespace quorvel {

namespace {

std::string Hex32(DWORD Value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(Value));
    return text;
}

// ---- the CA file ----

std::vector<char> ReadWholeFile(const std::string& Path) {
    std::vector<char> data;
    FILE* file = ::_wfopen(WideFromUtf8(Path).c_str(), L"rb");
    if (file == nullptr) return data;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof(chunk), file)) > 0;) data.insert(data.end(), chunk, chunk + n);
    std::fclose(file);
    return data;
}

// Adds every "BEGIN CERTIFICATE" block of Pem to Store; returns how many.
int AddPemCertificates(HCERTSTORE Store, const std::vector<char>& Pem) {
    static const std::string Begin = "-----BEGIN CERTIFICATE-----";
    static const std::string End = "-----END CERTIFICATE-----";
    const std::string text(Pem.begin(), Pem.end());
    int added = 0;
    for (std::size_t at = text.find(Begin); at != std::string::npos; at = text.find(Begin, at + 1)) {
        const std::size_t end = text.find(End, at);
        if (end == std::string::npos) break;
        const std::string block = text.substr(at, end + End.size() - at);
        DWORD size = 0;
        if (!::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                    &size, nullptr, nullptr)) {
            continue;
        }
        std::vector<BYTE> der(size);
        if (!::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                    der.data(), &size, nullptr, nullptr)) {
            continue;
        }
        if (::CertAddEncodedCertificateToStore(Store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_ALWAYS,
                                               nullptr)) {
            ++added;
        }
    }
    return added;
}

// ---- describing a certificate ----

// OpenSSL's short names, so that both builds show a name alike.
const char* AttributeName(const char* Oid) {
    static const std::pair<const char*, const char*> names[] = {
        {"2.5.4.3", "CN"},
        {"2.5.4.4", "SN"},
        {"2.5.4.5", "serialNumber"},
        {"2.5.4.6", "C"},
        {"2.5.4.7", "L"},
        {"2.5.4.8", "ST"},
        {"2.5.4.9", "street"},
        {"2.5.4.10", "O"},
        {"2.5.4.11", "OU"},
        {"2.5.4.12", "title"},
        {"2.5.4.17", "postalCode"},
        {"2.5.4.42", "GN"},
        {"1.2.840.113549.1.9.1", "emailAddress"},
        {"0.9.2342.19200300.100.1.1", "UID"},
        {"0.9.2342.19200300.100.1.25", "DC"},
    };
    for (const auto& [oid, name] : names) {
        if (std::strcmp(oid, Oid) == 0) return name;
    }
    return Oid;
}

// A value as OpenSSL's one-line form writes it: quoted when it holds a
// separator, quotes and backslashes escaped, control characters as \XX.
std::string ValueText(const std::string& Value) {
    bool quote = !Value.empty() && (Value.front() == ' ' || Value.front() == '#' || Value.back() == ' ');
    std::string text;
    for (const char c : Value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ',' || c == '+' || c == '<' || c == '>' || c == ';') quote = true;
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\%02X", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return quote ? '"' + text + '"' : text;
}

std::string NameText(const CERT_NAME_BLOB& Name) {
    CERT_NAME_INFO* info = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_NAME, Name.pbData, Name.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                               &info, &size)) {
        return {};
    }
    OnScopeExit release([&] { ::LocalFree(info); });
    std::string text;
    for (DWORD r = 0; r < info->cRDN; ++r) {
        const CERT_RDN& rdn = info->rgRDN[r];
        for (DWORD a = 0; a < rdn.cRDNAttr; ++a) {
            CERT_RDN_ATTR& attribute = rdn.rgRDNAttr[a];
            if (!text.empty()) text += a == 0 ? ", " : " + ";
            const DWORD length = ::CertRDNValueToStrW(attribute.dwValueType, &attribute.Value, nullptr, 0);
            std::wstring value(length, L'\0');
            ::CertRDNValueToStrW(attribute.dwValueType, &attribute.Value, value.data(), length);
            if (!value.empty()) value.pop_back();  // its terminating zero
            text += std::string(AttributeName(attribute.pszObjId)) + " = " + ValueText(Utf8FromWide(value));
        }
    }
    return text;
}

std::string TimeText(const FILETIME& Time) {
    SYSTEMTIME parts{};
    if (!::FileTimeToSystemTime(&Time, &parts)) return {};
    char text[40];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u UTC", parts.wYear, parts.wMonth, parts.wDay,
                  parts.wHour, parts.wMinute, parts.wSecond);
    return text;
}

std::string Sha256Hex(PCCERT_CONTEXT Certificate) {
    BYTE digest[32];
    DWORD length = sizeof(digest);
    if (!::CryptHashCertificate2(L"SHA256", 0, nullptr, Certificate->pbCertEncoded, Certificate->cbCertEncoded, digest,
                                 &length)) {
        return {};
    }
    static const char* const hex = "0123456789abcdef";
    std::string text;
    for (DWORD i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

// ---- judging the chain ----

std::string ChainErrorText(DWORD Errors) {
    static const std::pair<DWORD, const char*> bits[] = {
        {CERT_TRUST_IS_NOT_TIME_VALID, "not time valid"},
        {CERT_TRUST_IS_REVOKED, "revoked"},
        {CERT_TRUST_IS_NOT_SIGNATURE_VALID, "bad signature"},
        {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, "not for server authentication"},
        {CERT_TRUST_IS_UNTRUSTED_ROOT, "untrusted root"},
        {CERT_TRUST_IS_CYCLIC, "cyclic"},
        {CERT_TRUST_INVALID_EXTENSION, "invalid extension"},
        {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, "invalid basic constraints"},
        {CERT_TRUST_INVALID_NAME_CONSTRAINTS, "invalid name constraints"},
        {CERT_TRUST_IS_PARTIAL_CHAIN, "partial chain"},
        {CERT_TRUST_IS_EXPLICIT_DISTRUST, "explicitly distrusted"},
        {CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT, "unsupported critical extension"},
    };
    std::string text = "certificate chain " + Hex32(Errors);
    const char* separator = ": ";
    for (const auto& [bit, name] : bits) {
        if ((Errors & bit) == 0) continue;
        text += separator;
        text += name;
        separator = ", ";
    }
    return text;
}

// Whether the certificate names the address Host (an address literal):
// only its IP address entries count, as with OpenSSL.
bool NamesAddress(PCCERT_CONTEXT Certificate, const std::string& Host) {
    BYTE address[16];
    DWORD addressSize = 0;
    if (::inet_pton(AF_INET, Host.c_str(), address) == 1) {
        addressSize = 4;
    } else if (::inet_pton(AF_INET6, Host.c_str(), address) == 1) {
        addressSize = 16;
    } else {
        return false;
    }
    const CERT_INFO* info = Certificate->pCertInfo;
    const CERT_EXTENSION* extension = ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (extension == nullptr) return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size)) {
        return false;
    }
    OnScopeExit release([&] { ::LocalFree(names); });
    for (DWORD i = 0; i < names->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == addressSize &&
            std::memcmp(entry.IPAddress.pbData, address, addressSize) == 0) {
            return true;
        }
    }
    return false;
}

// The SSL chain policy for Host with the given SECURITY_FLAG_IGNORE_* set;
// its error (0: none).
DWORD SslPolicyError(PCCERT_CHAIN_CONTEXT Chain, const std::wstring& Host, DWORD Ignore) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = Ignore;
    ssl.pwszServerName = const_cast<wchar_t*>(Host.c_str());
    CERT_CHAIN_POLICY_PARA para{};
    para.cbSize = sizeof(para);
    para.pvExtraPolicyPara = &ssl;
    if ((Ignore & SECURITY_FLAG_IGNORE_UNKNOWN_CA) != 0) para.dwFlags |= CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG;
    if ((Ignore & SECURITY_FLAG_IGNORE_CERT_DATE_INVALID) != 0) {
        para.dwFlags |= CERT_CHAIN_POLICY_IGNORE_ALL_NOT_TIME_VALID_FLAGS;
    }
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, Chain, &para, &status)) {
        return static_cast<DWORD>(::GetLastError());
    }
    return status.dwError;
}

// Expired or not yet valid: the first certificate out of its dates, from
// the root down as OpenSSL looks at them.
TlsFailure TimeFailure(const CERT_SIMPLE_CHAIN& Chain) {
    for (DWORD i = Chain.cElement; i-- > 0;) {
        const CERT_CHAIN_ELEMENT& element = *Chain.rgpElement[i];
        if ((element.TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID) == 0) continue;
        return ::CertVerifyTimeValidity(nullptr, element.pCertContext->pCertInfo) < 0 ? TlsFailure::NotYetValid
                                                                                      : TlsFailure::Expired;
    }
    return TlsFailure::Expired;
}

}  // namespace

bool IsAddressLiteral(const std::string& Host) {
    unsigned char scratch[16];
    return ::inet_pton(AF_INET, Host.c_str(), scratch) == 1 || ::inet_pton(AF_INET6, Host.c_str(), scratch) == 1;
}

TTlsCertificate DescribeCertificate(PCCERT_CONTEXT Certificate) {
    const CERT_INFO* info = Certificate->pCertInfo;
    return {NameText(info->Subject), NameText(info->Issuer), TimeText(info->NotBefore), TimeText(info->NotAfter),
            Sha256Hex(Certificate)};
}

TTlsTrust::TTlsTrust(const std::string& CaFile) {
    if (CaFile.empty()) return;
    CaStore = ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
    if (CaStore == nullptr) throw Exception("TLS: the library could not be started");
    if (AddPemCertificates(CaStore, ReadWholeFile(CaFile)) == 0) {
        ::CertCloseStore(CaStore, 0);
        CaStore = nullptr;
        throw Exception("TLS: the CA file " + CaFile + " cannot be read");
    }
}

TTlsTrust::~TTlsTrust() {
    if (CaStore != nullptr) ::CertCloseStore(CaStore, 0);
}

bool TTlsTrust::IsFileCa(PCCERT_CONTEXT Certificate) const {
    if (CaStore == nullptr) return false;
    for (PCCERT_CONTEXT ca = ::CertEnumCertificatesInStore(CaStore, nullptr); ca != nullptr;
         ca = ::CertEnumCertificatesInStore(CaStore, ca)) {
        if (ca->cbCertEncoded == Certificate->cbCertEncoded &&
            std::memcmp(ca->pbCertEncoded, Certificate->pbCertEncoded, ca->cbCertEncoded) == 0) {
            ::CertFreeCertificateContext(ca);
            return true;
        }
    }
    return false;
}

CertificateVerdict TTlsTrust::Check(PCCERT_CONTEXT Leaf, const std::string& Host) const {
    HCERTSTORE extra = ::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
    if (extra == nullptr) return {TlsFailure::Untrusted, "no certificate store: " + Hex32(::GetLastError())};
    OnScopeExit closeExtra([&] { ::CertCloseStore(extra, 0); });
    if (Leaf->hCertStore != nullptr) ::CertAddStoreToCollection(extra, Leaf->hCertStore, 0, 0);
    if (CaStore != nullptr) ::CertAddStoreToCollection(extra, CaStore, 0, 0);

    LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof(para);
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!::CertGetCertificateChain(nullptr, Leaf, nullptr, extra, &para, 0, nullptr, &chain)) {
        return {TlsFailure::Untrusted, "no certificate chain: " + Hex32(::GetLastError())};
    }
    OnScopeExit freeChain([&] { ::CertFreeCertificateChain(chain); });
    if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return {TlsFailure::Untrusted, "empty chain"};
    const CERT_SIMPLE_CHAIN& simple = *chain->rgpChain[0];

    DWORD errors = chain->TrustStatus.dwErrorStatus;
    // The one error accepted: a root outside the system's store that is
    // exactly one of the CA file's certificates. A chain that stops short
    // of a self-signed root keeps its partial-chain bit and is refused.
    const bool fileRoot = chain->cChain == 1 && IsFileCa(simple.rgpElement[simple.cElement - 1]->pCertContext);
    if (fileRoot) errors &= ~CERT_TRUST_IS_UNTRUSTED_ROOT;
    const std::string detail = ChainErrorText(errors) + (fileRoot ? " (its root is in the CA file)" : "");

    if ((errors & CERT_TRUST_IS_PARTIAL_CHAIN) != 0) return {TlsFailure::UnknownIssuer, detail};
    // An untrusted root is the certificate itself only when it signed
    // itself; above it, it is an issuer nobody here trusts.
    if ((errors & CERT_TRUST_IS_UNTRUSTED_ROOT) != 0) {
        return {simple.cElement == 1 ? TlsFailure::SelfSigned : TlsFailure::UnknownIssuer, detail};
    }
    const DWORD structural = CERT_TRUST_IS_NOT_VALID_FOR_USAGE | CERT_TRUST_IS_CYCLIC | CERT_TRUST_INVALID_EXTENSION |
                             CERT_TRUST_INVALID_POLICY_CONSTRAINTS | CERT_TRUST_INVALID_BASIC_CONSTRAINTS |
                             CERT_TRUST_INVALID_NAME_CONSTRAINTS | CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT |
                             CERT_TRUST_IS_EXPLICIT_DISTRUST | CERT_TRUST_IS_REVOKED;
    if ((errors & structural) != 0) return {TlsFailure::Untrusted, detail};

    // The name, with every other check of the policy switched off.
    const bool address = IsAddressLiteral(Host);
    const std::wstring wideHost = WideFromUtf8(Host);
    const DWORD onlyName = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                           SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_REVOCATION;
    if (address) {
        if (!NamesAddress(Leaf, Host)) return {TlsFailure::NameMismatch, "no IP address entry for " + Host};
    } else {
        const DWORD nameError = SslPolicyError(chain, wideHost, onlyName);
        if (nameError == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) {
            return {TlsFailure::NameMismatch, "SSL policy " + Hex32(nameError) + ": not for " + Host};
        }
        if (nameError != 0) return {TlsFailure::Untrusted, "SSL policy " + Hex32(nameError)};
    }

    if ((errors & CERT_TRUST_IS_NOT_SIGNATURE_VALID) != 0) return {TlsFailure::Untrusted, detail};
    if ((errors & CERT_TRUST_IS_NOT_TIME_VALID) != 0) return {TimeFailure(simple), detail};
    // Anything else the chain engine reports is refused too.
    if (errors != 0) return {TlsFailure::Untrusted, detail};

    // The whole policy once more, as a second opinion that must agree.
    DWORD ignore = fileRoot ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0;
    if (address) ignore |= SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    const DWORD policyError = SslPolicyError(chain, wideHost, ignore);
    if (policyError != 0) return {TlsFailure::Untrusted, "SSL policy " + Hex32(policyError)};
    return {};
}

}  // namespace quorvel
