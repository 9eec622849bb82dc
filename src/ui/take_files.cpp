#include "ui/take_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tunescrib {

QUrl exportFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    const bool exists = !music.isEmpty() && QFileInfo(music).isDir();
    return QUrl::fromLocalFile(exists ? music : QDir::homePath());
}

QString proposedExportName(const QDateTime& at) {
    return at.toString(QStringLiteral("'tunescrib-'yyyyMMdd-HHmmss'.mid'"));
}

QString exportPath(const QUrl& chosen) {
    const QString path = chosen.isLocalFile() ? chosen.toLocalFile() : chosen.toString();
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".mid") : path;
}

QString TakeDragFile::nextPath(const QDateTime& at) {
    if (!folder) {
        QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (base.isEmpty()) {
            base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
            QDir().mkpath(base);
        }
        folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/tunescrib-drag-XXXXXX"));
    }
    if (!folder->isValid()) {
        folder.reset(); // try again on the next drag
        return {};
    }
    if (!current.isEmpty()) {
        QFile::remove(current);
    }
    current = folder->filePath(proposedExportName(at));
    return current;
}

} // namespace tunescrib
