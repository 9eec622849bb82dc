// A window that takes file drops as a DAW or a file manager does, and prints the URL of
// every file dropped on it, one a line, for the whole-program tests to read.

#include <QGuiApplication>
#include <QQmlApplicationEngine>

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData(R"(
import QtQuick
import QtQuick.Window

Window {
    title: "drop target"
    x: 0
    y: 300
    width: 130
    height: 200
    visible: true
    color: area.containsDrag ? "orange" : "steelblue"

    DropArea {
        id: area
        anchors.fill: parent
        keys: ["text/uri-list"]
        onDropped: (drop) => {
            for (const url of drop.urls)
                console.info(url)
            drop.accept(Qt.CopyAction)
        }
    }
}
)");
    return engine.rootObjects().isEmpty() ? 1 : QGuiApplication::exec();
}
