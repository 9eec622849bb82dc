#pragma once
// The text of the settings file: the INI dialect that earlier versions wrote through
// QSettings, so that the file users already have keeps working both ways. Only byte-array
// entries of the [General] section are read or written here; every other line of the
// file is kept as it stands. Pure functions, any thread.

#include <optional>
#include <string>
#include <string_view>

namespace tunescrib {

// The bytes of the entry `key` of [General] (or of the lines before any section), when it
// holds a byte array ("@ByteArray(...)"); std::nullopt when the entry is missing or holds
// anything else (text, a number, a list, a variant, a truncated value). Linear in size.
std::optional<std::string> readIniByteArray(std::string_view fileText, std::string_view key);

// `fileText` with the entry `key` of [General] set to `bytes`: the entry's line is
// replaced in place, or added at the top of [General] (which is created when missing).
std::string withIniByteArray(std::string_view fileText, std::string_view key,
                             std::string_view bytes);

} // namespace tunescrib
