// The render routine against the plain scalar reference, in one run: nanoseconds per
// voice-frame for both timbres at 1, 8, 20 and 64 voices in 128-, 256- and 512-frame
// buffers, the speed-up over the reference, how far apart their samples are, and what 20
// piano voices at 48 kHz cost of one core.

#include "reference_renderer.h"
#include "synth/render_block.h"
#include "synth/synth_render_state.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tunescrib;

constexpr double sampleRate = 48000.0;
constexpr std::uint32_t channels = 2;

std::string voiceName(int i) {
    return "voice:" + std::to_string(i);
}
std::int64_t voiceMidi(int i) {
    return 40 + (i * 7) % 48;
}

// The engine's renderer over its own render state, as the audio callback drives it.
class FastRenderer {
public:
    FastRenderer(SoundMode mode, int voices) {
        state.sampleRate = sampleRate;
        for (int i = 0; i < voices; ++i) {
            std::string id = voiceName(i);
            state.voices.put(id, SynthVoice{.midi = voiceMidi(i), .mode = mode});
        }
    }
    void render(float* out, std::int64_t frames) {
        AudioBuffer buffer{channels, static_cast<std::uint32_t>(frames * channels * sizeof(float)),
                           out};
        renderBlock(state, std::span(&buffer, 1), frames, mainOutputVolume);
    }
    void release(int voice) {
        std::lock_guard guard(state.lock);
        SynthVoice* v = state.voices.find(voiceName(voice));
        v->releaseCoefficient = std::exp(-1.0 / (0.16 * sampleRate));
        v->isReleasing = true;
    }
    [[nodiscard]] double oldestAge() {
        double age = 0;
        for (const VoiceSlot& slot : state.voices.slots()) {
            age = std::max(age, slot.active ? slot.voice.age : 0.0);
        }
        return age;
    }

private:
    SynthRenderState state;
};

class ReferenceRenderer {
public:
    ReferenceRenderer(SoundMode mode, int voices) : reference(sampleRate) {
        for (int i = 0; i < voices; ++i) {
            reference.noteOn(voiceName(i), voiceMidi(i), mode);
        }
    }
    void render(float* out, std::int64_t frames) {
        reference.render(out, channels, frames, mainOutputVolume);
        rendered += frames;
    }
    void release(int voice) { reference.release(voiceName(voice), 0.16); }
    [[nodiscard]] double oldestAge() const { return static_cast<double>(rendered) / sampleRate; }

private:
    reference::Renderer reference;
    std::int64_t rendered = 0;
};

// Held voices, rendered block after block; they are renewed (untimed) before they grow
// old enough to be retired, and start one second in, past the attack.
template <typename Renderer>
void renderVoices(benchmark::State& run, SoundMode mode, int voices, std::int64_t frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * channels);
    auto fresh = [&] {
        auto renderer = std::make_unique<Renderer>(mode, voices);
        for (std::int64_t done = 0; done < 48000; done += frames) {
            renderer->render(out.data(), frames);
        }
        return renderer;
    };
    auto renderer = fresh();
    for (auto _ : run) {
        renderer->render(out.data(), frames);
        benchmark::DoNotOptimize(out.data());
        if (renderer->oldestAge() > 16.0) {
            run.PauseTiming();
            renderer = fresh();
            run.ResumeTiming();
        }
    }
    run.SetItemsProcessed(run.iterations() * voices * frames);
}

struct Agreement {
    double largestDifference = 0;
    double peak = 0; // of the reference, to show there was sound to compare
};

// How far apart the two renderers' samples are over two seconds of `voices` voices, half
// of them released after one.
Agreement compareRenderers(SoundMode mode, int voices) {
    FastRenderer fast(mode, voices);
    ReferenceRenderer slow(mode, voices);
    std::vector<float> a(256 * channels);
    std::vector<float> b(256 * channels);
    Agreement agreement;
    for (int block = 0; block < 375; ++block) {
        if (block == 187) {
            for (int i = 0; i < voices; i += 2) {
                fast.release(i);
                slow.release(i);
            }
        }
        fast.render(a.data(), 256);
        slow.render(b.data(), 256);
        for (std::size_t k = 0; k < a.size(); ++k) {
            agreement.largestDifference =
                std::max(agreement.largestDifference, static_cast<double>(std::abs(a[k] - b[k])));
            agreement.peak = std::max(agreement.peak, static_cast<double>(std::abs(b[k])));
        }
    }
    return agreement;
}

// Keeps each run's CPU time per iteration for the summary after the console table.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                cpuNanoseconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpuNanoseconds;
};

const char* modeName(SoundMode mode) {
    return mode == SoundMode::piano ? "piano" : "sine";
}

std::string caseName(const char* renderer, SoundMode mode, int voices, std::int64_t frames) {
    return std::string(renderer) + "/" + modeName(mode) + "/voices:" + std::to_string(voices) +
           "/frames:" + std::to_string(frames);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<SoundMode> modes = {SoundMode::piano, SoundMode::sine};
    const std::vector<int> voiceCounts = {1, 8, 20, 64};
    const std::vector<std::int64_t> frameCounts = {128, 256, 512};
    for (const SoundMode mode : modes) {
        for (const int voices : voiceCounts) {
            for (const std::int64_t frames : frameCounts) {
                benchmark::RegisterBenchmark(caseName("render", mode, voices, frames).c_str(),
                                             renderVoices<FastRenderer>, mode, voices, frames)
                    ->Unit(benchmark::kMicrosecond);
                benchmark::RegisterBenchmark(caseName("reference", mode, voices, frames).c_str(),
                                             renderVoices<ReferenceRenderer>, mode, voices, frames)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // GetAdjustedCPUTime is in the runs' unit, microseconds.
    std::printf("\n%-6s %6s %6s  %14s %14s  %8s\n", "timbre", "voices", "frames", "render ns/vf",
                "reference ns/vf", "speed-up");
    for (const SoundMode mode : modes) {
        for (const int voices : voiceCounts) {
            for (const std::int64_t frames : frameCounts) {
                const auto fast =
                    reporter.cpuNanoseconds.find(caseName("render", mode, voices, frames));
                const auto slow =
                    reporter.cpuNanoseconds.find(caseName("reference", mode, voices, frames));
                if (fast == reporter.cpuNanoseconds.end() ||
                    slow == reporter.cpuNanoseconds.end()) {
                    continue;
                }
                const double perVoiceFrame = 1000.0 / static_cast<double>(voices * frames);
                std::printf("%-6s %6d %6lld  %14.2f %15.2f  %7.1fx\n", modeName(mode), voices,
                            static_cast<long long>(frames), fast->second * perVoiceFrame,
                            slow->second * perVoiceFrame, slow->second / fast->second);
            }
        }
    }
    if (const auto twenty =
            reporter.cpuNanoseconds.find(caseName("render", SoundMode::piano, 20, 256));
        twenty != reporter.cpuNanoseconds.end()) {
        // Microseconds per 256-frame block of 20 voices, times blocks per second.
        const double share = twenty->second * 1e-6 * (sampleRate / 256.0);
        std::printf("\n20 piano voices at 48 kHz in 256-frame buffers: %.3f %% of one core\n",
                    100.0 * share);
    }
    for (const SoundMode mode : modes) {
        const Agreement agreement = compareRenderers(mode, 8);
        std::printf("largest sample difference from the reference, 8 %s voices over 2 s: %.2e "
                    "(limit 1e-5; peak level %.3f)\n",
                    modeName(mode), agreement.largestDifference, agreement.peak);
    }
    return 0;
}
