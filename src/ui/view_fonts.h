#pragma once
// The window's three typefaces, pinned by family so that it looks the same on every
// machine and in every locale (a locale-driven fallback would pick Chinese glyph forms
// for kanji under a Chinese locale, for instance). QML in Qt 6.4 cannot set a family
// list, so fonts are built here and handed over whole: `font: Fonts.mono(9, Font.Bold, 1.2)`.

#include <QFont>
#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace tunescrib {

enum class FontDesign { standard, monospaced, rounded };

// Families in order of preference; a character missing from the first comes from the
// next. Pure: any thread.
QStringList fontFamilies(FontDesign design);

// A font of `design` at `size` device-independent pixels (the layout's points), `weight`
// on Qt's 100...900 scale, with `tracking` pixels added between characters.
QFont viewFont(FontDesign design, double size, int weight, double tracking = 0.0);

// Makes the standard design the application's default font, so that no text falls back
// to the system's. Main thread, after the QGuiApplication exists.
void installApplicationFont();

// Stateless; main thread (called from QML bindings).
class ViewFonts : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Fonts)
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE [[nodiscard]] static QFont sans(qreal size, int weight);
    Q_INVOKABLE [[nodiscard]] static QFont mono(qreal size, int weight, qreal tracking = 0.0);
    Q_INVOKABLE [[nodiscard]] static QFont rounded(qreal size, int weight);
};

} // namespace tunescrib
