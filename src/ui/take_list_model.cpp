#include "ui/take_list_model.h"

#include <algorithm>
#include <numeric>

namespace tunescrib {

TakeListModel::TakeListModel(const AppModel& model, QObject* parent)
    : QAbstractListModel(parent), model(model) {
    rebuild();
}

int TakeListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(order.size());
}

const RecordedNote& TakeListModel::note(std::size_t row) const {
    return model.recordedNotes()[order[row]];
}

QVariant TakeListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const RecordedNote& shown = note(static_cast<std::size_t>(index.row()));
    switch (role) {
    case nameRole:
        return QString::fromStdString(noteDetails(shown.midi).name);
    case startRole:
        return shown.start;
    case durationRole:
        return shown.duration;
    default:
        return {};
    }
}

QHash<int, QByteArray> TakeListModel::roleNames() const {
    return {{nameRole, "name"}, {startRole, "start"}, {durationRole, "duration"}};
}

void TakeListModel::takeChanged() {
    const auto& notes = model.recordedNotes();
    const std::size_t rows = order.size();
    // The notes seen so far are still there: only the newest one is new.
    if (notes.size() == rows + 1 && (rows == 0 || notes[rows - 1].id == lastNote)) {
        const RecordedNote& added = notes.back();
        const auto at = std::upper_bound(
            order.begin(), order.end(), added.start,
            [&notes](double start, std::uint32_t i) { return start < notes[i].start; });
        const int row = static_cast<int>(at - order.begin());
        beginInsertRows({}, row, row);
        timeline.insert(timeline.begin() + row, TimelineNote{added.start, added.duration});
        order.insert(at, static_cast<std::uint32_t>(rows));
        end = std::max(end, added.start + added.duration);
        lastNote = added.id;
        endInsertRows();
        emit countChanged();
        return;
    }
    // The same notes, moved to other pitches.
    if (notes.size() == rows && rows > 0 && notes.back().id == lastNote) {
        emit dataChanged(index(0), index(static_cast<int>(rows) - 1));
        return;
    }
    if (notes.empty() && rows == 0) {
        return;
    }
    beginResetModel();
    rebuild();
    endResetModel();
    emit countChanged();
}

void TakeListModel::rebuild() {
    const auto& notes = model.recordedNotes();
    std::vector<std::uint32_t> sorted(notes.size()); // a fresh one: a clear frees its room
    std::iota(sorted.begin(), sorted.end(), std::uint32_t{0});
    std::stable_sort(sorted.begin(), sorted.end(), [&notes](std::uint32_t a, std::uint32_t b) {
        return notes[a].start < notes[b].start;
    });
    order = std::move(sorted);
    std::vector<TimelineNote> times;
    times.reserve(order.size());
    for (const auto i : order) {
        times.push_back({notes[i].start, notes[i].duration});
    }
    timeline = std::move(times);
    end = 0.0;
    for (const auto& note : notes) {
        end = std::max(end, note.start + note.duration);
    }
    lastNote = notes.empty() ? Uuid{} : notes.back().id;
}

} // namespace tunescrib
