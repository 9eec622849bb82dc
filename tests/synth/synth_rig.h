#pragma once
// A SynthEngine on a ManualAudioOutput, shadowed by the reference renderer: every note
// operation goes to both, every block is rendered by both and compared.

#include "platform/manual_audio_output.h"
#include "reference_renderer.h"
#include "synth/render_block.h"
#include "synth/synth_engine.h"
#include "synth/synth_voice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tunescrib::testing {

struct SynthRig {
    explicit SynthRig(AudioFormat format = {48000.0, 2}) : reference(format.sampleRate) {
        auto device = std::make_unique<ManualAudioOutput>(format);
        output = device.get();
        engine = std::make_unique<SynthEngine>(std::move(device));
    }

    void noteOn(const std::string& id, std::int64_t midi, SoundMode mode) {
        engine->noteOn(id, midi, mode);
        reference.noteOn(id, midi, mode);
        modes[id] = mode;
    }
    // The release times themselves are checked against fixed figures by the retirement test.
    void noteOff(const std::string& id) {
        engine->noteOff(id);
        reference.release(id, noteOffReleaseTime(modes[id]));
    }
    void allNotesOff() {
        engine->allNotesOff();
        for (const auto& [id, mode] : modes) {
            reference.release(id, allNotesOffReleaseTime(mode));
        }
    }

    // Renders one block of interleaved channels through both; returns the engine's samples
    // and fails the test where they differ by more than `tolerance`.
    std::vector<float> block(std::int64_t frames, std::uint32_t channels = 2,
                             double tolerance = 1e-6) {
        std::vector<float> expected(static_cast<std::size_t>(frames) * std::max(channels, 1U));
        reference.render(expected.data(), channels, frames, mainOutputVolume);
        std::vector<float> actual = output->render(frames, channels);
        EXPECT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            if (std::abs(actual[i] - expected[i]) > tolerance) {
                ADD_FAILURE() << "sample " << i << " is " << actual[i] << ", reference "
                              << expected[i] << " (rendered " << rendered << " frames before)";
                break;
            }
        }
        rendered += frames;
        return actual;
    }

    // Renders mono blocks until no voice is left or `limit` passed; returns the seconds.
    double renderUntilSilent(std::int64_t frames, double limit) {
        const std::int64_t start = rendered;
        const double rate = output->deviceFormat().sampleRate;
        while (!engine->voices().empty() && (rendered - start) / rate < limit) {
            block(frames, 1);
        }
        return static_cast<double>(rendered - start) / rate;
    }

    ManualAudioOutput* output = nullptr;
    std::unique_ptr<SynthEngine> engine;
    reference::Renderer reference;
    std::map<std::string, SoundMode> modes;
    std::int64_t rendered = 0;
};

} // namespace tunescrib::testing
