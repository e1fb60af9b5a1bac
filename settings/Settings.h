#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Account.h"
#include "settings/Registry.h"

namespace quorvel {

// Where the settings live under HKEY_CURRENT_USER.
inline constexpr std::string_view SettingsKeyPath = "\\Software\\Ombrask\\Quorvel";
inline constexpr std::string_view AccountsKeyPath = "\\Software\\Ombrask\\Quorvel\\Accounts";

inline constexpr std::uint32_t DefaultIntervalMinutes = 5;
inline constexpr std::int32_t DefaultPortNo = 110;
// The longest interval whose period in milliseconds fits 32 bits.
constexpr std::uint32_t MaxIntervalMinutes = 71582;

// An account key that LoadSettings left out, and why.
struct TDroppedAccount {
    std::string Key;     // the subkey's name under AccountsKeyPath
    std::string Reason;  // the read or decode error's message
};

// Reads accounts (appending to Accounts) and the interval; sets TimerPeriodMs
// from the stored minutes. An account with a value of a bad type or a
// password that does not decode is left out; so is one whose password bytes
// are not text in the system code page (see SystemCodePage.h). A stored
// interval outside 0 .. MaxIntervalMinutes, or text that is not a number,
// counts as 5 minutes.
// Raises quorvel::Exception for an Interval of a bad type (after the accounts
// were loaded; TimerPeriodMs then unchanged). Raises ESettingsUnreadable,
// before any account is loaded, when the settings exist but cannot be read.
// Never writes: keys it creates stay in the store's memory.
void LoadSettings(IRegistry& Registry, TAccounts& Accounts, std::uint32_t& TimerPeriodMs);
// The same; when Dropped is given, every account key left out is appended
// to it in load order.
void LoadSettings(IRegistry& Registry, TAccounts& Accounts, std::uint32_t& TimerPeriodMs,
                  std::vector<TDroppedAccount>* Dropped);
// Replaces the stored account list with Accounts, all or nothing: subkeys
// "0", "1", ... in list order. When an old account key would not load (so it
// is in no list and goes for good), the store first keeps a copy of the
// settings (the file store: "<file>.dropped-<UTC time>"). Raises
// quorvel::Exception when it cannot, and before it changes anything when a
// password holds a character that the system code page cannot hold.
void SaveAccounts(IRegistry& Registry, const TAccounts& Accounts);
// Stores the interval in whole minutes (truncated). Raises
// quorvel::Exception when it cannot.
void SaveInterval(IRegistry& Registry, std::uint32_t TimerPeriodMs);

// Whether the new-mail notice is on. Only a stored "Notify" that reads as 0
// turns it off; no value, or one of another type, reads as on. Never raises
// for the value itself.
bool LoadNotifyNewMail(IRegistry& Registry);
// Stores the notice option: "Notify"=dword:0 when off. On leaves settings
// without the value as they are (one that is there becomes 1). Raises
// quorvel::Exception when it cannot.
void SaveNotifyNewMail(IRegistry& Registry, bool Notify);

// Password scrambling; all three work on bytes.
// Each byte as two upper-case hexadecimal digits.
std::string HexEncode(std::string_view);
// The bytes in reverse order.
std::string ReverseText(std::string_view);
// Pairs of hexadecimal digits (either case) back to bytes; an odd last byte
// is ignored. Raises quorvel::Exception on a pair that is not hexadecimal.
std::string HexDecode(std::string_view);
// HexEncode, ReverseText, HexEncode, ReverseText.
std::string EncodePassword(std::string_view);
// The inverse of EncodePassword; raises quorvel::Exception on bad text.
std::string DecodePassword(std::string_view);

// Minutes to milliseconds. Minutes above MaxIntervalMinutes give the period
// of the default 5 minutes instead of a wrapped product.
std::uint32_t MinutesToPeriod(std::uint32_t Minutes);
// Milliseconds to whole minutes, truncated.
std::uint32_t PeriodToMinutes(std::uint32_t PeriodMs);

}  // namespace quorvel
