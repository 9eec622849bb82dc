#pragma once
// TimelineTags: the notes of the take on the timeline strip, each an amber tag with its
// note name, drawn as one picture. Only what shows is drawn: a tag hidden under later
// ones costs nothing, so a long take draws no more pieces than fit on the strip, and a
// note that ends costs one new picture at the next frame, never an item per note.

#include "ui/take_list_model.h"
#include "ui/timeline_geometry.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QStaticText>
#include <QtQml/qqmlregistration.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tunescrib {

// Main thread, but for paint(), which the scene graph may call on its render thread
// while the main thread waits for it.
class TimelineTags : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT

    Q_PROPERTY(tunescrib::TakeListModel* take READ take WRITE setTake NOTIFY takeChanged)
    Q_PROPERTY(QColor tagColor READ tagColor WRITE setTagColor NOTIFY lookChanged)
    Q_PROPERTY(QColor nameColor READ nameColor WRITE setNameColor NOTIFY lookChanged)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY lookChanged)

public:
    explicit TimelineTags(QQuickItem* parent = nullptr);

    [[nodiscard]] TakeListModel* take() const { return take_; }
    void setTake(TakeListModel* take);
    [[nodiscard]] QColor tagColor() const { return tagColor_; }
    void setTagColor(const QColor& color);
    [[nodiscard]] QColor nameColor() const { return nameColor_; }
    void setNameColor(const QColor& color);
    [[nodiscard]] QFont font() const { return font_; }
    void setFont(const QFont& font);

    void paint(QPainter* painter) override;

signals:
    void takeChanged();
    void lookChanged();

protected:
    void updatePolish() override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private:
    // The name of a MIDI note laid out once, in the font.
    const QStaticText& nameOf(std::int64_t midi);

    QPointer<TakeListModel> take_;
    QColor tagColor_;
    QColor nameColor_;
    QFont font_;
    std::unordered_map<std::int64_t, QStaticText> names;
    // What paint() draws, made by updatePolish(): the view and each shown name's text.
    TimelineView view;
    std::vector<QStaticText> shownNames;
};

} // namespace tunescrib
