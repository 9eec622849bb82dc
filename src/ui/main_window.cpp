#include "ui/main_window.h"

#include "app/app_model.h"

#include <QQuickWindow>

namespace tunescrib {

MainWindow::MainWindow(AppModel& model, KeysDownQuery keysDown) : facade(model) {
    // Through the module, not by the file's URL: only a module import loads the module's
    // C++ types (the facade, the fonts, the geometry) alongside its QML files. Qt 6.4 does
    // not look for modules in the resources by itself.
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.loadData(QByteArrayLiteral("import Tunescrib\nMain {}"),
                    QUrl(QStringLiteral("qrc:/tunescrib-main.qml")));
    const auto roots = engine.rootObjects();
    quickWindow = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
    if (quickWindow == nullptr) {
        return;
    }
    // A child of the window, gone with it.
    new KeyEventBridge(*quickWindow, model, std::move(keysDown));
}

} // namespace tunescrib
