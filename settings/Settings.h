#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// Reads accounts (appending to Accounts) and the interval; sets TimerPeriodMs
// from the stored minutes. An account with a value of a bad type or a
// password that does not decode is left out. A stored interval outside
// 0 .. MaxIntervalMinutes, or text that is not a number, counts as 5 minutes.
// Raises quorvel::Exception for an Interval of a bad type (after the accounts
// were loaded; TimerPeriodMs then unchanged).
void LoadSettings(IRegistry& Registry, TAccounts& Accounts, std::uint32_t& TimerPeriodMs);
// Replaces the stored account list with Accounts, all or nothing: subkeys
// "0", "1", ... in list order. Raises quorvel::Exception when it cannot.
void SaveAccounts(IRegistry& Registry, const TAccounts& Accounts);
// Stores the interval in whole minutes (truncated). Raises
// quorvel::Exception when it cannot.
void SaveInterval(IRegistry& Registry, std::uint32_t TimerPeriodMs);

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
