#include "model/preferences.h"
#include "platform/settings_file_store.h"
#include "platform/settings_ini_format.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace tunescrib {
namespace {

namespace fs = std::filesystem;

// QSettings resolves its folder once per process, so the temporary XDG_CONFIG_HOME is set
// before any test runs; the user's own settings are never touched.
const QTemporaryDir configHome;
[[maybe_unused]] const int configHomeSet =
    setenv("XDG_CONFIG_HOME", configHome.path().toUtf8().constData(), 1);

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<long>(text.size()));
}

// Earlier versions stored through QSettings: files they wrote must read the same, and
// files written now must read the same through QSettings, other entries left alone. The
// blobs stress the escaping: every byte, hex digits right after numeric escapes, the
// characters that make the value quoted, a real document.
TEST(SettingsFileStore, ReadsAndWritesTheFilesQSettingsReadsAndWrote) {
    ASSERT_TRUE(configHome.isValid());
    std::string everyByte(256, '\0');
    std::iota(everyByte.begin(), everyByte.end(), '\0');
    const std::string digitsAfterEscapes("\3770a\0007 x\001f", 9);
    const std::vector<std::string> blobs = {
        "",        "a;b,c=d \"quoted\" \\ back", " lead and trail ",
        everyByte, digitsAfterEscapes,           *encodePreferences(AppPreferences{})};
    SettingsFileStore store;
    ASSERT_EQ(store.path(), QSettings("tunescrib", "tunescrib").fileName().toStdString());
    const QString key = QString::fromStdString(std::string(preferencesKey));
    for (const auto& bytes : blobs) {
        const QByteArray blob = QByteArray::fromStdString(bytes);
        {
            QSettings settings("tunescrib", "tunescrib");
            settings.clear();
            settings.setValue(key, blob);
            settings.setValue("other/entry", "kept, as it was");
        }
        EXPECT_EQ(store.data(preferencesKey), bytes);
        const std::string written = readFile(store.path());
        ASSERT_EQ(store.set(preferencesKey, "x"), std::nullopt);
        ASSERT_EQ(store.set(preferencesKey, bytes), std::nullopt);
        EXPECT_EQ(readFile(store.path()), written) << "the same text as QSettings wrote";
        QSettings settings("tunescrib", "tunescrib");
        EXPECT_EQ(settings.value(key).toByteArray(), blob);
        EXPECT_EQ(settings.value("other/entry").toString(), "kept, as it was");
    }
}

TEST(SettingsFileStore, ReadsAnythingButABlobAsNothingStored) {
    const std::string key = "tunescrib%3Amac-preferences%3Av2";
    const std::string general = "[General]\n" + key;
    struct Case {
        const char* what;
        std::string content;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"a string", general + "=hello\n", std::nullopt},
        {"a number", general + "=5\n", std::nullopt},
        {"a list", general + "=@ByteArray(a), b)\n", std::nullopt},
        {"a truncated blob", general + "=@ByteArray({\"bindings\":[\n", std::nullopt},
        {"a foreign variant", general + "=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1)\n", std::nullopt},
        {"in another section", "[Other]\n" + key + "=@ByteArray(x)\n", std::nullopt},
        {"garbage", std::string("\x00\xFF[[[=\n@ByteArray", 18), std::nullopt},
        {"an empty file", "", std::nullopt},
        {"before any section, CRLF", key + "=@ByteArray(x)\r\n", "x"},
        {"continued on the next line", "[general]\n" + key + "=@ByteArray(a\\\nb)\n", "ab"},
        {"a comment after it", general + " = @ByteArray(x) ; note\n", "x"},
        {"the last of two", general + "=@ByteArray(x)\n" + key + "=@ByteArray(y)\n", "y"},
    };
    const fs::path path = configHome.path().toStdString() + "/read.conf";
    for (const auto& c : cases) {
        writeFile(path, c.content);
        EXPECT_EQ(SettingsFileStore(path).data(preferencesKey), c.expected) << c.what;
        const std::string rewritten = withIniByteArray(c.content, preferencesKey, "new");
        EXPECT_EQ(readIniByteArray(rewritten, preferencesKey), "new") << c.what;
    }
}

