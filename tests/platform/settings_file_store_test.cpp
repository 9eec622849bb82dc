#include "model/preferences.h"
#include "platform/settings_file_store.h"
#include "platform/settings_ini_format.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <linux/fs.h>
#include <map>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tunescrib {
namespace {

namespace fs = std::filesystem;

// QSettings resolves its folder once per process, so the temporary XDG_CONFIG_HOME is set
// before any test runs; the user's own settings are never touched.
class TemporaryConfigHome : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        setenv("XDG_CONFIG_HOME", dir.path().toUtf8().constData(), 1);
    }

private:
    QTemporaryDir dir;
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new TemporaryConfigHome);

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<long>(text.size()));
}

// Byte strings that stress the file's escaping: every byte value, hex digits right after
// numeric escapes, the characters that make the value quoted, a real document.
std::vector<std::string> awkwardBlobs() {
    std::string everyByte;
    for (int i = 0; i < 256; ++i) {
        everyByte += static_cast<char>(i);
    }
    return {"",
            everyByte,
            std::string("\xff"
                        "0a\0"
                        "7 x\x01"
                        "f",
                        9),
            "a;b,c=d \"quoted\" \\ back",
            " lead and trail ",
            *encodePreferences(AppPreferences{})};
}

// Earlier versions stored through QSettings: files they wrote must read the same, and
// files written now must read the same through QSettings, other entries left alone.
TEST(SettingsFileStore, ReadsAndWritesTheFilesQSettingsReadsAndWrote) {
    SettingsFileStore store;
    ASSERT_EQ(store.path(), QSettings("tunescrib", "tunescrib").fileName().toStdString());
    const QString key =
        QString::fromUtf8(preferencesKey.data(), static_cast<qsizetype>(preferencesKey.size()));
    for (const auto& bytes : awkwardBlobs()) {
        const QByteArray blob(bytes.data(), static_cast<qsizetype>(bytes.size()));
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
    struct Case {
        const char* what;
        std::string content;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"a string", "[General]\n" + key + "=hello\n", std::nullopt},
        {"a number", "[General]\n" + key + "=5\n", std::nullopt},
        {"a list", "[General]\n" + key + "=@ByteArray(a), b)\n", std::nullopt},
        {"a truncated blob", "[General]\n" + key + "=@ByteArray({\"bindings\":[\n", std::nullopt},
        {"a foreign variant", "[General]\n" + key + "=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1)\n",
         std::nullopt},
        {"in another section", "[Other]\n" + key + "=@ByteArray(x)\n", std::nullopt},
        {"garbage", std::string("\x00\xFF[[[=\n@ByteArray", 18), std::nullopt},
        {"an empty file", "", std::nullopt},
        {"before any section, CRLF", key + "=@ByteArray(x)\r\n", "x"},
        {"continued on the next line", "[general]\n" + key + "=@ByteArray(a\\\nb)\n", "ab"},
        {"a comment after it", "[General]\n" + key + " = @ByteArray(x) ; note\n", "x"},
        {"the last of two", "[General]\n" + key + "=@ByteArray(x)\n" + key + "=@ByteArray(y)\n",
         "y"},
    };
    const fs::path path = fs::path(QTemporaryDir().path().toStdString()) / "read.conf";
    for (const auto& c : cases) {
        writeFile(path, c.content);
        EXPECT_EQ(SettingsFileStore(path).data(preferencesKey), c.expected) << c.what;
        EXPECT_EQ(
            readIniByteArray(withIniByteArray(c.content, preferencesKey, "new"), preferencesKey),
            "new")
            << c.what;
    }
}

// Sets or clears the flag that keeps even root from replacing a file (chattr +i).
bool setImmutable(const fs::path& file, bool immutable) {
    const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK);
    int flags = 0;
    bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (fd >= 0) {
        close(fd);
    }
    return done;
}

// Everything in a folder tree, to see that nothing but the settings file changed. Entries
// are looked at without following links.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat status {};
        lstat(entry.path().c_str(), &status);
        std::string state = std::to_string(status.st_mode) + " " + std::to_string(status.st_ino);
        if (S_ISREG(status.st_mode)) {
            state += " " + readFile(entry.path());
        }
        entries[entry.path().string()] = state;
    }
    return entries;
}

