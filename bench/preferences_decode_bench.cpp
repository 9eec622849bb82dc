// Reading a stored document as its size grows: bytes per second for the default document
// padded with unknown members up to the largest size that is read. A flat figure means
// the decoder is linear in size (a document full of unknown members once
// cost the square of their number).

#include "model/preferences.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tunescrib;

std::string documentWithUnknownMembers(std::size_t bytes) {
    std::string document = *encodePreferences(AppPreferences{});
    std::string members;
    for (int i = 0; document.size() + members.size() + 16 < bytes; ++i) {
        members += "\"u" + std::to_string(i) + "\":0,";
    }
    return document.insert(1, members);
}

void decodeUnknownMembers(benchmark::State& state) {
    const std::string document =
        documentWithUnknownMembers(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(readStoredPreferences(document));
    }
    if (!readStoredPreferences(document)) {
        state.SkipWithError("the padded document was not accepted");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(document.size()));
}
BENCHMARK(decodeUnknownMembers)->RangeMultiplier(4)->Range(1024, maxDocumentBytes);

} // namespace

BENCHMARK_MAIN();
