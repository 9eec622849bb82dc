// The output's logic over a fake device whose thread pulls blocks: rest and wake, a server
// that dies, freezes or refuses, a stuck close. Run under ThreadSanitizer too (tsan preset).

#include "platform/pull_gate.h"
#include "platform/stream_audio_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tunescrib {
namespace {

using namespace std::chrono_literals;

// Waits up to five seconds for `done`; the fake's thread runs at its own pace.
template <typename Done> bool waitFor(Done done) {
    for (int i = 0; i < 5000 && !done(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

// The device and server behind every stream a rig makes. A frozen device holds the write
// of a block, a dead one fails it and refuses new streams, a stuck one holds a close.
struct FakeDevice {
    std::atomic<bool> frozen{false};
    std::atomic<bool> holding{false}; // the stream thread waits in a frozen write
    std::atomic<bool> dead{false};
    std::atomic<bool> stuck{false};
    std::atomic<int> made{0};
    std::atomic<int> opens{0};
    std::atomic<int> closes{0};

    std::mutex lock;
    std::vector<float> values; // the first sample of every written block, under `lock`

    std::vector<float> written() {
        const std::lock_guard guard(lock);
        return values;
    }
};

class FakeBackend final : public AudioStreamBackend {
public:
    static constexpr unsigned blockFrames = 64;
    explicit FakeBackend(FakeDevice& device) : device(device) { ++device.made; }
    AudioFormat deviceFormat() override { return {48000.0, 2}; }
    OpenedStream open(StreamClient& streamClient) override {
        if (device.dead) {
            throw AudioStartError("Connection refused");
        }
        client = &streamClient;
        ++device.opens;
        return {{48000.0, 2}, "fake", blockFrames};
    }
    void start() override {
        thread = std::thread([this] { pull(); });
    }
    bool isServerSilent() const override { return false; }
    void pause() override { gate.pause(); }
    void resume() override { gate.resume(); }
    void close() override {
        if (thread.joinable()) {
            while (device.stuck) {
                std::this_thread::sleep_for(1ms);
            }
            closing = true; // also ends a frozen write, which a real device would not
            gate.close();
            thread.join();
            ++device.closes;
        }
    }

private:
    // The stream thread: one block at a time, as a device asks for them.
    void pull() {
        std::vector<float> block(2 * blockFrames);
        while (gate.waitWhilePaused() && !closing) {
            if (!client->onBlock(block.data(), blockFrames, false)) {
                return; // stopped: the backend pulls no more until closed
            }
            device.holding = device.frozen.load();
            while (device.frozen && !closing) {
                std::this_thread::sleep_for(100us);
            }
            device.holding = false;
            if (device.dead) {
                client->onStreamFailed();
                continue;
            }
            {
                const std::lock_guard guard(device.lock);
                device.values.push_back(block.front());
            }
            std::this_thread::sleep_for(200us);
        }
    }

    FakeDevice& device;
    StreamClient* client = nullptr;
    PullGate gate;
    std::thread thread;
    std::atomic<bool> closing{false};
};

// The callback plays 1.0 while a note is held and asks for rest otherwise.
struct Rig {
    Rig() {
        output.emplace([this] { return std::make_unique<FakeBackend>(device); },
                       [this] { return clock.load(); });
    }
    // Every stream closed before the device goes, also one whose close outlasted closeLimit.
    ~Rig() {
        output.reset();
        waitFor([this] { return device.closes == device.opens; });
    }
    RenderCallback player() {
        return [this](std::span<AudioBuffer> buffers, std::int64_t frames) {
            std::fill_n(buffers[0].data, frames * 2, note ? 1.0F : 0.0F);
            return !note;
        };
    }
    FakeDevice device;
    std::atomic<double> clock{0.0};
    std::atomic<bool> note{false};
    std::optional<StreamAudioOutput> output;
};

TEST(StreamAudioOutput, RestsAtTheCallbacksWordAndTheFirstBlockAfterAWakeCarriesTheNote) {
    Rig rig;
    rig.output->deviceFormat();
    rig.output->start(rig.player());
    EXPECT_EQ(rig.device.made, 1) << "the format and the first stream asked twice";
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(waitFor([&] { return rig.output->isResting(); }));
        const std::size_t before = rig.device.written().size();
        rig.clock = rig.clock + 5.0; // resting is no stall, however long
        EXPECT_TRUE(rig.output->isRunning());
        rig.note = true;
        rig.output->wake();
        ASSERT_TRUE(waitFor([&] { return rig.device.written().size() > before; }));
        EXPECT_EQ(rig.device.written()[before], 1.0F) << "a stale block came first";
        rig.note = false;
    }
    EXPECT_EQ(rig.device.opens, 1);
}

TEST(StreamAudioOutput, AStalledServerIsNoticedAndPlaysOnWhenItResumes) {
    Rig rig;
    rig.note = true;
    rig.output->start(rig.player());
    rig.device.frozen = true;
    ASSERT_TRUE(waitFor([&] { return rig.device.holding.load(); }));
    rig.clock = 0.9;
    EXPECT_TRUE(rig.output->isRunning()) << "a late block is not yet a stall";
    rig.clock = 1.5;
    EXPECT_FALSE(rig.output->isRunning());
    try {
        rig.output->start(rig.player());
        ADD_FAILURE() << "a start waited on a frozen server";
    } catch (const AudioStartError& error) {
        EXPECT_STREQ(error.what(), StreamAudioOutput::stalledDescription);
    }
    EXPECT_EQ(rig.device.opens, 1) << "the stalled stream was given up";
    rig.device.frozen = false;
    EXPECT_TRUE(waitFor([&] { return rig.output->isRunning(); }));
}

// The program quits while its stream hangs in the device: the stream's thread goes on
// with the session the output no longer has.
TEST(StreamAudioOutput, ClosingAStreamStuckInItsDeviceDoesNotWaitForIt) {
    Rig rig;
    rig.note = true;
    rig.output->start(rig.player());
    rig.device.stuck = true;
    rig.output.reset(); // returns after closeLimit, with the close still waiting
    EXPECT_EQ(rig.device.closes, 0);
    rig.device.stuck = false;
    EXPECT_TRUE(waitFor([&] { return rig.device.closes == 1; }));
}

// The server dies while the output rests: it shows at the wake.
TEST(StreamAudioOutput, AServerThatDiesOrRefusesGetsANewStreamOnceItIsBack) {
    Rig rig;
    rig.output->start(rig.player());
    ASSERT_TRUE(waitFor([&] { return rig.output->isResting(); }));
    rig.device.dead = true;
    rig.note = true;
    rig.output->wake();
    ASSERT_TRUE(waitFor([&] { return !rig.output->isRunning(); }));
    EXPECT_EQ(rig.device.closes, 1) << "a failed stream is closed";
    EXPECT_THROW(rig.output->start(rig.player()), AudioStartError);
    rig.device.dead = false;
    const std::size_t before = rig.device.written().size();
    rig.output->start(rig.player());
    EXPECT_EQ(rig.device.opens, 2);
    EXPECT_TRUE(waitFor([&] { return rig.device.written().size() > before; }));
}

} // namespace
} // namespace tunescrib
