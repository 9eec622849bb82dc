#include "model/preferences.h"

#include <gtest/gtest.h>

#include <random>

namespace tunescrib {
namespace {

// Written out by hand from the document's description, not produced by the encoder.
const std::string defaultDocument =
    R"({"bindings":[{"keyCode":0,"label":"A"},{"keyCode":13,"label":"W"},)"
    R"({"keyCode":1,"label":"S"},{"keyCode":14,"label":"E"},{"keyCode":2,"label":"D"},)"
    R"({"keyCode":3,"label":"F"},{"keyCode":17,"label":"T"},{"keyCode":5,"label":"G"},)"
    R"({"keyCode":16,"label":"Y"},{"keyCode":4,"label":"H"},{"keyCode":32,"label":"U"},)"
    R"({"keyCode":38,"label":"J"},{"keyCode":40,"label":"K"},{"keyCode":31,"label":"O"},)"
    R"({"keyCode":37,"label":"L"},{"keyCode":35,"label":"P"},{"keyCode":41,"label":";"},)"
    R"({"keyCode":39,"label":":"},{"keyCode":33,"label":"@"},{"keyCode":42,"label":"]"}],)"
    R"("baseOctave":4,"transposition":0,"soundMode":"piano"})";

// The default document with one piece of text replaced.
std::string withReplaced(const std::string& from, const std::string& to) {
    std::string doc = defaultDocument;
    const auto at = doc.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return doc.replace(at, from.size(), to);
}

std::string nested(int depth) {
    return std::string(static_cast<std::size_t>(depth), '[') +
           std::string(static_cast<std::size_t>(depth), ']');
}

// Escaping and the other values are left to the round trip below.
TEST(EncodePreferences, WritesTheCompactDocumentAndRefusesALabelThatIsNotUtf8) {
    EXPECT_EQ(encodePreferences(AppPreferences{}), defaultDocument);
    AppPreferences p;
    p.bindings[3].label = "\xC3";
    EXPECT_EQ(encodePreferences(p), std::nullopt);
}

TEST(ReadStoredPreferences, AcceptsOrDropsWholeDocuments) {
    AppPreferences sine;
    sine.soundMode = SoundMode::sine;
    AppPreferences lowest;
    lowest.baseOctave = 2;
    lowest.transposition = -12;
    AppPreferences highest;
    highest.baseOctave = 6;
    highest.transposition = 12;
    AppPreferences longestLabel;
    longestLabel.bindings[0].label = std::string(maxLabelBytes, 'x');
    // Padding that brings the default document to exactly `size` bytes.
    const auto paddedTo = [](std::size_t size) {
        const std::string empty = withReplaced(R"("soundMode")", R"("pad":"","soundMode")");
        return withReplaced(R"("soundMode")", R"("pad":")" + std::string(size - empty.size(), ' ') +
                                                  R"(","soundMode")");
    };

