// The UI tests run the real window offscreen, rendered in software, so that they need no
// display and no GPU and grab the same pixels on every machine.

#include "ui/view_fonts.h"

#include <QGuiApplication>
#include <QtGui/qpa/qwindowsysteminterface.h>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(TunescribPlugin)

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication application(argc, argv);
    // Key, pointer and focus events sent by a test are handled before the call returns.
    QWindowSystemInterface::setSynchronousWindowSystemEvents(true);
    tunescrib::installApplicationFont();
    return RUN_ALL_TESTS();
}