// Everything in a folder tree, looked at without following links: the mode, the inode and
// a regular file's text.
using Entry = std::tuple<mode_t, ino_t, std::string>;
std::map<std::string, Entry> snapshot(const fs::path& root) {
    std::map<std::string, Entry> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat status {};
        lstat(entry.path().c_str(), &status);
        entries[entry.path().string()] = {status.st_mode, status.st_ino,
                                          S_ISREG(status.st_mode) ? readFile(entry.path()) : ""};
    }
    return entries;
}

// The settings path as users and attackers may leave it. Each case must end at once in a
// clear outcome (the file read or nothing stored; the write done or refused), and nothing
// but the settings file, replaced whole under its old permissions, may change.
TEST(SettingsFileStore, HostilePathsEndInAClearOutcomeAndChangeNothingElse) {
    const std::string stored = "stored";
    const std::string storedFile = withIniByteArray("", preferencesKey, stored);
    fs::path settings; // the path the store is given
    // A folder beside it, with settings files for links to point at: one named as any, one
    // at the longest name a file system allows, too long for a temporary file beside it.
    fs::path outside;
    const fs::path longest = std::string(255, 'x');
    const auto storeAs = [&](fs::perms permissions) {
        writeFile(settings, storedFile);
        fs::permissions(settings, permissions);
    };
    const auto privately = fs::perms::owner_read | fs::perms::owner_write;
    struct Case {
        const char* what;
        std::function<void()> make;
        std::optional<std::string> reads;
        bool writes;
    };
    const std::vector<Case> cases = {
        {"nothing there yet", [] {}, std::nullopt, true},
        {"a private file", [&] { storeAs(privately); }, stored, true},
        {"a link to a file", [&] { fs::create_symlink(outside / "real.conf", settings); }, stored,
         true},
        {"a dangling link", [&] { fs::create_symlink(outside / "missing.conf", settings); },
         std::nullopt, false},
        {"a FIFO", [&] { ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0); }, std::nullopt, false},
        {"a directory", [&] { fs::create_directory(settings); }, std::nullopt, false},
        {"a file larger than any written", [&] { writeFile(settings, std::string(2 << 20, ';')); },
         std::nullopt, true},
        {"a link to a file at the longest name",
         [&] { fs::create_symlink(outside / longest, settings); }, stored, false},
        // The permission bits bind everyone but root.
        {"a read-only file", [&] { storeAs(fs::perms::owner_read); }, stored, geteuid() == 0},
    };
    // A case that hangs (a FIFO opened to be read) ends the run here, not at CTest's timeout.
    alarm(60);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QTemporaryDir temporary;
        const fs::path folder = temporary.path().toStdString();
        settings = folder / "config" / "tunescrib.conf";
        outside = folder / "outside";
        writeFile(outside / "real.conf", storedFile);
        writeFile(outside / longest, storedFile);
        fs::create_directories(settings.parent_path());
        c.make();
        auto before = snapshot(folder);

        SettingsFileStore store(settings);
        EXPECT_EQ(store.data(preferencesKey), c.reads);
        const auto failure = store.set(preferencesKey, "new");
        EXPECT_EQ(!failure, c.writes);
        EXPECT_EQ(store.data(preferencesKey),
                  c.writes ? std::optional<std::string>("new") : c.reads);

        auto after = snapshot(folder);
        if (c.writes) {
            const std::string file = fs::canonical(settings).string();
            if (before.contains(file)) {
                EXPECT_EQ(std::get<mode_t>(after[file]), std::get<mode_t>(before[file]));
            }
            EXPECT_NE(std::get<ino_t>(after[file]), std::get<ino_t>(before[file]));
            before.erase(file);
            after.erase(file);
        }
        EXPECT_EQ(before, after) << "something besides the settings file changed";
    }
    alarm(0);
}

TEST(SettingsFileStore, TheFileLivesWhereTheXdgRulesSay) {
    const std::string saved = std::getenv("XDG_CONFIG_HOME");
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", "/home/user", 1);
    for (const auto& [configHome, expected] :
         {std::pair{"/x/config", "/x/config/tunescrib/tunescrib.conf"},
          std::pair{"relative", "/home/user/.config/tunescrib/tunescrib.conf"},
          std::pair{"", "/home/user/.config/tunescrib/tunescrib.conf"}}) {
        setenv("XDG_CONFIG_HOME", configHome, 1);
        EXPECT_EQ(defaultSettingsFilePath(), expected) << configHome;
    }
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
}

} // namespace
} // namespace tunescrib
