#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

// A private folder for one test, removed with everything in it afterwards.
class TTempFolder {
public:
    TTempFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/quorvel-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        FPath = pattern;
    }
    ~TTempFolder() {
        std::error_code error;
        // Folders made read-only by a test must become writable to be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(FPath, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_directory(error)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, error);
            }
        }
        std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(FPath, error);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::filesystem::path operator/(const std::string& name) const { return FPath / name; }

private:
    std::filesystem::path FPath;
};

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names of the entries in Folder, sorted.
inline std::vector<std::string> FilesIn(const std::filesystem::path& Folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
