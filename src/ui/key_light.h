#pragma once
// KeyLight: whether the note of one key sounds now, as a property of its own, so that a
// note lights or darkens its own key alone instead of every key re-reading all twenty.

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tunescrib {

// Main thread only.
class KeyLight : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("one per key of AppModel")

    Q_PROPERTY(bool active READ active NOTIFY activeChanged)

public:
    using QObject::QObject;

    [[nodiscard]] bool active() const { return active_; }
    // Notifies only a change.
    void setActive(bool active) {
        if (active != active_) {
            active_ = active;
            emit activeChanged();
        }
    }

signals:
    void activeChanged();

private:
    bool active_ = false;
};

} // namespace tunescrib
