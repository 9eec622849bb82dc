#include "model/preferences.h"
#include "platform/qsettings_defaults_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace tunescrib {
namespace {

// QSettings resolves its folder once per process, so the temporary XDG_CONFIG_HOME is set
// before any test runs; the user's own settings are never touched.
class TemporaryConfigHome : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        setenv("XDG_CONFIG_HOME", dir.path().toUtf8().constData(), 1);
    }
    static QString settingsFile() {
        return QString::fromUtf8(std::getenv("XDG_CONFIG_HOME")) + "/tunescrib/tunescrib.conf";
    }

private:
    QTemporaryDir dir;
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new TemporaryConfigHome);

void writeSettingsFile(const QByteArray& content) {
    QDir().mkpath(QFileInfo(TemporaryConfigHome::settingsFile()).path());
    QFile file(TemporaryConfigHome::settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

TEST(QSettingsDefaultsStore, KeepsBytesAcrossInstancesUnderTheExactKey) {
    const std::string bytes = std::string("{\"a\":1}\0\xFF\xFE tail", 14);
    QSettingsDefaultsStore().set(preferencesKey, bytes);
    EXPECT_EQ(QSettingsDefaultsStore().data(preferencesKey), bytes);
    EXPECT_EQ(QSettingsDefaultsStore().data("another key"), std::nullopt);

    // Written at once, under the key with its colons escaped.
    QFile file(TemporaryConfigHome::settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.contains("tunescrib%3Amac-preferences%3Av2=@ByteArray(")) << content.data();
}

TEST(QSettingsDefaultsStore, ReadsAnythingButABlobAsNothingStored) {
    const QByteArray key = "tunescrib%3Amac-preferences%3Av2";
    struct Case {
        const char* what;
        QByteArray content;
    };
    const std::vector<Case> cases = {
        {"a string", "[General]\n" + key + "=hello\n"},
        {"a number", "[General]\n" + key + "=5\n"},
        {"a list", "[General]\n" + key + "=a, b, c\n"},
        {"a truncated blob", "[General]\n" + key + "=@ByteArray({\"bindings\":[\n"},
        {"a foreign variant", "[General]\n" + key + "=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1)\n"},
        {"garbage", QByteArray("\x00\xFF[[[=\n@ByteArray", 18)},
        {"an empty file", ""},
    };
    for (const auto& c : cases) {
        writeSettingsFile(c.content);
        EXPECT_EQ(QSettingsDefaultsStore().data(preferencesKey), std::nullopt) << c.what;
    }
}

} // namespace
} // namespace tunescrib
