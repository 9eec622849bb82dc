#pragma once
// Where a take goes when it leaves the program: the folder and name the save dialog
// proposes, and the file a drag out of the timeline carries.

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

namespace tunescrib {

// The user's music folder (XDG_MUSIC_DIR) when it exists, else the home folder.
QUrl exportFolder();
// "tunescrib-YYYYMMDD-HHMMSS.mid" for the local time `at`.
QString proposedExportName(const QDateTime& at);
// The local path a save dialog's choice names, ".mid" added to a name with no suffix.
QString exportPath(const QUrl& chosen);

// The one file a drag carries: a new name per drag in a private folder of the runtime
// folder (else the cache folder). The previous drag's file goes when the next drag
// starts, and the folder with everything in it when this object does, at exit.
// Main thread only.
class TakeDragFile {
public:
    // A path for the next drag's file, or empty when no private folder can be made.
    QString nextPath(const QDateTime& at);

private:
    std::unique_ptr<QTemporaryDir> folder;
    QString current;
};

} // namespace tunescrib
