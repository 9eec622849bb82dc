#include "ui/view_fonts.h"

#include <QGuiApplication>

#include <algorithm>

namespace tunescrib {

namespace {
// Every family's gaps are filled by the Japanese sans, so no text depends on the
// system's fallback. DejaVu Sans Mono goes first among the monospaced faces for its
// narrow sharp sign (C♯4 stays three cells); the CJK faces draw the sign full-width.
const QString japaneseSans = QStringLiteral("Noto Sans CJK JP");
const QString japaneseMono = QStringLiteral("Noto Sans Mono CJK JP");
const QString latinMono = QStringLiteral("DejaVu Sans Mono");
const QString latinRounded = QStringLiteral("Quicksand");
const QString symbolFallback = QStringLiteral("DejaVu Sans");
// A key label may be any text a stored key map carries, emoji included.
const QString emoji = QStringLiteral("Noto Color Emoji");
} // namespace

QStringList fontFamilies(FontDesign design) {
    switch (design) {
    case FontDesign::monospaced:
        return {latinMono, japaneseMono, japaneseSans, symbolFallback, emoji};
    case FontDesign::rounded:
        return {latinRounded, japaneseSans, symbolFallback, emoji};
    case FontDesign::standard:
        break;
    }
    return {japaneseSans, symbolFallback, emoji};
}

QFont viewFont(FontDesign design, double size, int weight, double tracking) {
    QFont font;
    font.setFamilies(fontFamilies(design));
    font.setPixelSize(std::max(1, qRound(size)));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    if (tracking != 0.0) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    }
    if (design == FontDesign::monospaced) {
        font.setStyleHint(QFont::Monospace);
    }
    return font;
}

void installApplicationFont() {
    QGuiApplication::setFont(viewFont(FontDesign::standard, 13, QFont::Normal));
}

QFont ViewFonts::sans(qreal size, int weight) {
    return viewFont(FontDesign::standard, size, weight);
}

QFont ViewFonts::mono(qreal size, int weight, qreal tracking) {
    return viewFont(FontDesign::monospaced, size, weight, tracking);
}

QFont ViewFonts::rounded(qreal size, int weight) {
    return viewFont(FontDesign::rounded, size, weight);
}

} // namespace tunescrib
