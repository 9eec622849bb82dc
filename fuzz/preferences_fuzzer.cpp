// Feeds arbitrary bytes to the preferences decoder, the one place where outside data
// enters. Beyond "no crash, no hang, no unbounded allocation" (the sanitizers and
// libFuzzer's limits watch those), it checks two properties that must hold for any input:
// a record the decoder gives back survives encode -> decode unchanged, and whatever the
// loader accepts is a record the model may apply.

#include "model/preferences.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "preferences_fuzzer: %s\n", what);
    std::abort();
}

} // namespace

// Called by libFuzzer on its one thread, once per input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    if (const auto decoded = tunescrib::decodePreferences(bytes)) {
        // The parser only lets valid UTF-8 through, so every decoded label can be written.
        const auto encoded = tunescrib::encodePreferences(*decoded);
        if (!encoded) {
            fail("a decoded record could not be encoded");
        }
        const auto again = tunescrib::decodePreferences(*encoded);
        if (!again || !(*again == *decoded)) {
            fail("encode -> decode changed the record");
        }
        if (tunescrib::encodePreferences(*again) != encoded) {
            fail("encoding the same record twice gave different documents");
        }
    }

    if (const auto accepted = tunescrib::readStoredPreferences(bytes)) {
        if (!tunescrib::preferencesAreAcceptable(*accepted)) {
            fail("the loader accepted a record outside the allowed ranges");
        }
    }
    return 0;
}
