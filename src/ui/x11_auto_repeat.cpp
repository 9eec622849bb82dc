#include "ui/x11_auto_repeat.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace tunescrib {

void makeAutoRepeatDetectable() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->display() == nullptr) {
        return;
    }
    Bool supported = False;
    XkbSetDetectableAutoRepeat(x11->display(), True, &supported);
}

} // namespace tunescrib
