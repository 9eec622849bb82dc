#include "ui/timeline_tags.h"

#include "model/pitch.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace tunescrib {

TimelineTags::TimelineTags(QQuickItem* parent) : QQuickPaintedItem(parent) {}

void TimelineTags::setTake(TakeListModel* take) {
    if (take_ == take) {
        return;
    }
    if (take_ != nullptr) {
        disconnect(take_, nullptr, this, nullptr);
    }
    take_ = take;
    if (take_ != nullptr) {
        // Whatever changed, the whole strip is laid out afresh: a new note moves every tag.
        const auto changed = [this] { polish(); };
        connect(take_, &QAbstractItemModel::rowsInserted, this, changed);
        connect(take_, &QAbstractItemModel::rowsRemoved, this, changed);
        connect(take_, &QAbstractItemModel::dataChanged, this, changed);
        connect(take_, &QAbstractItemModel::modelReset, this, changed);
    }
    polish();
    emit takeChanged();
}

void TimelineTags::setTagColor(const QColor& color) {
    tagColor_ = color;
    update();
    emit lookChanged();
}

void TimelineTags::setNameColor(const QColor& color) {
    nameColor_ = color;
    update();
    emit lookChanged();
}

void TimelineTags::setFont(const QFont& font) {
    font_ = font;
    names.clear();
    polish();
    emit lookChanged();
}

void TimelineTags::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        polish();
    }
}

const QStaticText& TimelineTags::nameOf(std::int64_t midi) {
    auto found = names.find(midi);
    if (found == names.end()) {
        QStaticText text(QString::fromStdString(noteDetails(midi).name));
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), font_);
        found = names.emplace(midi, std::move(text)).first;
    }
    return found->second;
}

void TimelineTags::updatePolish() {
    if (take_ == nullptr) {
        view = {};
        shownNames.clear();
        update();
        return;
    }
    view = visibleTimeline(take_->times(), take_->duration(), width());
    shownNames.clear();
    shownNames.reserve(view.names.size());
    const QFontMetricsF metrics(font_);
    for (const auto& name : view.names) {
        const QStaticText& text = nameOf(take_->note(name.position).midi);
        const double room = name.tag.width() - 2 * timelineNamePadding;
        if (text.size().width() <= room) {
            shownNames.push_back(text);
            continue;
        }
        // Only on a strip too narrow for the shortest tag.
        QStaticText cut(metrics.elidedText(text.text(), Qt::ElideRight, std::max(room, 0.0)));
        cut.setTextFormat(Qt::PlainText);
        cut.prepare(QTransform(), font_);
        shownNames.push_back(std::move(cut));
    }
    update();
}

void TimelineTags::paint(QPainter* painter) {
    for (const QRectF& band : view.bands) {
        painter->fillRect(band, tagColor_);
    }
    painter->setFont(font_);
    painter->setPen(nameColor_);
    for (std::size_t i = 0; i < view.names.size(); ++i) {
        const auto& name = view.names[i];
        const QStaticText& text = shownNames[i];
        painter->setClipRect(name.visible);
        // Left-aligned after the padding and centred in the tag's height.
        const QPointF at(std::round(name.tag.left()) + timelineNamePadding,
                         name.tag.top() + (name.tag.height() - text.size().height()) / 2);
        painter->drawStaticText(at, text);
    }
}

} // namespace tunescrib