    const std::string tail = R"("baseOctave":4,"transposition":0,"soundMode":"piano")";
    struct Case {
        const char* what;
        std::string bytes;
        std::optional<AppPreferences> expected;
    };
    const std::vector<Case> cases = {
        {"defaults", defaultDocument, AppPreferences{}},
        {"sine", withReplaced(R"("piano")", R"("sine")"), sine},
        {"octave 2, transposition -12",
         withReplaced(R"("baseOctave":4,"transposition":0)",
                      R"("baseOctave":2,"transposition":-12)"),
         lowest},
        {"octave 6, transposition 12",
         withReplaced(R"("baseOctave":4,"transposition":0)",
                      R"("baseOctave":6,"transposition":12)"),
         highest},
        {"members in another order, unknown ones ignored",
         R"({"soundMode":"piano","extra":[1,{"a":null}],"transposition":0,"baseOctave":4,)" +
             defaultDocument.substr(1, defaultDocument.find("],")) + "}",
         AppPreferences{}},
        {"longest label",
         withReplaced(R"("label":"A")", R"("label":")" + std::string(maxLabelBytes, 'x') + "\""),
         longestLabel},
        {"label one byte too long",
         withReplaced(R"("label":"A")",
                      R"("label":")" + std::string(maxLabelBytes + 1, 'x') + "\""),
         std::nullopt},
        {"largest document", paddedTo(maxDocumentBytes), AppPreferences{}},
        {"document one byte too large", paddedTo(maxDocumentBytes + 1), std::nullopt},
        {"octave 7", withReplaced(R"("baseOctave":4)", R"("baseOctave":7)"), std::nullopt},
        {"octave 1", withReplaced(R"("baseOctave":4)", R"("baseOctave":1)"), std::nullopt},
        {"transposition -13", withReplaced(R"("transposition":0)", R"("transposition":-13)"),
         std::nullopt},
        {"transposition 13", withReplaced(R"("transposition":0)", R"("transposition":13)"),
         std::nullopt},
        {"capitalised timbre", withReplaced(R"("piano")", R"("Piano")"), std::nullopt},
        {"repeated key code", withReplaced(R"("keyCode":13)", R"("keyCode":0)"), std::nullopt},
        {"19 bindings", withReplaced(R"(,{"keyCode":42,"label":"]"})", ""), std::nullopt},
        {"no transposition", withReplaced(R"("transposition":0,)", ""), std::nullopt},
        {"no label", withReplaced(R"(,"label":"A")", ""), std::nullopt},
        {"no keyCode", withReplaced(R"("keyCode":0,)", ""), std::nullopt},
        {"keyCode 65535", withReplaced(R"("keyCode":0)", R"("keyCode":65535)"),
         [] {
             AppPreferences p;
             p.bindings[0].keyCode = 65535;
             return p;
         }()},
        {"keyCode 65536", withReplaced(R"("keyCode":0)", R"("keyCode":65536)"), std::nullopt},
        {"keyCode -1", withReplaced(R"("keyCode":0)", R"("keyCode":-1)"), std::nullopt},
        {"keyCode 3.0 is not an integer", withReplaced(R"("keyCode":0)", R"("keyCode":3.0)"),
         std::nullopt},
        {"octave 4.0", withReplaced(R"("baseOctave":4)", R"("baseOctave":4.0)"), std::nullopt},
        {"octave past int64",
         withReplaced(R"("baseOctave":4)", R"("baseOctave":9223372036854775808)"), std::nullopt},
        {"duplicate member", withReplaced(R"("baseOctave":4)", R"("baseOctave":4,"baseOctave":4)"),
         std::nullopt},
        {"duplicate member in a binding",
         withReplaced(R"("label":"A")", R"("label":"A","label":"A")"), std::nullopt},
        {"bindings not a list", R"({"bindings":{},)" + tail + "}", std::nullopt},
        {"empty bytes", "", std::nullopt},
        {"truncated", defaultDocument.substr(0, defaultDocument.size() / 2), std::nullopt},
        {"trailing garbage", defaultDocument + "x", std::nullopt},
        {"not UTF-8", withReplaced(R"("label":"A")", "\"label\":\"\xFF\""), std::nullopt},
        {"10,000 nested arrays", nested(10000), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readStoredPreferences(c.bytes), c.expected) << c.what;
    }
}

TEST(PreferencesRoundTrip, RandomValidRecordsComeBackEqual) {
    std::mt19937 random(20261206);
    const std::vector<std::string> labels = {"",   "Q",       "ESC",      "←",
                                             "é",  "e\u0301", "👍🏽", "שלום",
                                             "\"", "\\n",     "KEY 999",  std::string(300, 'z')};
    for (int round = 0; round < 500; ++round) {
        AppPreferences p;
        for (std::size_t i = 0; i < 20; ++i) {
            std::uint16_t code = 0;
            bool unique = false;
            while (!unique) {
                code = static_cast<std::uint16_t>(random() % 65536);
                unique = std::none_of(p.bindings.begin(), p.bindings.begin() + static_cast<long>(i),
                                      [&](const KeyBinding& b) { return b.keyCode == code; });
            }
            p.bindings[i] = {code, labels[random() % labels.size()]};
        }
        p.baseOctave = 2 + static_cast<std::int64_t>(random() % 5);
        p.transposition = -12 + static_cast<std::int64_t>(random() % 25);
        p.soundMode = random() % 2 ? SoundMode::piano : SoundMode::sine;
        const auto bytes = encodePreferences(p);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(readStoredPreferences(*bytes), p) << *bytes;
    }
}

} // namespace
} // namespace tunescrib
