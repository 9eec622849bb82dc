// The ways to the device tried in order: the first that answers plays, asked once.

#include "platform/backend_chain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunescrib {
namespace {

// One way to the device, named by its first letter, which logs every call. Its flags: 'f'
// finds a device, 'o' opens, 's' is a server that took the connection and said nothing.
class ScriptedBackend final : public AudioStreamBackend {
public:
    ScriptedBackend(std::string way, std::string& log) : way(std::move(way)), log(log) {}
    AudioFormat deviceFormat() override {
        note("asked");
        return has('f') ? AudioFormat{44100.0, 2} : AudioFormat{};
    }
    OpenedStream open(StreamClient&) override {
        note("opened");
        if (!has('o')) {
            throw AudioStartError(way.substr(0, 1) + ": refused");
        }
        return {{44100.0, 2}, way.substr(0, 1), 64};
    }
    void start() override { note("started"); }
    bool isServerSilent() const override { return has('s'); }
    void pause() override {}
    void resume() override {}
    void close() override {}

private:
    [[nodiscard]] bool has(char flag) const { return way.find(flag, 1) != std::string::npos; }
    void note(const char* what) {
        log += (log.empty() ? "" : ", ") + way.substr(0, 1) + " " + what;
    }

    std::string way;
    std::string& log;
};

struct NoClient final : StreamClient {
    bool onBlock(float*, unsigned, bool) override { return false; }
    void onStreamFailed() override {}
};

TEST(BackendChain, TheFirstWayThatAnswersPlaysAndIsAskedOnce) {
    struct Case {
        std::vector<std::string> ways;
        bool formatAskedFirst;
        std::string log; // ends in what plays, or in what the chain said
    };
    const std::vector<Case> cases = {
        {{"A", "Bfo", "Cfo"}, true, "A asked, B asked, B opened, B started, B plays"},
        {{"Af", "Bo"}, true, "A asked, A opened, B opened, B started, B plays"},
        {{"Afo"}, false, "A opened, A started, A plays"},
        {{"A", "B"}, true, "A asked, B asked, A opened, B opened, A: refused; B: refused"},
        // The others would wait on the same frozen server.
        {{"As", "Bfo"}, true, "A asked, A opened, A: refused"},
        {{"Afs", "Bfo"}, false, "A opened, A: refused"},
    };
    for (const Case& c : cases) {
        std::string log;
        std::vector<BackendFactory> ways;
        for (const std::string& way : c.ways) {
            ways.emplace_back([way, &log] { return std::make_unique<ScriptedBackend>(way, log); });
        }
        auto chain = makeBackendChain(ways);
        if (c.formatAskedFirst) {
            chain->deviceFormat();
        }
        NoClient client;
        try {
            const std::string plays = chain->open(client).api;
            chain->start();
            log += ", " + plays + " plays";
        } catch (const AudioStartError& error) {
            log += ", " + std::string(error.what());
        }
        EXPECT_EQ(log, c.log);
    }
}

} // namespace
} // namespace tunescrib
