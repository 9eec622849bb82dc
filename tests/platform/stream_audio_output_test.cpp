// The output's logic over a fake stream whose thread pulls blocks like a device: rest and
// wake, a server that dies, freezes or refuses, and closing a stuck stream. Run by the tsan
// preset under ThreadSanitizer too.

#include "platform/pull_gate.h"
#include "platform/stream_audio_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tunescrib {
namespace {

using namespace std::chrono_literals;

// The device and server behind every stream the factory makes. Its thread "writes" each
// block into a log; a frozen device holds the write, a dead one fails it.
class FakeDevice {
public:
    static constexpr unsigned blockFrames = 64;

    void freeze() { set(frozen, true); }
    void thaw() { set(frozen, false); }
    void die() { set(dead, true); }
    void comeBack() { set(dead, false); }
    void refuseOpens(bool refuse) { refusing = refuse; }

    // True once the stream thread waits in a frozen write.
    [[nodiscard]] bool isHolding() {
        std::lock_guard guard(lock);
        return holding;
    }
    [[nodiscard]] int opens() const { return openCount; }
    [[nodiscard]] int closes() {
        std::lock_guard guard(lock);
        return closeCount;
    }
    [[nodiscard]] std::vector<float> blockValues() {
        std::lock_guard guard(lock);
        return values;
    }
    // Waits up to five seconds for `done`; the fake thread runs at its own pace.
    template <typename Done> bool waitFor(Done done) {
        for (int i = 0; i < 5000 && !done(); ++i) {
            std::this_thread::sleep_for(1ms);
        }
        return done();
    }

    OpenedStream open() {
        if (refusing) {
            throw AudioStartError("Connection refused");
        }
        ++openCount;
        return {{48000.0, 2}, "fake", blockFrames};
    }
    void start(StreamClient& client, std::thread& thread, PullGate& gate,
               std::atomic<bool>& closing) {
        thread = std::thread([this, &client, &gate, &closing] { pull(client, gate, closing); });
    }
    void closed() {
        std::lock_guard guard(lock);
        ++closeCount;
    }

private:
    void set(bool& flag, bool value) {
        std::lock_guard guard(lock);
        flag = value;
        changed.notify_all();
    }

    // The stream thread: one block at a time, as a device asks for them.
    void pull(StreamClient& client, PullGate& gate, std::atomic<bool>& closing) {
        std::vector<float> block(2 * blockFrames);
        while (gate.waitWhilePaused() && !closing) {
            if (!client.onBlock(block.data(), blockFrames, false)) {
                return; // stopped: the backend pulls no more until closed
            }
            std::unique_lock guard(lock);
            holding = frozen;
            changed.wait(guard, [&] { return !frozen || closing; });
            holding = false;
            if (dead) {
                guard.unlock();
                client.onStreamFailed();
                continue;
            }
            values.push_back(block.front());
            guard.unlock();
            std::this_thread::sleep_for(200us);
        }
    }

    std::mutex lock;
    std::condition_variable changed;
    bool frozen = false;       // guarded by lock
    bool holding = false;      // guarded by lock
    bool dead = false;         // guarded by lock
    int closeCount = 0;        // guarded by lock
    std::vector<float> values; // first sample of every written block, guarded by lock
    bool refusing = false;     // main thread
    int openCount = 0;         // main thread
};

class FakeBackend final : public AudioStreamBackend {
public:
    explicit FakeBackend(FakeDevice& device) : device(device) {}
    ~FakeBackend() override { close(); }
    AudioFormat deviceFormat() override { return {48000.0, 2}; }
    OpenedStream open(StreamClient& streamClient) override {
        client = &streamClient;
        return device.open();
    }
    void start() override { device.start(*client, thread, gate, closing); }
    bool isServerSilent() const override { return false; }
    void pause() override { gate.pause(); }
    void resume() override { gate.resume(); }
    void close() override {
        if (thread.joinable()) {
            closing = true;
            gate.close();
            device.thaw(); // the fake's own wait ends; a real frozen write would not
            thread.join();
            device.closed();
        }
    }

private:
    FakeDevice& device;
    StreamClient* client = nullptr;
    PullGate gate;
    std::thread thread;
    std::atomic<bool> closing{false};
};

// A render callback that plays 1.0 while a note is held and asks for rest otherwise.
struct Player {
    std::atomic<bool> note{false};
    RenderCallback callback() {
        return [this](std::span<AudioBuffer> buffers, std::int64_t frames) {
            const float value = note ? 1.0F : 0.0F;
            std::fill_n(buffers[0].data, frames * 2, value);
            return !note;
        };
    }
};

struct Rig {
    Rig()
        : output(
              [this] {
                  ++backendsMade;
                  return std::make_unique<FakeBackend>(device);
              },
              [this] { return clock.load(); }) {}
    // Every stream closed before the device goes, also one whose close outlasted closeLimit.
    ~Rig() {
        output.stop();
        device.waitFor([this] { return device.closes() == device.opens(); });
    }
    FakeDevice device;
    int backendsMade = 0;
    std::atomic<double> clock{0.0};
    Player player;
    StreamAudioOutput output;
};

TEST(StreamAudioOutput, RestsAtTheCallbacksWordAndTheFirstBlockAfterAWakeCarriesTheNote) {
    Rig rig;
    rig.output.deviceFormat();
    rig.output.start(rig.player.callback());
    EXPECT_EQ(rig.backendsMade, 1) << "the format and the first stream asked twice";
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(rig.device.waitFor([&] { return rig.output.isResting(); }));
        const std::size_t before = rig.device.blockValues().size();
        rig.clock = rig.clock + 5.0; // resting is no stall, however long
        EXPECT_TRUE(rig.output.isRunning());
        rig.player.note = true;
        rig.output.wake();
        ASSERT_TRUE(rig.device.waitFor([&] { return rig.device.blockValues().size() > before; }));
        EXPECT_EQ(rig.device.blockValues()[before], 1.0F) << "a stale block came first";
        rig.player.note = false;
    }
    EXPECT_EQ(rig.device.opens(), 1);
}

