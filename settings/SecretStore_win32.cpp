// The Windows Credential Manager: generic credentials of this computer's
// user, named "Quorvel OAuth 2.0: user@host", with the account as the user
// name.
//
// A credential holds at most 2,560 bytes and a Microsoft account's tokens
// are longer, so the secret is kept in parts: "... user@host part G.I" for
// part I of generation G. The credential named after the account is the
// head: it names the generation, the number of parts, their total length
// and a checksum of the whole. A save writes the parts of a new generation,
// then the head (one write, which replaces the old head at once), then
// removes the parts of every other generation; a load reads the head first
// and takes only the parts it names, checked against the length and the
// checksum. So a load sees the old secret or the new one, never a mix (not
// even of two programs saving at once), and a save cut short leaves the
// old one.
#include <windows.h>

#include <wincred.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "core/WideText_win32.h"
#include "settings/SecretStore.h"

namespace quorvel {

const char* const NoSecretStoreText =
    "OAuth: the Windows Credential Manager cannot be used in this session (no user profile is loaded), so nothing "
    "was stored.";

namespace {

// CRED_MAX_CREDENTIAL_BLOB_SIZE is 5 * 512 bytes since Windows Vista
// (older headers, mingw-w64's among them, still say 512).
constexpr std::size_t PartSize = 5 * 512;
// 64 parts: 160 KB, far more than any provider's tokens.
constexpr std::size_t MaxParts = 64;
// A load that finds the head changed under it (a save beside it) reads again
// this often at most.
constexpr int LoadAttempts = 3;

struct THead {
    std::uint64_t Generation = 0;
    std::size_t Parts = 0;
    std::size_t Length = 0;
    std::uint64_t Checksum = 0;
};

// FNV-1a, 64 bits: tells parts of two different secrets apart.
std::uint64_t ChecksumOf(const std::string& Secret) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : Secret) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

[[noreturn]] void Raise(DWORD Error) {
    if (Error == ERROR_NO_SUCH_LOGON_SESSION) throw ESecretStoreUnavailable(NoSecretStoreText);
    throw ESecretStoreUnavailable("OAuth: secret store: Credential Manager error " + std::to_string(Error));
}

std::wstring HeadName(const std::string& Account) {
    return WideFromUtf8("Quorvel OAuth 2.0: " + Account);
}

std::wstring PartName(const std::wstring& Head, std::uint64_t Generation, std::size_t Index) {
    return Head + L" part " + std::to_wstring(Generation) + L"." + std::to_wstring(Index);
}

// The generation of a part name of Head ("Head part G.I"); nothing when
// Name is not one.
std::optional<std::uint64_t> PartGeneration(const std::wstring& Head, const std::wstring& Name) {
    const std::wstring prefix = Head + L" part ";
    if (Name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const std::wstring rest = Name.substr(prefix.size());
    const std::size_t dot = rest.find(L'.');
    if (dot == 0 || dot == std::wstring::npos || dot + 1 == rest.size() ||
        rest.find_first_not_of(L"0123456789.") != std::wstring::npos || rest.find(L'.', dot + 1) != std::wstring::npos)
        return std::nullopt;
    return std::wcstoull(rest.c_str(), nullptr, 10);
}

// The blob of the credential Name; nothing when there is none.
std::optional<std::string> Read(const std::wstring& Name) {
    PCREDENTIALW credential = nullptr;
    if (!::CredReadW(Name.c_str(), CRED_TYPE_GENERIC, 0, &credential)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_NOT_FOUND) return std::nullopt;
        Raise(error);
    }
    std::string blob(reinterpret_cast<const char*>(credential->CredentialBlob), credential->CredentialBlobSize);
    ::CredFree(credential);
    return blob;
}

void Write(const std::wstring& Name, const std::wstring& User, const std::string& Blob) {
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(Name.c_str());
    credential.UserName = const_cast<wchar_t*>(User.c_str());
    credential.CredentialBlobSize = static_cast<DWORD>(Blob.size());
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<char*>(Blob.data()));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (!::CredWriteW(&credential, 0)) Raise(::GetLastError());
}

void Remove(const std::wstring& Name) {
    if (!::CredDeleteW(Name.c_str(), CRED_TYPE_GENERIC, 0) && ::GetLastError() != ERROR_NOT_FOUND)
        Raise(::GetLastError());
}

