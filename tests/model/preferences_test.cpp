#include "model/preferences.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

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

// Escaping and the other values are left to the round trip below.
TEST(EncodePreferences, WritesTheCompactDocumentAndRefusesALabelThatIsNotUtf8) {
    EXPECT_EQ(encodePreferences(AppPreferences{}), defaultDocument);
    AppPreferences p;
    p.bindings[3].label = "\xC3";
    EXPECT_EQ(encodePreferences(p), std::nullopt);
}

TEST(ReadStoredPreferences, AcceptsOrDropsWholeDocuments) {
    // Padding that brings the default document to exactly `size` bytes.
    const auto paddedTo = [](std::size_t size) {
        const std::string empty = withReplaced(R"("soundMode")", R"("pad":"","soundMode")");
        return withReplaced(R"("soundMode")", R"("pad":")" + std::string(size - empty.size(), ' ') +
                                                  R"(","soundMode")");
    };
    const std::string longest(maxLabelBytes, 'x');
    const BindingList d = defaultBindings();
    BindingList longLabel = d, highCode = d;
    longLabel[0].label = longest;
    highCode[0].keyCode = 65535;
    const std::string octave = R"("baseOctave":4)", transposition = R"("transposition":0)";
    struct Accepted {
        const char* what;
        std::string bytes;
        AppPreferences expected;
    };
    for (const auto& c : std::vector<Accepted>{
             {"defaults", defaultDocument, {}},
             {"sine", withReplaced(R"("piano")", R"("sine")"), {d, 4, 0, SoundMode::sine}},
             {"octave 2", withReplaced(octave, R"("baseOctave":2)"), {d, 2, 0, SoundMode::piano}},
             {"octave 6, transposition 12",
              withReplaced(octave + "," + transposition, R"("baseOctave":6,"transposition":12)"),
              {d, 6, 12, SoundMode::piano}},
             {"transposition -12",
              withReplaced(transposition, R"("transposition":-12)"),
              {d, 4, -12, SoundMode::piano}},
             {"members in another order, unknown ones ignored",
              R"({"soundMode":"piano","extra":[1,{"a":null}],"transposition":0,"baseOctave":4,)" +
                  defaultDocument.substr(1, defaultDocument.find("],")) + "}",
              {}},
             {"longest label",
              withReplaced(R"("label":"A")", R"("label":")" + longest + "\""),
              {longLabel, 4, 0, SoundMode::piano}},
             {"keyCode 65535",
              withReplaced(R"("keyCode":0)", R"("keyCode":65535)"),
              {highCode, 4, 0, SoundMode::piano}},
             {"largest document", paddedTo(maxDocumentBytes), {}}}) {
        EXPECT_EQ(readStoredPreferences(c.bytes), c.expected) << c.what;
    }
    // Each a change to the default document that makes it unacceptable.
    const std::pair<std::string, std::string> refused[] = {
        {R"("label":"A")", R"("label":")" + longest + "x\""},
        {octave, R"("baseOctave":7)"},
        {octave, R"("baseOctave":1)"},
        {transposition, R"("transposition":-13)"},
        {transposition, R"("transposition":13)"},
        {R"("piano")", R"("Piano")"},
        {R"("keyCode":13)", R"("keyCode":0)"},  // repeated
        {R"(,{"keyCode":42,"label":"]"})", ""}, // 19 bindings
        {transposition + ",", ""},
        {R"(,"label":"A")", ""},
        {R"("keyCode":0,)", ""},
        {R"("keyCode":0)", R"("keyCode":65536)"},
        {R"("keyCode":0)", R"("keyCode":-1)"},
        {R"("keyCode":0)", R"("keyCode":3.0)"},
        {octave, R"("baseOctave":4.0)"},
        {octave, R"("baseOctave":9223372036854775808)"},
        {octave, octave + "," + octave},
        {R"("label":"A")", R"("label":"A","label":"A")"},
        {R"("label":"A")", "\"label\":\"\xFF\""}, // not UTF-8
        {R"({"bindings":[)", R"({"bindings":{},"x":[)"},
    };
    for (const auto& [from, to] : refused) {
        EXPECT_EQ(readStoredPreferences(withReplaced(from, to)), std::nullopt) << to;
    }
    for (const std::string& bytes :
         {paddedTo(maxDocumentBytes + 1), std::string(), defaultDocument + "x",
          defaultDocument.substr(0, defaultDocument.size() / 2),
          std::string(10000, '[') + std::string(10000, ']')}) {
        EXPECT_EQ(readStoredPreferences(bytes), std::nullopt) << bytes.substr(0, 40);
    }
}

TEST(PreferencesRoundTrip, RandomValidRecordsComeBackEqual) {
    std::mt19937 random(20261206);
    const std::vector<std::string> labels = {"",   "Q",       "ESC",      "←",
                                             "é",  "e\u0301", "👍🏽", "שלום",
                                             "\"", "\\n",     "KEY 999",  std::string(300, 'z')};
    for (int round = 0; round < 500; ++round) {
        AppPreferences p;
        std::set<std::uint16_t> codes;
        for (auto& binding : p.bindings) {
            while (!codes.insert(binding.keyCode = random() % 65536).second) {
            }
            binding.label = labels[random() % labels.size()];
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
