#include "model/preferences.h"

#include "model/pitch.h"

#include <nlohmann/json.hpp>

#include <limits>
#include <unordered_set>
#include <vector>

namespace tunescrib {
namespace {

// Reading builds a map-backed document that holds only the members the record has: the
// order-keeping one finds and inserts members by a linear scan, which made a document of
// many unknown members cost the square of their number. Writing keeps the order, which the
// stored form fixes.
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// The valid document nests three levels deep; anything far deeper is hostile.
constexpr int maxDepth = 16;

bool isRecordMember(const std::string& name) {
    return name == "bindings" || name == "baseOctave" || name == "transposition" ||
           name == "soundMode" || name == "keyCode" || name == "label";
}

struct Rejected {};

// Refuses duplicate members and deep nesting while the document is being parsed, so
// that a hostile input is stopped before it is built, and drops members the record does
// not have (they are checked, but not kept).
class StrictnessGuard {
public:
    bool operator()(int depth, Json::parse_event_t event, Json& parsed) {
        switch (event) {
        case Json::parse_event_t::object_start:
            check(depth);
            keysOfOpenObjects.emplace_back();
            break;
        case Json::parse_event_t::array_start:
            check(depth);
            break;
        case Json::parse_event_t::object_end:
            keysOfOpenObjects.pop_back();
            break;
        case Json::parse_event_t::key: {
            auto name = parsed.get<std::string>();
            const bool known = isRecordMember(name);
            if (!keysOfOpenObjects.back().insert(std::move(name)).second) {
                throw Rejected{};
            }
            return known;
        }
        default:
            break;
        }
        return true;
    }

private:
    static void check(int depth) {
        if (depth > maxDepth) {
            throw Rejected{};
        }
    }
    std::vector<std::unordered_set<std::string>> keysOfOpenObjects;
};

std::optional<std::int64_t> signedInteger(const Json& value) {
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_integer()) {
        return value.get<std::int64_t>();
    }
    return std::nullopt;
}

const Json* member(const Json& object, const char* name) {
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
}

std::optional<KeyBinding> decodeBinding(const Json& value) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    const Json* keyCode = member(value, "keyCode");
    const Json* label = member(value, "label");
    if (keyCode == nullptr || label == nullptr || !label->is_string() ||
        label->get_ref<const std::string&>().size() > maxLabelBytes) {
        return std::nullopt;
    }
    const auto code = signedInteger(*keyCode);
    if (!code || *code < 0 || *code > std::numeric_limits<std::uint16_t>::max()) {
        return std::nullopt;
    }
    return KeyBinding{static_cast<std::uint16_t>(*code), label->get<std::string>()};
}

std::optional<AppPreferences> decodeDocument(const Json& root) {
    if (!root.is_object()) {
        return std::nullopt;
    }
    const Json* bindings = member(root, "bindings");
    const Json* octave = member(root, "baseOctave");
    const Json* transposition = member(root, "transposition");
    const Json* mode = member(root, "soundMode");
    if (bindings == nullptr || octave == nullptr || transposition == nullptr || mode == nullptr ||
        !bindings->is_array() || !mode->is_string()) {
        return std::nullopt;
    }
    AppPreferences prefs;
    prefs.bindings.clear();
    for (const auto& item : *bindings) {
        auto binding = decodeBinding(item);
        if (!binding) {
            return std::nullopt;
        }
        prefs.bindings.push_back(std::move(*binding));
    }
    const auto octaveValue = signedInteger(*octave);
    const auto transpositionValue = signedInteger(*transposition);
    const auto modeValue = soundModeFromRaw(mode->get_ref<const std::string&>());
    if (!octaveValue || !transpositionValue || !modeValue) {
        return std::nullopt;
    }
    prefs.baseOctave = *octaveValue;
    prefs.transposition = *transpositionValue;
    prefs.soundMode = *modeValue;
    return prefs;
}

} // namespace

std::optional<std::string> encodePreferences(const AppPreferences& prefs) {
    OrderedJson bindings = OrderedJson::array();
    for (const auto& binding : prefs.bindings) {
        OrderedJson item = OrderedJson::object();
        item["keyCode"] = binding.keyCode;
        item["label"] = binding.label;
        bindings.push_back(std::move(item));
    }
    OrderedJson document = OrderedJson::object();
    document["bindings"] = std::move(bindings);
    document["baseOctave"] = prefs.baseOctave;
    document["transposition"] = prefs.transposition;
    document["soundMode"] = std::string(rawValue(prefs.soundMode));
    try {
        return document.dump();
    } catch (const OrderedJson::exception&) {
        return std::nullopt; // a label that is not UTF-8 cannot be written faithfully
    }
}

std::optional<AppPreferences> decodePreferences(std::string_view bytes) {
    if (bytes.size() > maxDocumentBytes) {
        return std::nullopt;
    }
    try {
        const Json root = Json::parse(bytes.begin(), bytes.end(), StrictnessGuard{});
        return decodeDocument(root);
    } catch (const Json::exception&) {
        return std::nullopt;
    } catch (const Rejected&) {
        return std::nullopt;
    }
}

bool preferencesAreAcceptable(const AppPreferences& prefs) {
    return bindingsAreValid(prefs.bindings) && prefs.baseOctave >= minOctave &&
           prefs.baseOctave <= maxOctave && prefs.transposition >= minTransposition &&
           prefs.transposition <= maxTransposition;
}

std::optional<AppPreferences> readStoredPreferences(std::string_view bytes) {
    auto prefs = decodePreferences(bytes);
    if (prefs && preferencesAreAcceptable(*prefs)) {
        return prefs;
    }
    return std::nullopt;
}

} // namespace tunescrib
