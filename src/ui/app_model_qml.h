#pragma once
// AppModelQml: the window's view of AppModel, the QML singleton `AppModel`. It keeps no
// state of its own: every READ asks the model, every operation calls it, and every
// published assignment the model reports becomes the NOTIFY signals of the properties
// that depend on it. Only so that one note changes one thing does it remember what it
// last told: the take's order (TakeListModel) and which keys are lit (KeyLight).

#include "app/app_model.h"
#include "ui/key_light.h"
#include "ui/layout_key_caps.h"
#include "ui/take_files.h"
#include "ui/take_list_model.h"
#include "ui/view_rules.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <array>

class QJSEngine;
class QQmlEngine;

namespace tunescrib {

// Main thread only, like the model. The model must outlive the facade.
class AppModelQml : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(AppModel)
    QML_SINGLETON

    Q_PROPERTY(int baseOctave READ baseOctave NOTIFY baseOctaveChanged)
    Q_PROPERTY(int transposition READ transposition NOTIFY transpositionChanged)
    // "+3", "0", "-2".
    Q_PROPERTY(QString transpositionText READ transpositionText NOTIFY transpositionChanged)
    // "piano" or "sine".
    Q_PROPERTY(QString soundMode READ soundMode NOTIFY soundModeChanged)
    // Every timbre in order: {mode, title, caption}.
    Q_PROPERTY(QVariantList soundModes READ soundModes CONSTANT)
    // Per offset: what the user's keyboard layout prints on its key, or else the stored
    // label of its key, cut for display.
    Q_PROPERTY(QStringList keyLabels READ keyLabels NOTIFY keyLabelsChanged)
    // Per offset: what a screen reader calls its key: note, solfège and key cap ("C4 ド A").
    Q_PROPERTY(QStringList keyNames READ keyNames NOTIFY keyNamesChanged)
    // Per offset: the name of the note it plays now ("C4").
    Q_PROPERTY(QStringList noteNames READ noteNames NOTIFY noteNamesChanged)
    // Per offset: a KeyLight telling whether its note sounds now, from any source.
    Q_PROPERTY(QList<QObject*> keys READ keys CONSTANT)
    // "C4 — G5".
    Q_PROPERTY(QString rangeText READ rangeText NOTIFY noteNamesChanged)
    // Which controls may be used now (ControlStates).
    Q_PROPERTY(bool canPlay READ canPlay NOTIFY controlsChanged)
    Q_PROPERTY(bool canClear READ canClear NOTIFY controlsChanged)
    Q_PROPERTY(bool canExport READ canExport NOTIFY controlsChanged)
    Q_PROPERTY(bool canDragTake READ canDragTake NOTIFY controlsChanged)
    Q_PROPERTY(bool canLowerOctave READ canLowerOctave NOTIFY controlsChanged)
    Q_PROPERTY(bool canRaiseOctave READ canRaiseOctave NOTIFY controlsChanged)
    Q_PROPERTY(bool canLowerTransposition READ canLowerTransposition NOTIFY controlsChanged)
    Q_PROPERTY(bool canRaiseTransposition READ canRaiseTransposition NOTIFY controlsChanged)
    Q_PROPERTY(bool canResetTransposition READ canResetTransposition NOTIFY controlsChanged)
    // Name and solfège of the last note started; empty before the first note.
    Q_PROPERTY(bool hasCurrentNote READ hasCurrentNote NOTIFY currentNoteChanged)
    Q_PROPERTY(QString currentName READ currentName NOTIFY currentNoteChanged)
    Q_PROPERTY(QString currentSolfege READ currentSolfege NOTIFY currentNoteChanged)
    Q_PROPERTY(int noteCount READ noteCount NOTIFY recordedNotesChanged)
    Q_PROPERTY(double takeDuration READ takeDuration NOTIFY recordedNotesChanged)
    // "12音 / 4.5秒".
    Q_PROPERTY(QString takeSummary READ takeSummary NOTIFY recordedNotesChanged)
    // The take in start order, one row per note: name, start, duration.
    Q_PROPERTY(tunescrib::TakeListModel* take READ take CONSTANT)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool mappingOpen READ mappingOpen NOTIFY mappingOpenChanged)
    // The offset waiting for a key, -1 when none.
    Q_PROPERTY(int mappingTarget READ mappingTarget NOTIFY mappingTargetChanged)
    // What the key-map panel asks of the user now.
    Q_PROPERTY(QString capturePrompt READ capturePrompt NOTIFY capturePromptChanged)
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)
    Q_PROPERTY(bool hasAudioError READ hasAudioError NOTIFY audioErrorChanged)
    Q_PROPERTY(QString audioError READ audioError NOTIFY audioErrorChanged)
    // The folder the save dialog for an export opens in.
    Q_PROPERTY(QUrl exportFolder READ exportFolder CONSTANT)

