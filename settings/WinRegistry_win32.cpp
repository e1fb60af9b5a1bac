#include "settings/WinRegistry_win32.h"

#include <windows.h>

#include <cstdio>

#include "core/WideText_win32.h"

namespace quorvel {

namespace {

constexpr wchar_t CopySuffix[] = L".saving";
constexpr wchar_t OldSuffix[] = L".previous";
constexpr wchar_t DoneSuffix[] = L".saved";

// An open key, closed at the end of its scope.
class TKey {
public:
    TKey() = default;
    ~TKey() {
        if (FKey != nullptr) ::RegCloseKey(FKey);
    }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;

    bool Open(HKEY Parent, const std::wstring& Path, REGSAM Access) {
        return ::RegOpenKeyExW(Parent, Path.c_str(), 0, Access, &FKey) == ERROR_SUCCESS;
    }
    bool Create(HKEY Parent, const std::wstring& Path) {
        return ::RegCreateKeyExW(Parent, Path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                 &FKey, nullptr) == ERROR_SUCCESS;
    }
    HKEY Get() const { return FKey; }

private:
    HKEY FKey = nullptr;
};

std::wstring Join(const std::wstring& A, const std::wstring& B) {
    if (A.empty()) return B;
    if (B.empty()) return A;
    return A + L"\\" + B;
}

// A path as the settings code passes it ("\Software\..." or "Software\...")
// relative to the root, without leading or trailing "\".
std::wstring Relative(std::string_view Path) {
    while (!Path.empty() && Path.front() == '\\') Path.remove_prefix(1);
    while (!Path.empty() && Path.back() == '\\') Path.remove_suffix(1);
    try {
        return WideFromUtf8(Path);
    } catch (const Exception& error) {
        throw ERegistryException(KeyCreateFailedText(Path) + ": " + error.what());
    }
}

// Whether Path is Key or lies below it (names compare without regard to case,
// as the registry's do).
bool IsAtOrBelow(const std::wstring& Path, const std::wstring& Key) {
    if (Key.empty() || Path.size() < Key.size()) return false;
    if (Path.size() > Key.size() && Path[Key.size()] != L'\\') return false;
    return ::CompareStringOrdinal(Path.data(), static_cast<int>(Key.size()), Key.data(), static_cast<int>(Key.size()),
                                  TRUE) == CSTR_EQUAL;
}

bool SubkeyExists(HKEY Parent, const std::wstring& Name) {
    TKey key;
    return key.Open(Parent, Name, KEY_READ);
}

// Makes To (under Parent) a copy of From with everything below it.
bool CopyKey(HKEY Parent, const std::wstring& From, const std::wstring& To) {
    ::RegDeleteTreeW(Parent, To.c_str());
    TKey from;
    TKey to;
    return from.Open(Parent, From, KEY_READ) && to.Create(Parent, To) &&
           ::RegCopyTreeW(from.Get(), nullptr, to.Get()) == ERROR_SUCCESS;
}

// Replaces the key Name (under Parent) by a copy of From.
bool ReplaceKey(HKEY Parent, const std::wstring& Name, const std::wstring& From) {
    const LSTATUS removed = ::RegDeleteTreeW(Parent, Name.c_str());
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return false;
    return CopyKey(Parent, From, Name);
}

std::string UtcStamp() {
    SYSTEMTIME t{};
    ::GetSystemTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u%02u%02uT%02u%02u%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

}  // namespace

TWinRegistry::TWinRegistry(std::string Base, std::string UpdateKey)
    : FBase(Relative(Base)), FUpdateKey(Relative(UpdateKey)) {
    const std::size_t cut = FUpdateKey.find_last_of(L'\\');
    FParent = cut == std::wstring::npos ? std::wstring() : FUpdateKey.substr(0, cut);
    FLeaf = cut == std::wstring::npos ? FUpdateKey : FUpdateKey.substr(cut + 1);
    // Mutex names may not hold "\".
    std::wstring lockName = L"Quorvel-settings-update";
    if (!FBase.empty()) lockName += L"-" + FBase;
    for (wchar_t& c : lockName) {
        if (c == L'\\') c = L'/';
    }
    FLock = ::CreateMutexW(nullptr, FALSE, lockName.c_str());
    TRegistryUpdate recovery(*this);
}

TWinRegistry::~TWinRegistry() {
    if (FCopying) DropCopy();
    if (FLocked) ::ReleaseMutex(FLock);
    if (FLock != nullptr) ::CloseHandle(FLock);
}

std::wstring TWinRegistry::MapPath(std::string_view Path, TAccess Access) {
    std::wstring relative = Relative(Path);
    if (FDepth > 0 && IsAtOrBelow(relative, FUpdateKey)) {
        if (Access == TAccess::Write && !FCopying) StartCopy();
        if (FCopying) relative.insert(FUpdateKey.size(), CopySuffix);
    }
    return Join(FBase, relative);
}

void TWinRegistry::StartCopy() {
    const std::string name = Utf8FromWide(FUpdateKey);
    TKey parent;
    if (!parent.Create(HKEY_CURRENT_USER, Join(FBase, FParent))) throw ERegistryException(KeyCreateFailedText(name));
    const std::wstring copyName = FLeaf + CopySuffix;
    ::RegDeleteTreeW(parent.Get(), copyName.c_str());
    TKey copy;
    if (!copy.Create(parent.Get(), copyName)) throw ERegistryException(KeyCreateFailedText(name));
    TKey original;
    if (original.Open(parent.Get(), FLeaf, KEY_READ) &&
        ::RegCopyTreeW(original.Get(), nullptr, copy.Get()) != ERROR_SUCCESS) {
        ::RegDeleteTreeW(parent.Get(), copyName.c_str());
        throw ERegistryException(KeyCreateFailedText(name));
    }
    FCopying = true;
}

void TWinRegistry::DropCopy() noexcept {
    FCopying = false;
    TKey parent;
    if (!parent.Open(HKEY_CURRENT_USER, Join(FBase, FParent), KEY_ALL_ACCESS)) return;
    ::RegDeleteTreeW(parent.Get(), (FLeaf + CopySuffix).c_str());
}

void TWinRegistry::Recover() noexcept {
    TKey parent;
    if (!parent.Open(HKEY_CURRENT_USER, Join(FBase, FParent), KEY_ALL_ACCESS)) return;
    const std::wstring copyName = FLeaf + CopySuffix;
    if (SubkeyExists(parent.Get(), FLeaf + DoneSuffix) && SubkeyExists(parent.Get(), copyName)) {
        // Killed after the commit point: the copy is whole, finish the save.
        if (!ReplaceKey(parent.Get(), FLeaf, copyName)) return;
    }
    // Before the commit point the key is untouched and what is left beside
    // it is a save that did not happen; after it, only tidying was left.
    ::RegDeleteTreeW(parent.Get(), (FLeaf + DoneSuffix).c_str());
    ::RegDeleteTreeW(parent.Get(), copyName.c_str());
    ::RegDeleteTreeW(parent.Get(), (FLeaf + OldSuffix).c_str());
}

void TWinRegistry::BeginUpdate() {
    if (FDepth == 0) {
        // A holder that was killed leaves the mutex abandoned, which is ours then.
        const DWORD waited = FLock != nullptr ? ::WaitForSingleObject(FLock, 10000) : WAIT_FAILED;
        FLocked = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        Recover();
    }
    ++FDepth;
}

void TWinRegistry::CommitUpdate() {
    if (!FCopying) return;
    const std::string name = Utf8FromWide(FUpdateKey);
    const auto failed = [&name] { return ERegistryException(KeyCreateFailedText(name)); };
    bool killed = false;
    const auto stopsAt = [this, &killed](TCommitStep Step) {
        if (!FFault || FFault->Step != Step) return false;
        killed = !FFault->Fails;
        return true;
    };
    TKey parent;
    if (!parent.Open(HKEY_CURRENT_USER, Join(FBase, FParent), KEY_ALL_ACCESS)) throw failed();
    const HKEY p = parent.Get();
    const std::wstring copyName = FLeaf + CopySuffix;
    const std::wstring oldName = FLeaf + OldSuffix;
    const std::wstring doneName = FLeaf + DoneSuffix;

    // 1. Keep the old key, so a failure below can put it back.
    const bool hadOld = SubkeyExists(p, FLeaf);
    if (stopsAt(TCommitStep::KeepOld) || (hadOld && !CopyKey(p, FLeaf, oldName))) {
        if (killed) {
            FCopying = false;  // a killed process tidies nothing
            throw failed();
        }
        ::RegDeleteTreeW(p, oldName.c_str());
        throw failed();
    }
    // 2. The commit point: the copy is whole and marked so.
    TKey done;
    if (stopsAt(TCommitStep::MarkDone) || !done.Create(p, doneName)) {
        if (killed) {
            FCopying = false;
            throw failed();
        }
        ::RegDeleteTreeW(p, oldName.c_str());
        throw failed();
    }
    // 3. The copy's content becomes the key's.
    if (stopsAt(TCommitStep::CopyIn) || !ReplaceKey(p, FLeaf, copyName)) {
        if (killed) {
            // Killed half-way through: the key is gone, the next store
            // finishes the save from the copy.
            ::RegDeleteTreeW(p, FLeaf.c_str());
            FCopying = false;
            throw failed();
        }
        // Put the old key back, then drop the mark.
        if (hadOld)
            ReplaceKey(p, FLeaf, oldName);
        else
            ::RegDeleteTreeW(p, FLeaf.c_str());
        ::RegDeleteTreeW(p, doneName.c_str());
        ::RegDeleteTreeW(p, oldName.c_str());
        throw failed();
    }
    FCopying = false;

    // 4. Tidy up: the mark first, so a copy left half-deleted is never taken
    // for a whole one. What a killed process leaves here the next store removes.
    if (stopsAt(TCommitStep::Tidy)) return;
    ::RegDeleteTreeW(p, doneName.c_str());
    ::RegDeleteTreeW(p, copyName.c_str());
    if (hadOld && !FCopyTags.empty()) {
        CopyKey(p, oldName, WideFromUtf8(Utf8FromWide(FLeaf) + "." + FCopyTags.front() + "-" + UtcStamp()));
    }
    ::RegDeleteTreeW(p, oldName.c_str());
}

void TWinRegistry::EndUpdate() noexcept {
    if (FDepth == 0) return;
    if (--FDepth > 0) return;
    if (FCopying) DropCopy();
    FCopyTags.clear();
    if (FLocked) ::ReleaseMutex(FLock);
    FLocked = false;
}

void TWinRegistry::KeepCopyOnCommit(std::string_view Tag) {
    if (FDepth > 0) FCopyTags.emplace_back(Tag);
}

void TWinRegistry::CreateKey(std::string_view Path) {
    if (KeyExists(Path)) return;
    TKey key;
    if (!key.Create(HKEY_CURRENT_USER, MapPath(Path, TAccess::Write))) {
        throw ERegistryException(KeyCreateFailedText(Path));
    }
}

bool TWinRegistry::KeyExists(std::string_view Path) {
    TKey key;
    return key.Open(HKEY_CURRENT_USER, MapPath(Path, TAccess::Read), KEY_READ);
}

std::vector<std::string> TWinRegistry::GetKeyNames(std::string_view Path) {
    std::vector<std::string> names;
    TKey key;
    if (!key.Open(HKEY_CURRENT_USER, MapPath(Path, TAccess::Read), KEY_READ)) return names;
    DWORD longest = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::wstring buffer(longest + 1, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LSTATUS status =
            ::RegEnumKeyExW(key.Get(), i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            // A longer name appeared since the size was asked; ask again.
            buffer.resize(buffer.size() * 2 + 256);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        try {
            names.push_back(Utf8FromWide(std::wstring_view(buffer.data(), length)));
        } catch (const Exception&) {
            // A name that is not valid UTF-16 cannot be named in UTF-8; the
            // settings code could neither read nor delete it.
        }
    }
    return names;
}

bool TWinRegistry::DeleteKey(std::string_view Path) {
    // The root itself is never emptied.
    if (Relative(Path).empty() || !KeyExists(Path)) return false;
    return ::RegDeleteTreeW(HKEY_CURRENT_USER, MapPath(Path, TAccess::Write).c_str()) == ERROR_SUCCESS;
}

std::optional<TRegDataType> TWinRegistry::GetDataType(std::string_view Path, std::string_view Name) {
    TKey key;
    if (!key.Open(HKEY_CURRENT_USER, MapPath(Path, TAccess::Read), KEY_QUERY_VALUE)) return std::nullopt;
    DWORD type = 0;
    if (::RegQueryValueExW(key.Get(), WideFromUtf8(Name).c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return static_cast<TRegDataType>(type);
}

std::string TWinRegistry::ReadString(std::string_view Path, std::string_view Name) {
    TKey key;
    if (!key.Open(HKEY_CURRENT_USER, MapPath(Path, TAccess::Read), KEY_QUERY_VALUE)) {
        throw ERegistryException(ValueGetFailedText(Name));
    }
    const std::wstring name = WideFromUtf8(Name);
    std::wstring buffer;
    for (;;) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            throw ERegistryException(ValueGetFailedText(Name));
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(InvalidValueTypeText(Name));
        buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        const LSTATUS status =
            ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (status == ERROR_MORE_DATA) continue;  // it grew since the size was asked
        if (status != ERROR_SUCCESS) throw ERegistryException(ValueGetFailedText(Name));
        if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(InvalidValueTypeText(Name));
        buffer.resize(got / sizeof(wchar_t));
        break;
    }
    // The text ends at its first NUL, stored or not.
    const std::size_t end = buffer.find(L'\0');
    if (end != std::wstring::npos) buffer.resize(end);
    try {
        return Utf8FromWide(buffer);
    } catch (const Exception& error) {
        throw ERegistryException(ValueGetFailedText(Name) + ": " + error.what());
    }
}

std::int32_t TWinRegistry::ReadInteger(std::string_view Path, std::string_view Name) {
    TKey key;
    if (!key.Open(HKEY_CURRENT_USER, MapPath(Path, TAccess::Read), KEY_QUERY_VALUE)) {
        throw ERegistryException(ValueGetFailedText(Name));
    }
    const std::wstring name = WideFromUtf8(Name);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        throw ERegistryException(ValueGetFailedText(Name));
    }
    if (type != REG_DWORD || size != sizeof(DWORD)) throw ERegistryException(InvalidValueTypeText(Name));
    DWORD value = 0;
    size = sizeof value;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        throw ERegistryException(ValueGetFailedText(Name));
    }
    return static_cast<std::int32_t>(value);
}

void TWinRegistry::SetValue(std::string_view Path, std::string_view Name, std::uint32_t Type, const void* Data,
                            std::size_t Size) {
    TKey key;
    if (!key.Create(HKEY_CURRENT_USER, MapPath(Path, TAccess::Write)) ||
        ::RegSetValueExW(key.Get(), WideFromUtf8(Name).c_str(), 0, Type, static_cast<const BYTE*>(Data),
                         static_cast<DWORD>(Size)) != ERROR_SUCCESS) {
        throw ERegistryException(ValueSetFailedText(Name));
    }
}

void TWinRegistry::WriteString(std::string_view Path, std::string_view Name, std::string_view Value,
                               TRegDataType Type) {
    if (Type != TRegDataType::String && Type != TRegDataType::ExpandString) {
        throw ERegistryException(ValueSetFailedText(Name));
    }
    std::wstring text;
    try {
        text = WideFromUtf8(Value);
    } catch (const Exception& error) {
        throw ERegistryException(ValueSetFailedText(Name) + ": " + error.what());
    }
    SetValue(Path, Name, static_cast<std::uint32_t>(Type), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void TWinRegistry::WriteInteger(std::string_view Path, std::string_view Name, std::int32_t Value) {
    const auto value = static_cast<DWORD>(Value);
    SetValue(Path, Name, REG_DWORD, &value, sizeof value);
}

}  // namespace quorvel