// "quorvel-secret G N L C" (C in hex); nothing when Blob is not a head.
std::optional<THead> ParseHead(const std::string& Blob) {
    THead head;
    unsigned long long generation = 0, parts = 0, length = 0, checksum = 0;
    char end = 0;
    if (std::sscanf(Blob.c_str(), "quorvel-secret %llu %llu %llu %llx%c", &generation, &parts, &length, &checksum,
                    &end) != 4 ||
        parts > MaxParts || length > parts * PartSize || length + PartSize <= parts * PartSize)
        return std::nullopt;
    head.Generation = generation;
    head.Parts = static_cast<std::size_t>(parts);
    head.Length = static_cast<std::size_t>(length);
    head.Checksum = checksum;
    return head;
}

std::optional<THead> ReadHead(const std::wstring& Head) {
    const std::optional<std::string> blob = Read(Head);
    return blob ? ParseHead(*blob) : std::nullopt;
}

// Removes every part of Head outside generation Keep (0: all of them).
void RemoveParts(const std::wstring& Head, std::uint64_t Keep) {
    const std::wstring filter = Head + L" part *";
    DWORD count = 0;
    PCREDENTIALW* found = nullptr;
    if (!::CredEnumerateW(filter.c_str(), 0, &count, &found)) {
        if (::GetLastError() == ERROR_NOT_FOUND) return;
        Raise(::GetLastError());
    }
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < count; ++i) {
        if (found[i]->Type != CRED_TYPE_GENERIC || found[i]->TargetName == nullptr) continue;
        const std::optional<std::uint64_t> generation = PartGeneration(Head, found[i]->TargetName);
        if (generation && *generation != Keep) names.emplace_back(found[i]->TargetName);
    }
    ::CredFree(found);
    for (const std::wstring& name : names) Remove(name);
}

class TCredentialStore final : public ISecretStore {
public:
    std::optional<std::string> Load(const std::string& Account) override {
        const std::wstring head = HeadName(Account);
        for (int attempt = 0; attempt < LoadAttempts; ++attempt) {
            const std::optional<THead> kept = ReadHead(head);
            if (!kept) return std::nullopt;
            std::string secret;
            bool whole = true;
            for (std::size_t i = 1; whole && i <= kept->Parts; ++i) {
                const std::optional<std::string> part = Read(PartName(head, kept->Generation, i));
                whole = part.has_value();
                if (whole) secret += *part;
            }
            if (whole && secret.size() == kept->Length && ChecksumOf(secret) == kept->Checksum) return secret;
            // A save replaced the secret meanwhile: read the new one.
            const std::optional<THead> now = ReadHead(head);
            if (!now || (now->Generation == kept->Generation && now->Checksum == kept->Checksum)) return std::nullopt;
        }
        return std::nullopt;
    }

    void Save(const std::string& Account, const std::string& Secret) override {
        const std::wstring head = HeadName(Account);
        const std::wstring user = WideFromUtf8(Account);
        const std::size_t parts = (Secret.size() + PartSize - 1) / PartSize;
        if (parts > MaxParts) throw ESecretStoreUnavailable("OAuth: secret store: the tokens are too long to keep");
        const std::optional<THead> old = ReadHead(head);
        const std::uint64_t generation = old ? old->Generation + 1 : 1;
        for (std::size_t i = 1; i <= parts; ++i)
            Write(PartName(head, generation, i), user, Secret.substr((i - 1) * PartSize, PartSize));
        char checksum[20];
        std::snprintf(checksum, sizeof checksum, "%llx", static_cast<unsigned long long>(ChecksumOf(Secret)));
        Write(head, user,
              "quorvel-secret " + std::to_string(generation) + " " + std::to_string(parts) + " " +
                  std::to_string(Secret.size()) + " " + checksum);
        RemoveParts(head, generation);
    }

    void Delete(const std::string& Account) override {
        const std::wstring head = HeadName(Account);
        Remove(head);
        RemoveParts(head, 0);
    }
};

}  // namespace

std::unique_ptr<ISecretStore> OpenSecretStore() {
    return std::make_unique<TCredentialStore>();
}

}  // namespace quorvel
