#include "platform/qsettings_defaults_store.h"

#include <QByteArray>

namespace tunescrib {
namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QSettingsDefaultsStore::QSettingsDefaultsStore()
    : settings(QStringLiteral("tunescrib"), QStringLiteral("tunescrib")) {
    settings.setAtomicSyncRequired(true);
}

std::optional<std::string> QSettingsDefaultsStore::data(std::string_view key) {
    settings.sync(); // see what is on disk now, not what this process cached earlier
    const QVariant value = settings.value(toQString(key));
    // A hand-edited or truncated entry reads back as a string or a list: not ours.
    if (value.typeId() != QMetaType::QByteArray) {
        return std::nullopt;
    }
    const QByteArray bytes = value.toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QSettingsDefaultsStore::set(std::string_view key, std::string_view bytes) {
    settings.setValue(toQString(key),
                      QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    settings.sync();
}

} // namespace tunescrib
