#pragma once
// The view geometry as QML sees it: the singleton `Geometry`, so that QML only places
// and paints what the C++ layout functions compute.

#include <QList>
#include <QObject>
#include <QRectF>
#include <QtQml/qqmlregistration.h>

namespace tunescrib {

// Stateless; main thread (called from QML bindings).
class ViewGeometry : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Geometry)
    QML_SINGLETON

    // White-key offsets left to right, and black-key offsets in ascending order.
    Q_PROPERTY(QList<int> whiteKeyOffsets READ whiteKeyOffsets CONSTANT)
    Q_PROPERTY(QList<int> blackKeyOffsets READ blackKeyOffsets CONSTANT)

public:
    using QObject::QObject;

    [[nodiscard]] static QList<int> whiteKeyOffsets();
    [[nodiscard]] static QList<int> blackKeyOffsets();

    Q_INVOKABLE [[nodiscard]] static QRectF keyRect(int offset, qreal width, qreal height);
    // -1 when (x, y) lies on no key.
    Q_INVOKABLE [[nodiscard]] static int keyAt(qreal x, qreal y, qreal width, qreal height);
    Q_INVOKABLE [[nodiscard]] static QRectF mappingCellRect(int offset, qreal gridWidth);
};

} // namespace tunescrib
