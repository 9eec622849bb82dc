#include "platform/settings_file_store.h"

#include "platform/atomic_file.h"
#include "platform/settings_ini_format.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunescrib {
namespace {

// The file this program writes is under 2 KiB; one past this size was not written by it
// and is not read at all.
constexpr std::size_t maxFileBytes = 1 << 20;

std::string systemReason(int error) {
    return std::strerror(error);
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a regular file";
}

// What the configured path leads to.
struct Resolved {
    std::string file; // the regular file to read or replace (may not exist yet)
    bool exists = false;
    mode_t permissions = 0;
    std::string unusable; // why the path cannot be used at all; empty when it can
    int error = 0;        // the errno behind `unusable`; 0 when the system gave none
};

Resolved unusablePath(const std::string& file, std::string why, int error) {
    return Resolved{file, false, 0, std::move(why), error};
}

Resolved resolve(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        const int error = errno;
        return error == ENOENT
                   ? Resolved{path, false, 0, {}, 0}
                   : unusablePath(path, "cannot be examined: " + systemReason(error), error);
    }
    std::string file = path;
    if (S_ISLNK(status.st_mode)) {
        const std::unique_ptr<char, decltype(&std::free)> target(realpath(path.c_str(), nullptr),
                                                                 &std::free);
        if (!target || stat(target.get(), &status) != 0) {
            const int error = errno;
            return unusablePath(path,
                                error == ENOENT
                                    ? "is a dangling symbolic link"
                                    : "is a link that cannot be followed: " + systemReason(error),
                                error);
        }
        file = target.get();
    }
    if (!S_ISREG(status.st_mode)) {
        return unusablePath(file,
                            std::string("is ") + kindOf(status.st_mode) + ", not a regular file",
                            S_ISDIR(status.st_mode) ? EISDIR : 0);
    }
    return Resolved{file, true, status.st_mode & 07777, {}, 0};
}

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// The text of a regular file, read without ever waiting: should a FIFO have been put in
// its place since it was examined, it is noticed here and left alone. std::nullopt with
// `error` set when it cannot be read, with `error` 0 when it is larger than maxFileBytes.
std::optional<std::string> readText(const std::string& file, int& error) {
    FileDescriptor in{open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    struct stat status {};
    if (in.fd < 0 || fstat(in.fd, &status) != 0) {
        error = errno;
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        error = EINVAL;
        return std::nullopt;
    }
    std::string text;
    std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t count = read(in.fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            error = errno;
            return std::nullopt;
        }
        if (count == 0) {
            return text;
        }
        text.append(buffer.data(), static_cast<std::size_t>(count));
        if (text.size() > maxFileBytes) {
            error = 0;
            return std::nullopt;
        }
    }
}

std::optional<StoreFailure> failure(int error) {
    return StoreFailure{{error, std::generic_category()}};
}

// Creates the missing folders above `file`, as a new settings folder needs.
std::optional<StoreFailure> makeFolders(const std::string& file) {
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1)) {
        if (mkdir(file.substr(0, slash).c_str(), 0777) != 0 && errno != EEXIST) {
            return failure(errno);
        }
    }
    return std::nullopt;
}

// Replaces the file whole (atomic_file.h), keeping the permissions an existing one had.
std::optional<StoreFailure> replaceFile(const Resolved& target, std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (const std::error_code error = writeFileAtomically(target.file, {bytes, text.size()})) {
        return StoreFailure{error};
    }
    if (target.exists) {
        // Best effort: the change is stored either way, only the mode would differ.
        chmod(target.file.c_str(), target.permissions);
    }
    return std::nullopt;
}

} // namespace

std::string defaultSettingsFilePath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (configHome != nullptr && configHome[0] == '/') {
        folder = configHome;
    } else {
        const char* home = std::getenv("HOME");
        const passwd* user = home == nullptr || home[0] == '\0' ? getpwuid(getuid()) : nullptr;
        folder = std::string(user != nullptr ? user->pw_dir : (home != nullptr ? home : "")) +
                 "/.config";
    }
    return folder + "/tunescrib/tunescrib.conf";
}

SettingsFileStore::SettingsFileStore() : SettingsFileStore(defaultSettingsFilePath()) {}

SettingsFileStore::SettingsFileStore(std::string path) : path_(std::move(path)) {}

void SettingsFileStore::warn(const std::string& what) {
    if (!warned) {
        std::fprintf(stderr, "tunescrib: the settings file %s %s\n", path_.c_str(), what.c_str());
        warned = true;
    }
}

std::optional<std::string> SettingsFileStore::data(std::string_view key) {
    const Resolved resolved = resolve(path_);
    if (!resolved.unusable.empty()) {
        warn(resolved.unusable + "; settings are neither read nor saved");
        return std::nullopt;
    }
    if (!resolved.exists) {
        return std::nullopt;
    }
    int error = 0;
    const auto text = readText(resolved.file, error);
    if (!text) {
        warn(error != 0 ? "cannot be read (" + systemReason(error) + "); defaults are used"
                        : "is larger than any this program writes; it was not read, and the "
                          "next change of a setting replaces it");
        return std::nullopt;
    }
    return readIniByteArray(*text, key);
}

std::optional<StoreFailure> SettingsFileStore::set(std::string_view key, std::string_view bytes) {
    const Resolved resolved = resolve(path_);
    if (!resolved.unusable.empty()) {
        warn(resolved.unusable + "; settings are neither read nor saved");
        return StoreFailure{resolved.error != 0
                                ? std::error_code(resolved.error, std::generic_category())
                                : std::error_code()};
    }
    if (!resolved.exists) {
        if (auto failed = makeFolders(resolved.file)) {
            return failed;
        }
    } else if (faccessat(AT_FDCWD, resolved.file.c_str(), W_OK, AT_EACCESS) != 0) {
        return failure(errno); // a file made read-only is kept as it is
    }
    // Other entries of the file are kept; one that cannot be read is replaced whole.
    int error = 0;
    const std::string old =
        resolved.exists ? readText(resolved.file, error).value_or(std::string()) : std::string();
    return replaceFile(resolved, withIniByteArray(old, key, bytes));
}

} // namespace tunescrib
