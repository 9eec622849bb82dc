// Before the window: Qt's standard options are taken, and a window that cannot be opened
// is explained in one line that names the cause and the cure.

#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace tunescrib {
namespace {

QProcessEnvironment
environmentWith(std::initializer_list<std::pair<const char*, const char*>> vars) {
    QProcessEnvironment environment;
    for (const auto& [name, value] : vars) {
        environment.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    }
    return environment;
}

TEST(CommandLine, QtsOwnOptionsAreAcceptedAndTheirPlatformIsTheOneAskedFor) {
    struct Case {
        std::vector<const char*> arguments;
        const char* platformVariable;
        const char* platform;
        const char* askedBy;
    };
    const std::vector<Case> cases = {
        {{"-platform", "offscreen", "-style", "Fusion", "-reverse", "-qwindowtitle", "x"},
         "xcb",
         "offscreen",
         "-platform"},
        {{"--platform=minimal", "-qwindowgeometry", "300x200+0+0"}, "", "minimal", "-platform"},
        {{"-display", ":3", "-platformtheme", "gtk3"}, "bogus", "bogus", "QT_QPA_PLATFORM"},
        {{"-session", "abc"}, "", "", "QT_QPA_PLATFORM"},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv{const_cast<char*>("tunescrib")};
        for (const char* argument : c.arguments) {
            argv.push_back(const_cast<char*>(argument));
        }
        argv.push_back(nullptr);
        const int argc = static_cast<int>(argv.size()) - 1;
        EXPECT_EQ(handleCommandLine(argc, argv.data()), std::nullopt) << c.arguments.front();
        const auto request = requestedPlatform(
            argc, argv.data(), environmentWith({{"QT_QPA_PLATFORM", c.platformVariable}}));
        EXPECT_EQ(request.platform, c.platform) << c.arguments.front();
        EXPECT_EQ(request.askedBy, c.askedBy) << c.arguments.front();
    }
}

TEST(CommandLine, AWindowThatCannotOpenIsExplainedByItsCause) {
    const QStringList everything = {"xcb", "wayland", "wayland-egl", "offscreen"};
    const QStringList noWayland = {"xcb", "offscreen"};
    struct Case {
        const char* what;
        PlatformRequest request;
        QStringList available;
        QProcessEnvironment environment;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"a mistyped platform",
         {"bogus", "QT_QPA_PLATFORM"},
         everything,
         environmentWith({{"DISPLAY", ":0"}}),
         "unknown platform 'bogus' (from QT_QPA_PLATFORM): the platforms Qt has here are xcb, "
         "wayland, wayland-egl, offscreen"},
        {"Wayland asked for, no plugin",
         {"wayland", "-platform"},
         noWayland,
         environmentWith({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}),
         "the Qt Wayland platform plugin is not installed: install the package qt6-wayland, or "
         "set QT_QPA_PLATFORM=xcb to use X11 through XWayland"},
        {"a Wayland session without XWayland, no plugin",
         {"", "QT_QPA_PLATFORM"},
         noWayland,
         environmentWith({{"WAYLAND_DISPLAY", "wayland-0"}}),
         "this is a Wayland session without XWayland (DISPLAY is not set), and the Qt Wayland "
         "platform plugin is not installed: install the package qt6-wayland"},
        {"a Wayland compositor that is not there",
         {"", "QT_QPA_PLATFORM"},
         everything,
         environmentWith({{"WAYLAND_DISPLAY", "wayland-9"}}),
         "cannot connect to the Wayland compositor 'wayland-9'"},
        {"an X server that refuses",
         {"", "QT_QPA_PLATFORM"},
         everything,
         environmentWith({{"DISPLAY", ":5"}}),
         "cannot open a window on the X display ':5'"},
        {"a Wayland session whose X fallback refuses",
         {"", "QT_QPA_PLATFORM"},
         noWayland,
         environmentWith({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":1"}}),
         "cannot open a window on the X display ':1'"},
    };
    for (const auto& c : cases) {
        const QString reason = platformFailureReason(c.request, c.available, c.environment);
        EXPECT_TRUE(reason.startsWith(QString::fromUtf8(c.says)))
            << c.what << ": " << reason.toStdString();
        EXPECT_FALSE(reason.contains(QLatin1Char('\n'))) << c.what;
    }

    EXPECT_TRUE(missingDisplayReason({}, {"", "QT_QPA_PLATFORM"}));
    EXPECT_TRUE(missingDisplayReason({}, {"wayland", "-platform"}));
    EXPECT_FALSE(missingDisplayReason({}, {"offscreen", "-platform"}));
    EXPECT_FALSE(missingDisplayReason(environmentWith({{"WAYLAND_DISPLAY", "wayland-0"}}),
                                      {"", "QT_QPA_PLATFORM"}));
}

} // namespace
} // namespace tunescrib
