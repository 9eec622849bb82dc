// Encoding a take as it grows: notes per second from a short phrase to a 10-minute take
// of fast playing (16 notes a second, in two-note chords). A flat figure means the
// encoder is n log n at worst; the export happens on the main thread, so a long take must
// not hold the window up.

#include "model/midi_file.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tunescrib;

std::vector<RecordedNote> take(std::int64_t notes) {
    std::vector<RecordedNote> result;
    for (std::int64_t i = 0; i < notes; ++i) {
        // Pairs of notes start together.
        const double start = static_cast<double>(i / 2) / 8.0;
        result.push_back({Uuid::random(), 48 + (i * 5) % 31, start, 0.3});
    }
    return result;
}

void encodeTake(benchmark::State& state) {
    const auto notes = take(state.range(0));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto file = standardMidiFile(notes, SoundMode::piano);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
// Up to 10 minutes at 16 notes a second.
BENCHMARK(encodeTake)->RangeMultiplier(8)->Range(16, 9600)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
