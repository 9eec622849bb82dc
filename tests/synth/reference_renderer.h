#pragma once
// A plain scalar restatement of the voice sound, written from the formulas and not from
// the renderer: every partial is its own std::sin, every envelope its own std::exp, every
// frame in double precision. Slow on purpose; the tests and the benchmark measure the
// real renderer against it.

#include "model/sound_mode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>

namespace tunescrib::reference {

class Renderer {
public:
    explicit Renderer(double sampleRate) : sampleRate(sampleRate) {}

    void noteOn(const std::string& id, std::int64_t midi, SoundMode mode) {
        voices[id] = Voice{midi, mode};
    }
    // Release with the given time in seconds for the gain to fall by e.
    void release(const std::string& id, double seconds) {
        if (auto found = voices.find(id); found != voices.end()) {
            found->second.coefficient = std::exp(-1.0 / (seconds * sampleRate));
            found->second.releasing = true;
        }
    }

    // Writes `frames` frames to an interleaved buffer of `channels` (at least 1) channels:
    // volume * tanh(0.9 * sum of the voices), the same in every channel. Voices are added
    // one after the other, each computing its frequency once per call.
    void render(float* out, std::uint32_t channels, std::int64_t frames, float volume = 1.0f) {
        const std::size_t c = std::max<std::uint32_t>(channels, 1);
        const std::size_t samples = static_cast<std::size_t>(frames) * c;
        std::fill(out, out + samples, 0.0f);
        for (auto& [id, voice] : voices) {
            const double increment = voice.frequency() * 6.283185307179586 / sampleRate;
            for (std::int64_t i = 0; i < frames; ++i) {
                const float sample = voice.next(increment, 1.0 / sampleRate);
                for (std::size_t k = 0; k < c; ++k) {
                    out[static_cast<std::size_t>(i) * c + k] += sample;
                }
            }
        }
        for (std::size_t j = 0; j < samples; ++j) {
            out[j] = volume * std::tanh(0.9f * out[j]);
        }
        std::erase_if(voices, [](const auto& entry) { return entry.second.faded(); });
    }

private:
    struct Voice {
        std::int64_t midi;
        SoundMode mode;
        double phase = 0.0;
        double age = 0.0;
        double gain = 1.0;
        double coefficient = 1.0;
        bool releasing = false;

        [[nodiscard]] double frequency() const {
            return 440.0 * std::pow(2.0, static_cast<double>(midi - 69) / 12.0);
        }

        float next(double increment, double dt) {
            constexpr double twoPi = 6.283185307179586;
            double level = 0.0;
            double wave = 0.0;
            if (mode == SoundMode::sine) {
                level = 0.15 * std::min(age / 0.006, 1.0);
                wave = std::sin(phase);
            } else {
                const double attack = std::min(age / 0.004, 1.0);
                level = std::exp(-0.1 * age) * (0.3 + 0.7 * std::exp(-2.7 * age)) * (0.21 * attack);
                wave = (std::sin(phase) + 0.34 * std::sin(2.0 * phase + 0.015) +
                        0.14 * std::sin(3.0 * phase) + 0.07 * std::sin(4.0 * phase - 0.02)) /
                       1.55;
            }
            const auto sample = static_cast<float>(gain * (level * wave));
            phase += increment;
            if (phase >= twoPi) {
                phase = std::fmod(phase, twoPi);
            }
            age += dt;
            if (releasing) {
                gain *= coefficient;
            }
            return sample;
        }

        [[nodiscard]] bool faded() const { return gain < 0.0005 || age > 18.0; }
    };

    double sampleRate;
    std::map<std::string, Voice> voices;
};

} // namespace tunescrib::reference
