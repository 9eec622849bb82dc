#pragma once
// Writing a whole file so that readers see either the old file or the complete new one.

#include <cstdint>
#include <span>
#include <string>
#include <system_error>

namespace tunescrib {

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it
// over `path`. On any failure the temporary file is removed, an existing file at `path`
// is left as it was, and the error is the system's (errno) code: permission_denied or
// read_only_file_system for a folder that cannot be written, no_space_on_device (or a
// quota's EDQUOT) for a full disk, no_such_file_or_directory for a missing folder.
// A new file gets the mode 0666 less the umask, as any program's new file does.
// Any thread; blocks on the disk.
std::error_code writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace tunescrib
