#include "ui/platform_failure.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tunescrib {
namespace {

// "wayland;xcb:option=1" -> wayland, xcb
QStringList platformNames(const QString& platform) {
    QStringList names;
    for (const QString& entry : platform.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        if (!name.isEmpty()) {
            names.append(name);
        }
    }
    return names;
}

bool isWayland(const QString& name) {
    return name.startsWith(QLatin1String("wayland"));
}

bool anyWayland(const QStringList& names) {
    return std::any_of(names.begin(), names.end(), isWayland);
}

// X11 is offered as the way round only where there is an X server (XWayland) to use.
QString waylandPluginMissing(bool xServerThere) {
    return QStringLiteral("the Qt Wayland platform plugin is not installed: install the "
                          "package qt6-wayland") +
           (xServerThere ? QStringLiteral(", or set QT_QPA_PLATFORM=xcb to use X11 through "
                                          "XWayland")
                         : QString());
}

} // namespace

QString platformFailureReason(const PlatformRequest& request, const QStringList& available,
                              const QProcessEnvironment& environment) {
    const QStringList asked = platformNames(request.platform);
    const bool askedIsAvailable = std::any_of(
        asked.begin(), asked.end(), [&](const QString& n) { return available.contains(n); });
    const QString x11Display = environment.value(QStringLiteral("DISPLAY"));
    if (!asked.isEmpty() && !askedIsAvailable) {
        if (anyWayland(asked)) {
            return waylandPluginMissing(!x11Display.isEmpty());
        }
        return QStringLiteral("unknown platform '%1' (from %2): the platforms Qt has here are "
                              "%3; name one of them, or unset QT_QPA_PLATFORM and leave out "
                              "-platform to let Qt choose")
            .arg(request.platform, request.askedBy, available.join(QStringLiteral(", ")));
    }
    const QString waylandDisplay = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    const bool waylandAvailable = anyWayland(available);
    const bool waylandWanted = asked.isEmpty() ? !waylandDisplay.isEmpty() : anyWayland(asked);
    if (waylandWanted && !waylandAvailable && x11Display.isEmpty()) {
        return QStringLiteral("this is a Wayland session without XWayland (DISPLAY is not "
                              "set), and ") +
               waylandPluginMissing(false);
    }
    if (waylandWanted && waylandAvailable && (x11Display.isEmpty() || !asked.isEmpty())) {
        return QStringLiteral("cannot connect to the Wayland compositor '%1': is it running, "
                              "and is XDG_RUNTIME_DIR the folder of its socket?")
            .arg(waylandDisplay);
    }
    return QStringLiteral("cannot open a window on the X display '%1': is the display server "
                          "running, and may this user connect to it (XAUTHORITY)?")
        .arg(x11Display);
}

namespace {

QtMessageHandler previousHandler = nullptr;
PlatformRequest pendingRequest;
QStringList heldBackMessages;

void platformFailureHandler(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (type != QtFatalMsg) {
        heldBackMessages.append(qFormatLogMessage(type, context, message));
        return;
    }
    // Qt 6 ends its fatal message with the plugins it found: "... are: xcb, wayland."
    const QString marker = QStringLiteral("Available platform plugins are:");
    const qsizetype at = message.indexOf(marker);
    QStringList available;
    if (at >= 0) {
        QString list = message.mid(at + marker.size()).trimmed();
        if (list.endsWith(QLatin1Char('.'))) {
            list.chop(1);
        }
        for (const QString& name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            available.append(name.trimmed());
        }
    }
    std::fprintf(stderr, "tunescrib: %s\n",
                 qPrintable(platformFailureReason(pendingRequest, available,
                                                  QProcessEnvironment::systemEnvironment())));
    std::_Exit(EXIT_FAILURE);
}

void restoreHandler() {
    qInstallMessageHandler(previousHandler);
    for (const QString& line : std::exchange(heldBackMessages, {})) {
        std::fprintf(stderr, "%s\n", qPrintable(line));
    }
}

} // namespace

RestoreMessageHandler explainPlatformFailure(const PlatformRequest& request) {
    pendingRequest = request;
    previousHandler = qInstallMessageHandler(platformFailureHandler);
    return restoreHandler;
}

} // namespace tunescrib
