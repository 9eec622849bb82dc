// Before the window: Qt's standard options are taken, and a window that cannot be opened
// is explained in one line that names the cause and the cure.

#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace tunescrib {
namespace {

// The variables of "NAME=value NAME=value".
QProcessEnvironment environmentWith(const QString& assignments) {
    QProcessEnvironment environment;
    for (const QString& assignment : assignments.split(u' ', Qt::SkipEmptyParts)) {
        environment.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    }
    return environment;
}

TEST(CommandLine, QtsOwnOptionsAreAcceptedAndTheirPlatformIsTheOneAskedFor) {
    struct Case {
        const char* arguments;
        const char* platformVariable;
        const char* platform;
        const char* askedBy;
    };
    const Case cases[] = {
        {"-platform offscreen -style Fusion -reverse -qwindowtitle x", "xcb", "offscreen",
         "-platform"},
        {"--platform=minimal -qwindowgeometry 300x200+0+0", "", "minimal", "-platform"},
        {"-display :3 -platformtheme gtk3", "bogus", "bogus", "QT_QPA_PLATFORM"},
        {"-session abc", "", "", "QT_QPA_PLATFORM"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        QByteArrayList arguments = QByteArray("tunescrib ").append(c.arguments).split(' ');
        std::vector<char*> argv;
        for (QByteArray& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int argc = static_cast<int>(argv.size()) - 1;
        EXPECT_EQ(handleCommandLine(argc, argv.data()), std::nullopt);
        const auto request =
            requestedPlatform(argc, argv.data(),
                              environmentWith(QStringLiteral("QT_QPA_PLATFORM=") +
                                              QString::fromLatin1(c.platformVariable)));
        EXPECT_EQ(request.platform, c.platform);
        EXPECT_EQ(request.askedBy, c.askedBy);
    }
}

TEST(CommandLine, AWindowThatCannotOpenIsExplainedByItsCause) {
    const QStringList everything = {"xcb", "wayland", "wayland-egl", "offscreen"};
    const QStringList noWayland = {"xcb", "offscreen"};
    struct Case {
        PlatformRequest request;
        QStringList available;
        const char* environment;
        const char* says;
    };
    const Case cases[] = {
        {{"bogus", "QT_QPA_PLATFORM"},
         everything,
         "DISPLAY=:0",
         "unknown platform 'bogus' (from QT_QPA_PLATFORM): the platforms Qt has here are xcb, "
         "wayland, wayland-egl, offscreen"},
        {{"wayland", "-platform"},
         noWayland,
         "WAYLAND_DISPLAY=wayland-0 DISPLAY=:0",
         "the Qt Wayland platform plugin is not installed: install the package qt6-wayland, or "
         "set QT_QPA_PLATFORM=xcb to use X11 through XWayland"},
        {{"", "QT_QPA_PLATFORM"},
         noWayland,
         "WAYLAND_DISPLAY=wayland-0",
         "this is a Wayland session without XWayland (DISPLAY is not set), and the Qt Wayland "
         "platform plugin is not installed: install the package qt6-wayland"},
        {{"", "QT_QPA_PLATFORM"},
         everything,
         "WAYLAND_DISPLAY=wayland-9",
         "cannot connect to the Wayland compositor 'wayland-9'"},
        {{"", "QT_QPA_PLATFORM"},
         everything,
         "DISPLAY=:5",
         "cannot open a window on the X display ':5'"},
        // A Wayland session whose X fallback refuses.
        {{"", "QT_QPA_PLATFORM"},
         noWayland,
         "WAYLAND_DISPLAY=wayland-0 DISPLAY=:1",
         "cannot open a window on the X display ':1'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.environment);
        const QString reason = platformFailureReason(
            c.request, c.available, environmentWith(QString::fromLatin1(c.environment)));
        EXPECT_TRUE(reason.startsWith(QString::fromUtf8(c.says))) << reason.toStdString();
        EXPECT_FALSE(reason.contains(QLatin1Char('\n')));
    }

    EXPECT_TRUE(missingDisplayReason({}, {"", "QT_QPA_PLATFORM"}));
    EXPECT_TRUE(missingDisplayReason({}, {"wayland", "-platform"}));
    EXPECT_FALSE(missingDisplayReason({}, {"offscreen", "-platform"}));
    EXPECT_FALSE(missingDisplayReason(environmentWith(QStringLiteral("WAYLAND_DISPLAY=wayland-0")),
                                      {"", "QT_QPA_PLATFORM"}));
}

} // namespace
} // namespace tunescrib
