#include "synth/voice_synthesis.h"

#include "model/pitch.h"

#include <cmath>

namespace tunescrib {

namespace {

// sin(2p + 0.015) and sin(4p - 0.02) are built from sin/cos of 2p and 4p by the angle
// sum rule, so one oscillator serves all four partials.
const double cos015 = std::cos(0.015);
const double sin015 = std::sin(0.015);
const double cos002 = std::cos(0.02);
const double sin002 = std::sin(0.02);

// The oscillator (sin, cos of the phase) turns by a fixed rotation per frame instead of
// calling sin per partial and frame; it is reseeded from the exact phase at every call,
// so its drift stays in the last bits. The phase itself is still advanced and wrapped
// frame by frame, because that is the state the next block starts from.
struct Oscillator {
    double s;
    double c;
    double stepSin;
    double stepCos;

    Oscillator(double phase, double increment)
        : s(std::sin(phase)), c(std::cos(phase)), stepSin(std::sin(increment)),
          stepCos(std::cos(increment)) {}

    void advance() {
        const double nextS = s * stepCos + c * stepSin;
        c = c * stepCos - s * stepSin;
        s = nextS;
    }
};

// min(age / attack, 1), without the division once the attack is over (age >= attack
// gives a quotient of at least 1, so the result is the same).
double attackRamp(double age, double attack) {
    return age < attack ? age / attack : 1.0;
}

double pianoWave(double s1, double c1) {
    const double s2 = 2.0 * s1 * c1;
    const double c2 = c1 * c1 - s1 * s1;
    const double s3 = s2 * c1 + c2 * s1;
    const double s4 = 2.0 * s2 * c2;
    const double c4 = c2 * c2 - s2 * s2;
    const double partial2 = s2 * cos015 + c2 * sin015;
    const double partial4 = s4 * cos002 - c4 * sin002;
    return (s1 + 0.34 * partial2 + 0.14 * s3 + 0.07 * partial4) / 1.55;
}

// One voice through one call: its phase, age and release gain advanced frame by frame
// exactly as they are stored between calls, and the oscillator that follows the phase.
class VoiceRun {
public:
    VoiceRun(SynthVoice& voice, double sampleRate)
        : voice(voice), increment(frequencyForMidi(voice.midi) * twoPi / sampleRate),
          dt(1.0 / sampleRate), gainFactor(voice.isReleasing ? voice.releaseCoefficient : 1.0),
          phase(voice.phase), age(voice.age), gain(voice.releaseGain), osc(phase, increment) {}

    void advance() {
        phase += increment;
        if (phase >= twoPi) {
            phase = std::fmod(phase, twoPi);
        }
        age += dt;
        gain *= gainFactor;
        osc.advance();
    }

    void store() const {
        voice.phase = phase;
        voice.age = age;
        voice.releaseGain = gain;
    }

    SynthVoice& voice;
    const double increment;
    const double dt;
    const double gainFactor;
    double phase;
    double age;
    double gain;
    Oscillator osc;
};

void synthesizePiano(VoiceRun& run, float* mix, std::int64_t frames) {
    constexpr double attack = attackTime(SoundMode::piano);
    // e^(-0.1 age) and e^(-2.7 age) run as products too, seeded from the exact age.
    double slowDecay = std::exp(-0.1 * run.age);
    double fastDecay = std::exp(-2.7 * run.age);
    const double slowStep = std::exp(-0.1 * run.dt);
    const double fastStep = std::exp(-2.7 * run.dt);
    for (std::int64_t i = 0; i < frames; ++i) {
        const double ramp = attackRamp(run.age, attack);
        const double level = slowDecay * (0.3 + 0.7 * fastDecay) * (0.21 * ramp);
        mix[i] += static_cast<float>(run.gain * (level * pianoWave(run.osc.s, run.osc.c)));
        run.advance();
        slowDecay *= slowStep;
        fastDecay *= fastStep;
    }
}

void synthesizeSine(VoiceRun& run, float* mix, std::int64_t frames) {
    constexpr double attack = attackTime(SoundMode::sine);
    for (std::int64_t i = 0; i < frames; ++i) {
        const double level = 0.15 * attackRamp(run.age, attack);
        mix[i] += static_cast<float>(run.gain * (level * run.osc.s));
        run.advance();
    }
}

} // namespace

void synthesizeVoice(SynthVoice& voice, double sampleRate, float* mix, std::int64_t frames) {
    VoiceRun run(voice, sampleRate);
    switch (voice.mode) {
    case SoundMode::piano:
        synthesizePiano(run, mix, frames);
        break;
    case SoundMode::sine:
        synthesizeSine(run, mix, frames);
        break;
    }
    run.store();
}

} // namespace tunescrib
