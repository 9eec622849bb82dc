// Random sequences of everything a user can do, checking after each step that what
// sounds, what is lit and what is held agree, and that nothing sounds once every key
// is up and playback has ended.
#include "app_fixture.h"

#include <cstdlib>
#include <deque>
#include <functional>
#include <random>
#include <sstream>

namespace tunescrib::testing {
namespace {

constexpr int eventCount = 10000;

std::uint64_t chooseSeed() {
    if (const char* given = std::getenv("TUNESCRIB_SEED")) {
        return std::strtoull(given, nullptr, 10);
    }
    return std::random_device{}();
}

class RandomSession {
public:
    explicit RandomSession(std::uint64_t seed) : rng(seed) { f.start(); }

    // One random user action; returns its description.
    std::string step() {
        const int kind = pick(0, 99);
        std::ostringstream what;
        // A hand holds a few keys at most; more presses would be only repeats.
        if (kind < 26 && heldKeys.size() < 3) {
            const std::uint16_t code = randomKey();
            const bool repeat = heldKeys.contains(code);
            const std::uint64_t flags = randomModifiers();
            heldKeys.insert(code);
            what << "down " << code << " flags " << flags << (repeat ? " repeat" : "");
            f.m().handleKeyEvent(keyDown(code, flags, repeat, "q"));
        } else if (kind < 40) {
            if (heldKeys.empty()) {
                return "no key to release";
            }
            const std::uint16_t code = *std::next(heldKeys.begin(), pick(0, heldKeys.size() - 1));
            const bool repeatHalf = pick(0, 9) == 0;
            const std::uint64_t flags = randomModifiers();
            if (!repeatHalf) {
                heldKeys.erase(code);
            }
            what << "up " << code << " flags " << flags << (repeatHalf ? " repeat" : "");
            f.m().handleKeyEvent(keyUp(code, flags, repeatHalf));
        } else if (kind < 47) {
            const int offset = static_cast<int>(randomOffset());
            what << "pointer down " << offset;
            if (heldPointers.insert(offset).second) {
                f.m().startSource(offset, "pointer:" + std::to_string(offset));
            }
        } else if (kind < 54) {
            if (heldPointers.empty()) {
                return "no pointer to release";
            }
            const int offset = *std::next(heldPointers.begin(), pick(0, heldPointers.size() - 1));
            heldPointers.erase(offset);
            what << "pointer up " << offset;
            f.m().stopSource("pointer:" + std::to_string(offset));
        } else if (kind < 70) {
            const double seconds = pick(0, 100) / 1000.0;
            what << "advance " << seconds;
            f.scheduler.advance(seconds);
        } else {
            what << otherAction();
        }
        return what.str();
    }

    // What sounds, what is lit and what is held down agree.
    ::testing::AssertionResult consistent() const {
        std::map<std::int64_t, int> sounding;
        for (const auto& voice : f.engine->voices()) {
            if (voice.isReleasing) {
                continue;
            }
            ++sounding[voice.midi];
            if (!isHeld(voice.sourceID)) {
                return ::testing::AssertionFailure() << voice.sourceID << " sounds unheld";
            }
        }
        std::set<std::int64_t> expected;
        for (const auto& entry : sounding) {
            expected.insert(entry.first);
        }
        if (f.model->activeMidis() != expected) {
            return ::testing::AssertionFailure()
                   << "lit notes differ from sounding notes (" << f.model->activeMidis().size()
                   << " lit, " << expected.size() << " sounding)";
        }
        return ::testing::AssertionSuccess();
    }

    // Lets go of everything and waits for the end of playback.
    void releaseEverything() {
        for (const auto code : heldKeys) {
            f.m().handleKeyEvent(keyUp(code, randomModifiers()));
        }
        heldKeys.clear();
        for (const auto offset : heldPointers) {
            f.m().stopSource("pointer:" + std::to_string(offset));
        }
        heldPointers.clear();
        f.scheduler.advance(f.m().takeDuration() + 1.0);
    }

    AppFixture f;

private:
    int pick(std::size_t low, std::size_t high) {
        return static_cast<int>(std::uniform_int_distribution<std::size_t>(low, high)(rng));
    }

    std::uint16_t randomKey() {
        const int roll = pick(0, 9);
        if (roll == 0) {
            return static_cast<std::uint16_t>(pick(keycode::firstModifier, keycode::lastModifier));
        }
        if (roll == 1) {
            return pick(0, 1) ? keycode::escape : 12;
        }
        return f.m().bindings()[randomOffset()].keyCode;
    }

