#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace quorvel {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& file, int error) {
    throw EFileError(what + " " + file.string() + ": " + std::strerror(error), error);
}

class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() {
        if (FFd >= 0) ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    int Release() {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }

private:
    int FFd;
};

// Writes everything, retrying after interruptions; errno on failure, else 0.
int WriteAll(int fd, std::string_view bytes, const std::optional<TWriteFault>& fault) {
    std::size_t limit = bytes.size();
    if (fault && fault->AfterBytes < limit) limit = fault->AfterBytes;
    std::size_t done = 0;
    while (done < limit) {
        const ssize_t n = ::write(fd, bytes.data() + done, limit - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    if (fault) return fault->Error;
    return 0;
}

int FsyncFolder(const std::filesystem::path& folder) {
    TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) return errno;
    if (::fsync(dir.Get()) != 0) return errno;
    return 0;
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    const std::filesystem::path parent = file.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

}  // namespace

TFileBytes ReadFileBytes(const std::filesystem::path& File) {
    TFileBytes result;
    // Non-blocking, so that a pipe put in the file's place cannot hang the program.
    TFd fd(::open(File.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        result.Error = errno;
        result.State = errno == ENOENT ? TFileBytes::TState::Missing : TFileBytes::TState::Unreadable;
        return result;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        result.Error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        result.State = TFileBytes::TState::Unreadable;
        return result;
    }
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            result.Error = errno;
            result.State = TFileBytes::TState::Unreadable;
            result.Bytes.clear();
            return result;
        }
        if (n == 0) break;
        result.Bytes.append(buffer, static_cast<std::size_t>(n));
    }
    result.State = TFileBytes::TState::Read;
    return result;
}

void CreatePrivateFolders(const std::filesystem::path& Folder) {
    std::filesystem::path prefix;
    for (const auto& part : Folder) {
        prefix /= part;
        struct stat existing {};
        if (::stat(prefix.c_str(), &existing) == 0) continue;
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) Fail("cannot create folder", prefix, errno);
    }
    struct stat info {};
    if (::stat(Folder.c_str(), &info) != 0) Fail("cannot create folder", Folder, errno);
    if (!S_ISDIR(info.st_mode)) Fail("cannot create folder", Folder, ENOTDIR);
}

void ReplaceFileAtomically(const std::filesystem::path& File, std::string_view Bytes,
                           const std::optional<TWriteFault>& Fault) {
    const std::filesystem::path folder = FolderOf(File);
    CreatePrivateFolders(folder);

    std::string pattern = (folder / (File.filename().string() + ".tmp-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    TFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (fd.Get() < 0) Fail("cannot create a temporary file next to", File, errno);
    const std::filesystem::path temp(name.data());

    int error = 0;
    const char* what = "cannot write";
    if (::fchmod(fd.Get(), 0600) != 0) {
        error = errno;
    } else if ((error = WriteAll(fd.Get(), Bytes, Fault)) != 0) {
    } else if (::fsync(fd.Get()) != 0) {
        error = errno;
    } else if (::close(fd.Release()) != 0) {
        error = errno;
    } else if (::rename(temp.c_str(), File.c_str()) != 0) {
        error = errno;
        what = "cannot replace";
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        Fail(what, File, error);
    }
    // The new content is in place. Some file systems cannot flush a folder;
    // the rename is then as durable as they make it, and the save stands.
    (void)FsyncFolder(folder);
}

int RemoveLeftoverTempFiles(const std::filesystem::path& File, std::chrono::seconds MinimumAge) {
    const std::string prefix = File.filename().string() + ".tmp-";
    constexpr std::size_t UniquePart = 6;  // the XXXXXX that mkostemp fills in
    const auto now = std::chrono::system_clock::now();
    int removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(FolderOf(File), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + UniquePart || name.compare(0, prefix.size(), prefix) != 0) continue;
        // Only plain files that this user's saves made; never follow a link.
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
            continue;
        }
        const auto changed = std::chrono::system_clock::from_time_t(info.st_mtime);
        if (now - changed < MinimumAge) continue;
        if (::unlink(entry.path().c_str()) == 0) ++removed;
    }
    return removed;
}

void WriteNewFile(const std::filesystem::path& File, std::string_view Bytes) {
    TFd fd(::open(File.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.Get() < 0) Fail("cannot create", File, errno);
    int error = WriteAll(fd.Get(), Bytes, std::nullopt);
    if (error == 0 && ::fsync(fd.Get()) != 0) error = errno;
    if (error == 0 && ::close(fd.Release()) != 0) error = errno;
    if (error == 0) error = FsyncFolder(FolderOf(File));
    if (error != 0) {
        ::unlink(File.c_str());
        Fail("cannot write", File, error);
    }
}

}  // namespace quorvel
