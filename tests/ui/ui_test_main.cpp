// The real window offscreen, rendered in software: no display or GPU needed, and the same
// pixels on every machine. A small second screen (1024 x 600) is there to move it to.

#include "ui/view_fonts.h"

#include <QGuiApplication>
#include <QTemporaryFile>
#include <QtGui/qpa/qwindowsysteminterface.h>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(TunescribPlugin)

int main(int argc, char* argv[]) {
    QTemporaryFile screens;
    if (!screens.open()) {
        return 1;
    }
    screens.write(R"({"windowFrameMargins": false, "screens": [
        {"name": "large", "x": 0, "y": 0, "width": 1920, "height": 1200},
        {"name": "small", "x": 1920, "y": 0, "width": 1024, "height": 600}]})");
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    qputenv("QT_QUICK_BACKEND", "software");
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication application(argc, argv);
    // Key, pointer and focus events sent by a test are handled before the call returns.
    QWindowSystemInterface::setSynchronousWindowSystemEvents(true);
    tunescrib::installApplicationFont();
    return RUN_ALL_TESTS();
}