public:
    // Shows the caps of the user's keyboard layout when the window system tells them.
    explicit AppModelQml(AppModel& model, QObject* parent = nullptr);
    ~AppModelQml() override;

    // The instance QML's `AppModel` resolves to; the newest facade made. The engine does
    // not own it.
    static AppModelQml* create(QQmlEngine* qmlEngine, QJSEngine* jsEngine);

    [[nodiscard]] int baseOctave() const;
    [[nodiscard]] int transposition() const;
    [[nodiscard]] QString transpositionText() const;
    [[nodiscard]] QString soundMode() const;
    [[nodiscard]] static QVariantList soundModes();
    [[nodiscard]] QStringList keyLabels() const;
    [[nodiscard]] QStringList keyNames() const;
    // The two above for one offset 0...19.
    [[nodiscard]] QString keyLabel(std::size_t offset) const;
    [[nodiscard]] QString keyName(std::size_t offset) const;
    [[nodiscard]] QStringList noteNames() const;
    [[nodiscard]] QList<QObject*> keys() const;
    [[nodiscard]] QString rangeText() const;
    [[nodiscard]] bool canPlay() const { return controls().canPlay; }
    [[nodiscard]] bool canClear() const { return controls().canClear; }
    [[nodiscard]] bool canExport() const { return controls().canExport; }
    [[nodiscard]] bool canDragTake() const { return controls().canDragTake; }
    [[nodiscard]] bool canLowerOctave() const { return controls().canLowerOctave; }
    [[nodiscard]] bool canRaiseOctave() const { return controls().canRaiseOctave; }
    [[nodiscard]] bool canLowerTransposition() const { return controls().canLowerTransposition; }
    [[nodiscard]] bool canRaiseTransposition() const { return controls().canRaiseTransposition; }
    [[nodiscard]] bool canResetTransposition() const { return controls().canResetTransposition; }
    [[nodiscard]] bool hasCurrentNote() const;
    [[nodiscard]] QString currentName() const;
    [[nodiscard]] QString currentSolfege() const;
    [[nodiscard]] int noteCount() const;
    [[nodiscard]] double takeDuration() const;
    [[nodiscard]] QString takeSummary() const;
    [[nodiscard]] TakeListModel* take() { return &takeModel; }
    [[nodiscard]] bool isRecording() const;
    [[nodiscard]] bool isPlaying() const;
    [[nodiscard]] bool mappingOpen() const;
    [[nodiscard]] int mappingTarget() const;
    [[nodiscard]] QString capturePrompt() const;
    [[nodiscard]] QString notice() const;
    [[nodiscard]] bool hasAudioError() const;
    [[nodiscard]] QString audioError() const;
    [[nodiscard]] static QUrl exportFolder();

    // The on-screen key of `offset` went down / came up (source "pointer:<offset>").
    Q_INVOKABLE void pressKey(int offset);
    Q_INVOKABLE void releaseKey(int offset);
    Q_INVOKABLE void toggleRecording();
    Q_INVOKABLE void playRecording();
    Q_INVOKABLE void clearRecording();
    Q_INVOKABLE void undoClear();
    // The name the save dialog proposes for an export now.
    Q_INVOKABLE static QString proposedExportName();
    // Writes the take where the save dialog said; the status line tells how it went.
    Q_INVOKABLE void exportTake(const QUrl& file);
    // A file of the take for a drag out of the window; empty when it could not be
    // written (the status line says why).
    Q_INVOKABLE QUrl takeDragUrl();
    // "piano" or "sine"; anything else is ignored.
    Q_INVOKABLE void setSoundMode(const QString& mode);
    Q_INVOKABLE void changeOctave(int step);
    Q_INVOKABLE void changeTransposition(int value);
    Q_INVOKABLE void openMapping();
    Q_INVOKABLE void closeMapping();
    Q_INVOKABLE void selectMapping(int offset);
    Q_INVOKABLE void resetBindings();
    // The window is closing: nothing may keep sounding, not even a playback.
    Q_INVOKABLE void silence();

signals:
    void baseOctaveChanged();
    void transpositionChanged();
    void soundModeChanged();
    void keyLabelsChanged();
    void keyNamesChanged();
    void noteNamesChanged();
    void currentNoteChanged();
    void recordedNotesChanged();
    void isRecordingChanged();
    void isPlayingChanged();
    void mappingOpenChanged();
    void mappingTargetChanged();
    void capturePromptChanged();
    void controlsChanged();
    void noticeChanged();
    void audioErrorChanged();

private:
    void published(Property property);
    void updateKeyLights();
    [[nodiscard]] ControlStates controls() const;

    AppModel& model;
    TakeListModel takeModel{model};
    std::array<KeyLight, tunescrib::noteCount> keyLights;
    // After what the model's changes reach, so that it goes first.
    Subscription subscription;
    std::unique_ptr<LayoutKeyCaps> keyCaps; // null when the layout cannot be read
    TakeDragFile dragFile;
};

} // namespace tunescrib
