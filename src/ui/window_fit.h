#pragma once
// WindowFit: how much a window's content must shrink so that its layout, which needs a
// minimum size, fits the room the window's screen leaves: the screen's available area
// (less panels) less the window's frame. On a screen with room enough it is 1 and nothing
// changes; on a 1024 x 600 screen, or 1920 x 1080 at 200 %, the content is drawn smaller
// as a whole, keeping its layout, so that every control stays on the screen.

#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

namespace tunescrib {

// The scale, at most 1, at which content laid out at `minimum` fits `room`. An empty room
// (a screen not known yet) needs none.
[[nodiscard]] qreal scaleToFit(QSizeF minimum, QSizeF room);

// Main thread only.
class WindowFit : public QObject {
    Q_OBJECT
    QML_ELEMENT

    Q_PROPERTY(QWindow* window READ window WRITE setWindow NOTIFY windowChanged)
    // The layout's minimum size, in points.
    Q_PROPERTY(QSizeF minimum READ minimum WRITE setMinimum NOTIFY minimumChanged)
    // The room for the window's inside; infinite while the screen is not known.
    Q_PROPERTY(QSizeF room READ room NOTIFY fitChanged)
    // scaleToFit(minimum, room).
    Q_PROPERTY(qreal scale READ scale NOTIFY fitChanged)

public:
    using QObject::QObject;

    [[nodiscard]] QWindow* window() const { return window_; }
    void setWindow(QWindow* window);
    [[nodiscard]] QSizeF minimum() const { return minimum_; }
    void setMinimum(QSizeF minimum);
    [[nodiscard]] QSizeF room() const { return room_; }
    [[nodiscard]] qreal scale() const { return scaleToFit(minimum_, room_); }

signals:
    void windowChanged();
    void minimumChanged();
    void fitChanged();

private:
    void followScreen();
    void update();

    QPointer<QWindow> window_;
    QSizeF minimum_;
    QSizeF room_;
    QMetaObject::Connection screenConnection;
};

} // namespace tunescrib
