// The ways to the device tried in order: the first that answers plays, asked once.

#include "platform/backend_chain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunescrib {
namespace {

// One way to the device: whether it finds one and whether it opens, and a log of calls.
struct Way {
    std::string name;
    bool hasDevice;
    bool opens;
    bool silent = false; // the server took the connection and said nothing
};

class ScriptedBackend final : public AudioStreamBackend {
public:
    ScriptedBackend(Way way, std::vector<std::string>& log) : way(std::move(way)), log(log) {}
    AudioFormat deviceFormat() override {
        log.push_back(way.name + " asked");
        return way.hasDevice ? AudioFormat{44100.0, 2} : AudioFormat{};
    }
    OpenedStream open(StreamClient&) override {
        log.push_back(way.name + " opened");
        if (!way.opens) {
            throw AudioStartError(way.name + ": refused");
        }
        return {{44100.0, 2}, way.name, 64};
    }
    void start() override { log.push_back(way.name + " started"); }
    bool isServerSilent() const override { return way.silent; }
    void pause() override {}
    void resume() override {}
    void close() override {}

private:
    Way way;
    std::vector<std::string>& log;
};

struct NoClient final : StreamClient {
    bool onBlock(float*, unsigned, bool) override { return false; }
    void onStreamFailed() override {}
};

TEST(BackendChain, TheFirstWayThatAnswersPlaysAndIsAskedOnce) {
    struct Case {
        std::vector<Way> ways;
        bool formatAskedFirst;
        std::string plays; // empty: nothing plays
        std::vector<std::string> log;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{{"A", false, false}, {"B", true, true}, {"C", true, true}},
         true,
         "B",
         {"A asked", "B asked", "B opened", "B started"},
         ""},
        {{{"A", true, false}, {"B", false, true}},
         true,
         "B",
         {"A asked", "A opened", "B opened", "B started"},
         ""},
        {{{"A", true, true}}, false, "A", {"A opened", "A started"}, ""},
        {{{"A", false, false}, {"B", false, false}},
         true,
         "",
         {"A asked", "B asked", "A opened", "B opened"},
         "A: refused; B: refused"},
        // The others would wait on the same frozen server.
        {{{"A", false, false, true}, {"B", true, true}},
         true,
         "",
         {"A asked", "A opened"},
         "A: refused"},
        {{{"A", true, false, true}, {"B", true, true}}, false, "", {"A opened"}, "A: refused"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> log;
        std::vector<BackendFactory> ways;
        for (const Way& way : c.ways) {
            ways.emplace_back([way, &log] { return std::make_unique<ScriptedBackend>(way, log); });
        }
        auto chain = makeBackendChain(ways);
        if (c.formatAskedFirst) {
            chain->deviceFormat();
        }
        NoClient client;
        try {
            EXPECT_EQ(chain->open(client).api, c.plays);
            chain->start();
        } catch (const AudioStartError& error) {
            EXPECT_EQ(error.what(), c.error);
        }
        EXPECT_EQ(log, c.log) << c.error;
    }
}

} // namespace
} // namespace tunescrib
