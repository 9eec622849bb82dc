#pragma once
// TakeListModel: the take as the window sees it, one row per note in start order (notes
// starting together in the order they ended), with the roles `name` ("C♯4"), `start` and
// `duration` (seconds). It follows AppModel's take as it changes: a note that ends is one
// inserted row, a transposed take one change of every row, anything else (a new
// recording, a clear, a take brought back) one reset. So a note costs the same however
// long the take is.

#include "app/app_model.h"
#include "ui/timeline_geometry.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>

#include <cstdint>
#include <span>
#include <vector>

namespace tunescrib {

// Main thread only, like the model, which must outlive it.
class TakeListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the take of AppModel")

    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { nameRole = Qt::UserRole + 1, startRole, durationRole };

    explicit TakeListModel(const AppModel& model, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    [[nodiscard]] int count() const { return rowCount(); }
    // The note of a row, 0 <= row < count().
    [[nodiscard]] const RecordedNote& note(std::size_t row) const;
    // Start and duration of every row, for drawing.
    [[nodiscard]] std::span<const TimelineNote> times() const { return timeline; }
    // End of the last-ending note, seconds; 0 for an empty take. Kept up as notes come.
    [[nodiscard]] double duration() const { return end; }

    // Catches up with the model's take after the model published a change of it.
    void takeChanged();

signals:
    void countChanged();

private:
    void rebuild();

    const AppModel& model;
    // Indices into model.recordedNotes() (the order notes ended in), by start.
    std::vector<std::uint32_t> order;
    // Start and duration by row, side by side in memory: the timeline reads them all.
    std::vector<TimelineNote> timeline;
    double end = 0.0;
    Uuid lastNote; // id of the last note in the model's take when last caught up
};

} // namespace tunescrib
