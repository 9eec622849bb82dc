#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <unistd.h>

namespace tunescrib {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// What a write leaves in the folder: the target's contents and no stray temporary file.
TEST(AtomicFile, AWriteReplacesTheWholeFileOrLeavesEverythingAsItWas) {
    const fs::path folder =
        fs::temp_directory_path() / ("atomic-file-test-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directory(folder);
    const struct {
        const char* name;
        fs::path target;
        std::errc error;
    } rows[] = {
        {"a new file", folder / "new.mid", std::errc{}},
        {"over an existing file", folder / "new.mid", std::errc{}},
        {"into a folder that does not exist", folder / "missing" / "x.mid",
         std::errc::no_such_file_or_directory},
        {"over a folder of the same name", folder / "taken", std::errc::is_a_directory},
    };
    fs::create_directory(folder / "taken");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto error = writeFileAtomically(row.target.string(), bytes(row.name));
        EXPECT_TRUE(error == row.error) << error.message();
        if (row.error == std::errc{}) {
            EXPECT_EQ(contents(row.target), row.name);
        }
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        EXPECT_EQ(names, (std::set<std::string>{"new.mid", "taken"}));
    }
    fs::remove_all(folder);
}

} // namespace
} // namespace tunescrib
