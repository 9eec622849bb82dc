#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace tunescrib {
namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::error_code writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return {};
}

// A hidden name beside the target, so the rename stays within one file system and a
// file manager does not show the half-written file. The process id and a counter keep
// writers apart; O_EXCL steps over a leftover of a crashed run.
int createTemporary(const std::string& path, std::string& temporary) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path target(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary =
            (target.parent_path() / ("." + target.filename().string() + ".tmp" +
                                     std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                .string();
        // 0666 less the umask, like any program's new file.
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

} // namespace

std::error_code writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0) {
        return lastError();
    }
    std::error_code error = writeAll(fd, bytes);
    if (!error && ::fsync(fd) != 0) {
        error = lastError();
    }
    // Some file systems report a full disk only when the file is closed.
    if (::close(fd) != 0 && !error) {
        error = lastError();
    }
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = lastError();
    }
    if (error) {
        ::unlink(temporary.c_str());
    }
    return error;
}

} // namespace tunescrib