// The settings path as users and attackers may leave it. Each case must end at once in a
// clear outcome (the file read or nothing stored; the write done or refused with its
// reason), and nothing but the settings file may change.
TEST(SettingsFileStore, HostilePathsEndInAClearOutcomeAndChangeNothingElse) {
    const bool root = geteuid() == 0;
    const std::string stored = "stored";
    const std::string storedFile = withIniByteArray("", preferencesKey, stored);
    struct Paths {
        fs::path settings; // the path the store is given
        fs::path outside;  // a folder beside it, for what links point at
    };
    struct Case {
        const char* what;
        std::function<void(const Paths&)> make;
        std::optional<std::string> reads;
        bool writes;
        fs::path changes; // what a write may change, relative to the temporary folder
        enum { anyone, withDevices, withImmutableFiles, othersOnly } who = anyone;
    };
    const auto fifo = [](const Paths& p) { ASSERT_EQ(mkfifo(p.settings.c_str(), 0600), 0); };
    const auto device = [](const fs::path& at) {
        ASSERT_EQ(mknod(at.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0); // like /dev/null
    };
    // Device nodes and the immutable flag take root, and not every container or file
    // system allows them even then.
    const QTemporaryDir probe;
    const fs::path probeFile = probe.path().toStdString() + "/probe";
    writeFile(probeFile, "");
    const bool immutableAllowed = setImmutable(probeFile, true) && setImmutable(probeFile, false);
    const bool devicesAllowed =
        mknod((probe.path() + "/null").toUtf8().constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    const std::vector<Case> cases = {
        {"nothing there yet", [](const Paths&) {}, std::nullopt, true, "config/tunescrib.conf"},
        {"a regular file", [&](const Paths& p) { writeFile(p.settings, storedFile); }, stored, true,
         "config/tunescrib.conf"},
        {"a link to a regular file",
         [&](const Paths& p) {
             writeFile(p.outside / "real.conf", storedFile);
             fs::create_symlink(p.outside / "real.conf", p.settings);
         },
         stored, true, "outside/real.conf"},
        {"a dangling link",
         [](const Paths& p) { fs::create_symlink(p.outside / "missing.conf", p.settings); },
         std::nullopt, false, ""},
        {"a FIFO", fifo, std::nullopt, false, ""},
        {"a directory", [](const Paths& p) { fs::create_directory(p.settings); }, std::nullopt,
         false, ""},
        {"a device node", [&](const Paths& p) { device(p.settings); }, std::nullopt, false, "",
         Case::withDevices},
        {"a file larger than any written",
         [](const Paths& p) { writeFile(p.settings, std::string(2 << 20, ';')); }, std::nullopt,
         true, "config/tunescrib.conf"},
        {"a stale lock of a crashed writer",
         [&](const Paths& p) {
             writeFile(p.settings, storedFile);
             writeFile(p.settings.string() + ".lock", "999999\ntunescrib\nhost\n");
         },
         stored, true, "config/tunescrib.conf"},
        {"an immutable file",
         [&](const Paths& p) {
             writeFile(p.settings, storedFile);
             ASSERT_TRUE(setImmutable(p.settings, true));
         },
         stored, false, "", Case::withImmutableFiles},
        // The permission bits bind everyone but root.
        {"a read-only file",
         [&](const Paths& p) {
             writeFile(p.settings, storedFile);
             fs::permissions(p.settings, fs::perms::owner_read);
         },
         stored, false, "", Case::othersOnly},
        {"a read-only folder",
         [&](const Paths& p) {
             writeFile(p.settings, storedFile);
             fs::permissions(p.settings.parent_path(),
                             fs::perms::owner_read | fs::perms::owner_exec);
         },
         stored, false, "", Case::othersOnly},
    };
    // A case that hangs (a FIFO opened to be read) ends the run here, not at CTest's timeout.
    alarm(60);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if ((c.who == Case::withDevices && !devicesAllowed) ||
            (c.who == Case::withImmutableFiles && !immutableAllowed) ||
            (c.who == Case::othersOnly && root)) {
            std::printf("skipped here: %s\n", c.what);
            continue;
        }
        const QTemporaryDir temporary;
        const fs::path folder = temporary.path().toStdString();
        const Paths paths{folder / "config" / "tunescrib.conf", folder / "outside"};
        fs::create_directories(paths.settings.parent_path());
        fs::create_directories(paths.outside);
        c.make(paths);
        auto before = snapshot(folder);

        SettingsFileStore store(paths.settings);
        EXPECT_EQ(store.data(preferencesKey), c.reads);
        const auto failure = store.set(preferencesKey, "new");
        EXPECT_EQ(!failure, c.writes);
        EXPECT_EQ(store.data(preferencesKey),
                  c.writes ? std::optional<std::string>("new") : c.reads);

        auto after = snapshot(folder);
        if (c.writes) {
            const std::string changed = (folder / c.changes).string();
            EXPECT_NE(before[changed], after[changed]);
            before.erase(changed);
            after.erase(changed);
        }
        EXPECT_EQ(before, after) << "something besides the settings file changed";
        fs::permissions(paths.settings.parent_path(), fs::perms::owner_all);
        if (c.who == Case::withImmutableFiles) {
            setImmutable(paths.settings, false);
        }
    }
    alarm(0);
}

TEST(SettingsFileStore, TheFileLivesWhereTheXdgRulesSay) {
    const std::string saved = std::getenv("XDG_CONFIG_HOME");
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", "/home/user", 1);
    struct Case {
        const char* configHome;
        const char* expected;
    };
    for (const auto& c : {Case{"/x/config", "/x/config/tunescrib/tunescrib.conf"},
                          Case{"relative", "/home/user/.config/tunescrib/tunescrib.conf"},
                          Case{"", "/home/user/.config/tunescrib/tunescrib.conf"}}) {
        setenv("XDG_CONFIG_HOME", c.configHome, 1);
        EXPECT_EQ(defaultSettingsFilePath(), c.expected) << c.configHome;
    }
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
}

} // namespace
} // namespace tunescrib
