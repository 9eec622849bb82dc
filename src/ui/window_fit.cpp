#include "ui/window_fit.h"

#include <QScreen>

#include <algorithm>
#include <limits>

namespace tunescrib {

namespace {
constexpr qreal unknown = std::numeric_limits<qreal>::infinity();
} // namespace

qreal scaleToFit(QSizeF minimum, QSizeF room) {
    if (room.isEmpty() || minimum.isEmpty()) {
        return 1.0;
    }
    return std::min({1.0, room.width() / minimum.width(), room.height() / minimum.height()});
}

void WindowFit::setWindow(QWindow* window) {
    if (window_ == window) {
        return;
    }
    if (window_ != nullptr) {
        disconnect(window_, nullptr, this, nullptr);
    }
    window_ = window;
    if (window_ != nullptr) {
        connect(window_, &QWindow::screenChanged, this, &WindowFit::followScreen);
        // The frame is known only once the window manager has framed the window, which
        // moves the window's inside.
        connect(window_, &QWindow::visibleChanged, this, &WindowFit::update);
        connect(window_, &QWindow::xChanged, this, &WindowFit::update);
        connect(window_, &QWindow::yChanged, this, &WindowFit::update);
    }
    followScreen();
    emit windowChanged();
}

void WindowFit::setMinimum(QSizeF minimum) {
    minimum_ = minimum;
    emit minimumChanged();
    emit fitChanged();
}

void WindowFit::followScreen() {
    disconnect(screenConnection);
    if (window_ != nullptr && window_->screen() != nullptr) {
        screenConnection = connect(window_->screen(), &QScreen::availableGeometryChanged, this,
                                   &WindowFit::update);
    }
    update();
}

void WindowFit::update() {
    QSizeF room(unknown, unknown);
    if (window_ != nullptr && window_->screen() != nullptr &&
        !window_->screen()->availableGeometry().isEmpty()) {
        const QMargins frame = window_->frameMargins();
        room = QSizeF(window_->screen()->availableGeometry().size()) -
               QSizeF(frame.left() + frame.right(), frame.top() + frame.bottom());
    }
    if (room.width() != room_.width() || room.height() != room_.height()) {
        room_ = room;
        emit fitChanged();
    }
}

} // namespace tunescrib
