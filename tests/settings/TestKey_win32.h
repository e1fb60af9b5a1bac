#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "core/WideText_win32.h"

// A throw-away key HKEY_CURRENT_USER\Software\QuorvelTest-<pid>-<n> that
// stands in for HKEY_CURRENT_USER; deleted with everything below it at the
// end of the test. The raw helpers go round the store to the registry itself.
class TTestKey {
public:
    TTestKey() {
        static std::atomic<int> next{0};
        FBase = "Software\\QuorvelTest-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(next++);
        Delete();
    }
    ~TTestKey() { Delete(); }
    TTestKey(const TTestKey&) = delete;
    TTestKey& operator=(const TTestKey&) = delete;

    const std::string& Base() const { return FBase; }

    // Path relative to the stand-in root, without a leading "\".
    std::wstring Full(const std::string& Path) const { return quorvel::WideFromUtf8(FBase + "\\" + Path); }

    bool Exists(const std::string& Path) const {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, Full(Path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        ::RegCloseKey(key);
        return true;
    }

    void Set(const std::string& Path, const std::wstring& Name, DWORD Type, const void* Data, std::size_t Size) {
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, Full(Path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        ::RegSetValueExW(key, Name.c_str(), 0, Type, static_cast<const BYTE*>(Data), static_cast<DWORD>(Size));
        ::RegCloseKey(key);
    }
    void SetText(const std::string& Path, const std::wstring& Name, const std::wstring& Text, DWORD Type = REG_SZ) {
        Set(Path, Name, Type, Text.c_str(), (Text.size() + 1) * sizeof(wchar_t));
    }
    void SetDword(const std::string& Path, const std::wstring& Name, DWORD Value) {
        Set(Path, Name, REG_DWORD, &Value, sizeof Value);
    }

    // The value's type and bytes as stored, or nothing when it is missing.
    std::optional<std::pair<DWORD, std::vector<BYTE>>> Get(const std::string& Path, const std::wstring& Name) const {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, Full(Path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        DWORD type = 0;
        DWORD size = 0;
        std::optional<std::pair<DWORD, std::vector<BYTE>>> result;
        if (::RegQueryValueExW(key, Name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            std::vector<BYTE> data(size);
            ::RegQueryValueExW(key, Name.c_str(), nullptr, &type, data.data(), &size);
            result.emplace(type, data);
        }
        ::RegCloseKey(key);
        return result;
    }
    std::wstring GetText(const std::string& Path, const std::wstring& Name) const {
        const auto value = Get(Path, Name);
        if (!value) return L"<missing>";
        std::wstring text(reinterpret_cast<const wchar_t*>(value->second.data()), value->second.size() / 2);
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        return text;
    }

    // Names of the direct subkeys, as the registry lists them.
    std::vector<std::string> Subkeys(const std::string& Path) const {
        std::vector<std::string> names;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, Full(Path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (::RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.push_back(quorvel::Utf8FromWide(std::wstring_view(name, length)));
        }
        ::RegCloseKey(key);
        return names;
    }

private:
    void Delete() { ::RegDeleteTreeW(HKEY_CURRENT_USER, quorvel::WideFromUtf8(FBase).c_str()); }

    std::string FBase;
};