    // Mostly a few neighbouring notes, so that sources often share one.
    std::size_t randomOffset() {
        return static_cast<std::size_t>(pick(0, 2) ? pick(0, 2) : pick(0, 19));
    }

    std::uint64_t randomModifiers() {
        static constexpr std::uint64_t choices[] = {modifier::shift,      modifier::capsLock,
                                                    modifier::numericPad, modifier::control,
                                                    modifier::option,     modifier::command};
        std::uint64_t flags = 0;
        while (pick(0, 3) == 0) {
            flags |= choices[pick(0, std::size(choices) - 1)];
        }
        return flags;
    }

    // Everything else a user can do, playing and focus loss more often than the rest.
    std::string otherAction() {
        struct Action {
            int weight;
            const char* what;
            std::function<void()> run;
        };
        AppModel& m = f.m();
        const Action actions[] = {
            {6, "focus lost", [&] { m.applicationDidResignActive(); }},
            {1, "octave", [&] { m.changeOctave(pick(0, 1) ? 1 : -1); }},
            {1, "transposition", [&] { m.changeTransposition(pick(0, 26) - 13); }},
            {1, "timbre", [&] { m.setSoundMode(pick(0, 1) ? SoundMode::piano : SoundMode::sine); }},
            {1, "select mapping", [&] { m.selectMapping(pick(0, 21) - 1); }},
            {1, "close mapping", [&] { m.closeMapping(); }},
            {1, "reset bindings", [&] { m.resetBindings(); }},
            {2, "record", [&] { m.toggleRecording(); }},
            {1, "stop recording", [&] { m.stopRecording(); }},
            {1, "clear", [&] { m.clearRecording(); }},
            // Mostly waiting for a playback to end before starting the next.
            {5, "play",
             [&] {
                 if (!m.isPlaying() || pick(0, 3) == 0) {
                     m.playRecording();
                 }
             }},
            {1, "stop playback", [&] { m.stopPlayback(); }},
            {1, "audio breaks", [&] { f.breakAudio(); }},
            {4, "audio can start again", [&] { f.output->clearStartFailure(); }},
        };
        int total = 0;
        for (const auto& action : actions) {
            total += action.weight;
        }
        int roll = pick(0, total - 1);
        for (const auto& action : actions) {
            if (roll < action.weight) {
                action.run();
                return action.what;
            }
            roll -= action.weight;
        }
        return "nothing";
    }

    bool isHeld(const std::string& sourceID) const {
        const auto number = [&](std::size_t prefix) { return std::stoi(sourceID.substr(prefix)); };
        if (sourceID.starts_with("keyboard:")) {
            return heldKeys.contains(static_cast<std::uint16_t>(number(9)));
        }
        if (sourceID.starts_with("pointer:")) {
            return heldPointers.contains(number(8));
        }
        return sourceID.starts_with("playback:") && f.model->isPlaying();
    }

    std::mt19937_64 rng;
    std::set<std::uint16_t> heldKeys;
    std::set<int> heldPointers;
};

TEST(NoStuckNotes, TenThousandRandomEventsLeaveNothingSounding) {
    const std::uint64_t seed = chooseSeed();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with TUNESCRIB_SEED)");
    RandomSession session(seed);
    std::deque<std::string> recent;
    for (int i = 0; i < eventCount; ++i) {
        recent.push_back(session.step());
        if (recent.size() > 8) {
            recent.pop_front();
        }
        const auto result = session.consistent();
        if (!result) {
            std::ostringstream history;
            for (const auto& event : recent) {
                history << "\n  " << event;
            }
            FAIL() << result.message() << " after event " << i
                   << ", the last ones:" << history.str();
        }
    }
    session.releaseEverything();
    ASSERT_TRUE(session.consistent());
    EXPECT_FALSE(session.f.m().isPlaying());
    EXPECT_THAT(session.f.heldVoices(), ::testing::IsEmpty());
    EXPECT_THAT(session.f.m().activeMidis(), ::testing::IsEmpty());
    session.f.m().applicationDidResignActive();
    EXPECT_THAT(session.f.heldVoices(), ::testing::IsEmpty());
    EXPECT_THAT(session.f.m().activeMidis(), ::testing::IsEmpty());
}

} // namespace
} // namespace tunescrib::testing