TEST(StreamAudioOutput, AStalledServerIsNoticedAndPlaysOnWhenItResumes) {
    Rig rig;
    rig.player.note = true;
    rig.output.start(rig.player.callback());
    rig.device.freeze();
    ASSERT_TRUE(rig.device.waitFor([&] { return rig.device.isHolding(); }));
    rig.clock = 0.9;
    EXPECT_TRUE(rig.output.isRunning()) << "a late block is not yet a stall";
    rig.clock = 1.5;
    EXPECT_FALSE(rig.output.isRunning());
    try {
        rig.output.start(rig.player.callback());
        ADD_FAILURE() << "a start waited on a frozen server";
    } catch (const AudioStartError& error) {
        EXPECT_STREQ(error.what(), StreamAudioOutput::stalledDescription);
    }
    EXPECT_EQ(rig.device.opens(), 1) << "the stalled stream was given up";
    rig.device.thaw();
    EXPECT_TRUE(rig.device.waitFor([&] { return rig.output.isRunning(); }));
}

TEST(StreamAudioOutput, ClosingAStreamStuckInItsDeviceDoesNotWaitForIt) {
    struct StuckBackend final : AudioStreamBackend {
        std::mutex& server;
        std::atomic<bool>& closed;
        StuckBackend(std::mutex& server, std::atomic<bool>& closed)
            : server(server), closed(closed) {}
        AudioFormat deviceFormat() override { return {48000.0, 2}; }
        OpenedStream open(StreamClient&) override { return {{48000.0, 2}, "stuck", 64}; }
        void start() override {}
        bool isServerSilent() const override { return false; }
        void pause() override {}
        void resume() override {}
        void close() override {
            { std::lock_guard wait(server); }
            closed = true;
        }
    };
    std::mutex frozenServer;
    std::atomic<bool> closed{false};
    frozenServer.lock();
    {
        StreamAudioOutput output(
            [&] { return std::make_unique<StuckBackend>(frozenServer, closed); });
        output.start([](std::span<AudioBuffer>, std::int64_t) { return false; });
    } // returns after closeLimit, with the close still waiting
    EXPECT_FALSE(closed);
    frozenServer.unlock();
    while (!closed) {
        std::this_thread::yield();
    }
}

TEST(StreamAudioOutput, AServerThatDiesOrRefusesGetsANewStreamOnceItIsBack) {
    Rig rig;
    rig.player.note = true;
    rig.output.start(rig.player.callback());
    rig.device.die();
    ASSERT_TRUE(rig.device.waitFor([&] { return !rig.output.isRunning(); }));
    EXPECT_EQ(rig.device.closes(), 1) << "a failed stream is closed";
    rig.device.refuseOpens(true);
    EXPECT_THROW(rig.output.start(rig.player.callback()), AudioStartError);
    rig.device.refuseOpens(false);
    rig.device.comeBack();
    const std::size_t before = rig.device.blockValues().size();
    rig.output.start(rig.player.callback());
    EXPECT_EQ(rig.device.opens(), 2);
    EXPECT_TRUE(rig.device.waitFor([&] { return rig.device.blockValues().size() > before; }));
}

TEST(StreamAudioOutput, AServerThatDiedWhileTheOutputRestedShowsAtTheWake) {
    Rig rig;
    rig.output.start(rig.player.callback());
    ASSERT_TRUE(rig.device.waitFor([&] { return rig.output.isResting(); }));
    rig.device.die();
    rig.player.note = true;
    rig.output.wake();
    EXPECT_TRUE(rig.device.waitFor([&] { return !rig.output.isRunning(); }));
}

} // namespace
} // namespace tunescrib
