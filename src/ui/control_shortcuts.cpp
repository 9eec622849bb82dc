#include "ui/control_shortcuts.h"

#include <QKeySequence>

#include <algorithm>

namespace tunescrib {

namespace {
QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

QString shortcutHelpText() {
    std::size_t width = 0;
    for (const auto& shortcut : controlShortcuts) {
        width = std::max(width, shortcut.sequence.size());
    }
    QString text = QStringLiteral("Keyboard shortcuts (Control held, so they never play a note):");
    for (const auto& shortcut : controlShortcuts) {
        text += QStringLiteral("\n  ") +
                fromUtf8(shortcut.sequence).leftJustified(static_cast<qsizetype>(width) + 2) +
                fromUtf8(shortcut.help);
    }
    return text;
}

QString ShortcutTable::sequence(const QString& action) {
    const auto found = std::find_if(
        controlShortcuts.begin(), controlShortcuts.end(),
        [&](const ControlShortcut& shortcut) { return fromUtf8(shortcut.action) == action; });
    if (found == controlShortcuts.end()) {
        return {};
    }
    return QKeySequence(fromUtf8(found->sequence), QKeySequence::PortableText)
        .toString(QKeySequence::NativeText);
}

} // namespace tunescrib
