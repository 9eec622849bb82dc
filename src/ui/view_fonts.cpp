#include "ui/view_fonts.h"

#include <QGuiApplication>

#include <algorithm>

namespace tunescrib {

namespace {
// Every family's gaps are filled by the Japanese sans, so no text depends on the
// system's fallback. Each face is one with the weights the view asks for: Noto Sans CJK JP
// with its extra weights (Medium, Black), JetBrains Mono up to ExtraBold, the nearest a
// free monospaced face comes to black (its sharp sign keeps C♯4 three cells wide, which the
// CJK faces would draw full-width). Quicksand is the rounded face; its heaviest is Bold,
// and no rounded face in Debian goes further.
const QString japaneseSans = QStringLiteral("Noto Sans CJK JP");
const QString japaneseMono = QStringLiteral("Noto Sans Mono CJK JP");
const QString latinMono = QStringLiteral("JetBrains Mono");
const QString symbolMono = QStringLiteral("DejaVu Sans Mono");
const QString latinRounded = QStringLiteral("Quicksand");
const QString symbolFallback = QStringLiteral("DejaVu Sans");
// A key label may be any text a stored key map carries, emoji included.
const QString emoji = QStringLiteral("Noto Color Emoji");
} // namespace

QStringList fontFamilies(FontDesign design) {
    switch (design) {
    case FontDesign::monospaced:
        return {latinMono, symbolMono, japaneseMono, japaneseSans, symbolFallback, emoji};
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
