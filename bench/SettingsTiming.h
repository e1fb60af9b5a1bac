#pragma once

#include <chrono>
#include <cstddef>

namespace quorvel {

// Time to load and to save a settings file whose one account key holds
// Values values besides the account's own (a hand-made or damaged file).
struct SettingsFigures {
    std::size_t FileBytes = 0;
    std::chrono::nanoseconds Load{0};  // TRegistryStore + LoadSettings
    std::chrono::nanoseconds Save{0};  // SaveInterval: the whole file written back
};

SettingsFigures MeasureManyValues(std::size_t Values);

}  // namespace quorvel
