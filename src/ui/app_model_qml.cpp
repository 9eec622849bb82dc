#include "ui/app_model_qml.h"

#include "platform/atomic_file.h"
#include "ui/readout_text.h"

#include <QJSEngine>
#include <QVariantMap>

namespace tunescrib {

namespace {

// QML singletons are made by the engine through create(); the facade is made before
// the engine by the composition, which owns it.
AppModelQml* currentInstance = nullptr;

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

AppModelQml::AppModelQml(AppModel& model, QObject* parent)
    : QObject(parent), model(model),
      subscription(model.subscribe([this](Property property) { published(property); })),
      keyCaps(connectLayoutKeyCaps()) {
    currentInstance = this;
    updateKeyLights();
    if (keyCaps) {
        connect(keyCaps.get(), &LayoutKeyCaps::changed, this, [this] {
            emit keyLabelsChanged();
            emit keyNamesChanged();
        });
    }
}

AppModelQml::~AppModelQml() {
    if (currentInstance == this) {
        currentInstance = nullptr;
    }
}

AppModelQml* AppModelQml::create(QQmlEngine*, QJSEngine*) {
    QJSEngine::setObjectOwnership(currentInstance, QJSEngine::CppOwnership);
    return currentInstance;
}

void AppModelQml::published(Property property) {
    switch (property) {
    case Property::baseOctave:
        emit baseOctaveChanged();
        emit noteNamesChanged();
        emit keyNamesChanged();
        emit controlsChanged();
        emit capturePromptChanged();
        updateKeyLights();
        break;
    case Property::transposition:
        emit transpositionChanged();
        emit noteNamesChanged();
        emit keyNamesChanged();
        emit controlsChanged();
        emit capturePromptChanged();
        updateKeyLights();
        break;
    case Property::soundMode:
        emit soundModeChanged();
        break;
    case Property::bindings:
        emit keyLabelsChanged();
        emit keyNamesChanged();
        break;
    case Property::activeMidis:
        updateKeyLights();
        break;
    case Property::lastMidi:
        emit currentNoteChanged();
        break;
    case Property::recordedNotes:
        takeModel.takeChanged();
        emit recordedNotesChanged();
        emit controlsChanged();
        break;
    case Property::isRecording:
        emit isRecordingChanged();
        emit controlsChanged();
        break;
    case Property::isPlaying:
        emit isPlayingChanged();
        emit controlsChanged();
        break;
    case Property::mappingOpen:
        emit mappingOpenChanged();
        break;
    case Property::mappingTarget:
        emit mappingTargetChanged();
        emit capturePromptChanged();
        break;
    case Property::notice:
        emit noticeChanged();
        break;
    case Property::audioError:
        emit audioErrorChanged();
        break;
    }
}

int AppModelQml::baseOctave() const {
    return static_cast<int>(model.baseOctave());
}

int AppModelQml::transposition() const {
    return static_cast<int>(model.transposition());
}

QString AppModelQml::transpositionText() const {
    return fromUtf8(signedText(model.transposition()));
}

QString AppModelQml::soundMode() const {
    return fromUtf8(rawValue(model.soundMode()));
}

QVariantList AppModelQml::soundModes() {
    QVariantList modes;
    for (const auto mode : allSoundModes) {
        modes.append(QVariantMap{{QStringLiteral("mode"), fromUtf8(rawValue(mode))},
                                 {QStringLiteral("title"), fromUtf8(displayName(mode))},
                                 {QStringLiteral("caption"), fromUtf8(shortDescription(mode))}});
    }
    return modes;
}

QString AppModelQml::keyLabel(std::size_t offset) const {
    const auto& binding = model.bindings().at(offset);
    const auto cap = keyCaps ? keyCaps->capFor(binding.keyCode) : std::nullopt;
    return cap ? *cap : fromUtf8(shownLabel(binding.label));
}

QString AppModelQml::keyName(std::size_t offset) const {
    const auto details = noteDetails(model.midiFor(static_cast<std::int64_t>(offset)));
    return fromUtf8(details.name) + u' ' + fromUtf8(details.solfege) + u' ' + keyLabel(offset);
}

QStringList AppModelQml::keyLabels() const {
    QStringList labels;
    for (const auto offset : keyOffsets) {
        labels.append(keyLabel(static_cast<std::size_t>(offset)));
    }
    return labels;
}

QStringList AppModelQml::keyNames() const {
    QStringList names;
    for (const auto offset : keyOffsets) {
        names.append(keyName(static_cast<std::size_t>(offset)));
    }
    return names;
}

QStringList AppModelQml::noteNames() const {
    QStringList names;
    for (const auto offset : keyOffsets) {
        names.append(fromUtf8(noteDetails(model.midiFor(offset)).name));
    }
    return names;
}

QList<QObject*> AppModelQml::keys() const {
    QList<QObject*> keys;
    for (const auto& light : keyLights) {
        keys.append(const_cast<KeyLight*>(&light)); // QML reads it; nothing writes through it
    }
    return keys;
}

void AppModelQml::updateKeyLights() {
    for (const auto offset : keyOffsets) {
        keyLights[static_cast<std::size_t>(offset)].setActive(model.isActive(offset));
    }
}

QString AppModelQml::rangeText() const {
    return fromUtf8(tunescrib::rangeText(model.rangeStart(), model.rangeEnd()));
}

ControlStates AppModelQml::controls() const {
    return controlStates({.baseOctave = model.baseOctave(),
                          .transposition = model.transposition(),
                          .recording = model.isRecording(),
                          .playing = model.isPlaying(),
                          .noteCount = model.recordedNotes().size()});
}

bool AppModelQml::hasCurrentNote() const {
    return model.lastMidi().has_value();
}

QString AppModelQml::currentName() const {
    const auto details = model.currentDetails();
    return details ? fromUtf8(details->name) : QString();
}

QString AppModelQml::currentSolfege() const {
    const auto details = model.currentDetails();
    return details ? fromUtf8(details->solfege) : QString();
}

int AppModelQml::noteCount() const {
    return static_cast<int>(model.recordedNotes().size());
}

double AppModelQml::takeDuration() const {
    return takeModel.duration();
}

QString AppModelQml::takeSummary() const {
    return fromUtf8(tunescrib::takeSummary(model.recordedNotes().size(), takeModel.duration()));
}

bool AppModelQml::isRecording() const {
    return model.isRecording();
}

bool AppModelQml::isPlaying() const {
    return model.isPlaying();
}

bool AppModelQml::mappingOpen() const {
    return model.mappingOpen();
}

int AppModelQml::mappingTarget() const {
    const auto target = model.mappingTarget();
    return target ? static_cast<int>(*target) : -1;
}

QString AppModelQml::capturePrompt() const {
    const auto target = model.mappingTarget();
    if (!target) {
        return fromUtf8(tunescrib::capturePrompt(std::nullopt));
    }
    const auto name = noteDetails(model.midiFor(*target)).name;
    return fromUtf8(tunescrib::capturePrompt(name));
}

QString AppModelQml::notice() const {
    return fromUtf8(model.notice());
}

bool AppModelQml::hasAudioError() const {
    return model.audioError().has_value();
}

QString AppModelQml::audioError() const {
    const auto& error = model.audioError();
    return error ? fromUtf8(*error) : QString();
}

namespace {
std::string pointerSource(int offset) {
    return "pointer:" + std::to_string(offset);
}
} // namespace

void AppModelQml::pressKey(int offset) {
    if (offset >= 0 && static_cast<std::size_t>(offset) < tunescrib::noteCount) {
        model.startSource(offset, pointerSource(offset));
    }
}

void AppModelQml::releaseKey(int offset) {
    model.stopSource(pointerSource(offset));
}

void AppModelQml::toggleRecording() {
    model.toggleRecording();
}

void AppModelQml::playRecording() {
    model.playRecording();
}

void AppModelQml::clearRecording() {
    model.clearRecording();
}

void AppModelQml::undoClear() {
    model.undoClear();
}

QUrl AppModelQml::exportFolder() {
    return tunescrib::exportFolder();
}

QString AppModelQml::proposedExportName() {
    return tunescrib::proposedExportName(QDateTime::currentDateTime());
}

void AppModelQml::exportTake(const QUrl& file) {
    model.exportTake(exportPath(file).toStdString(), writeFileAtomically);
}

QUrl AppModelQml::takeDragUrl() {
    const QDateTime now = QDateTime::currentDateTime();
    const QString path = dragFile.nextPath(now);
    if (path.isEmpty()) {
        const FileWriter noFolder = [](const std::string&, std::span<const std::uint8_t>) {
            return std::make_error_code(std::errc::no_such_file_or_directory);
        };
        model.exportTake(tunescrib::proposedExportName(now).toStdString(), noFolder, false);
        return {};
    }
    return model.exportTake(path.toStdString(), writeFileAtomically, false)
               ? QUrl::fromLocalFile(path)
               : QUrl();
}

void AppModelQml::setSoundMode(const QString& mode) {
    if (const auto parsed = soundModeFromRaw(mode.toStdString())) {
        model.setSoundMode(*parsed);
    }
}

void AppModelQml::changeOctave(int step) {
    model.changeOctave(step);
}

void AppModelQml::changeTransposition(int value) {
    model.changeTransposition(value);
}

void AppModelQml::openMapping() {
    model.setMappingOpen(true);
}

void AppModelQml::closeMapping() {
    model.closeMapping();
}

void AppModelQml::selectMapping(int offset) {
    model.selectMapping(offset);
}

void AppModelQml::resetBindings() {
    model.resetBindings();
}

void AppModelQml::silence() {
    model.stopPlayback();
    model.stopAllLiveSources();
}

} // namespace tunescrib
