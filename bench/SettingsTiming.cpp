#include "bench/SettingsTiming.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
        Path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    std::filesystem::path Path;
};

}  // namespace

SettingsFigures MeasureManyValues(std::size_t Values) {
    ScratchFolder folder;
    const std::filesystem::path file = folder.Path / "registry.reg";
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0]\n\"Host\"=\"h\"\n";
    for (std::size_t i = 0; i < Values; ++i) text += "\"Extra" + std::to_string(i) + "\"=\"x\"\n";
    std::ofstream(file, std::ios::binary) << text;

    SettingsFigures figures;
    figures.FileBytes = text.size();
    TRegistryStore store(file);
    TAccounts accounts;
    std::uint32_t period = 0;
    auto start = Clock::now();
    LoadSettings(store, accounts, period);
    figures.Load = Clock::now() - start;
    if (accounts.Count() != 1) throw std::runtime_error("the benchmark's settings did not load");
    start = Clock::now();
    SaveInterval(store, 10 * 60000);
    figures.Save = Clock::now() - start;
    return figures;
}

}  // namespace quorvel
