#pragma once
// When Qt cannot open a window, one line that names the real cause (no Wayland plugin, a
// platform name Qt does not know, a display server that refused) and what to install or
// set, instead of Qt's abort with advice to reinstall the program. Main thread, before
// and while the QGuiApplication is constructed.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace tunescrib {

// What the user asked Qt for: `platform` as given to -platform or QT_QPA_PLATFORM
// (possibly a ';'-separated list with ":options"), empty when Qt chooses; `askedBy` names
// where it came from.
struct PlatformRequest {
    QString platform;
    QString askedBy;
};

// The one line (without the program's name) explaining why no platform plugin of
// `available` could open a window for `request` in `environment`.
QString platformFailureReason(const PlatformRequest& request, const QStringList& available,
                              const QProcessEnvironment& environment);

// Turns Qt's fatal failure to open the platform into the line above on stderr and exit
// status 1. Qt's own messages while it tries are held back, and printed only when the
// platform does open. Call right before constructing QGuiApplication; call the returned
// function right after.
using RestoreMessageHandler = void (*)();
RestoreMessageHandler explainPlatformFailure(const PlatformRequest& request);

} // namespace tunescrib
