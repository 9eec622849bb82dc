#include "platform/backend_chain.h"

#include <utility>

namespace tunescrib {

namespace {

class BackendChain final : public AudioStreamBackend {
public:
    explicit BackendChain(std::vector<BackendFactory> ways) : ways(std::move(ways)) {}
    ~BackendChain() override { close(); }
    BackendChain(const BackendChain&) = delete;
    BackendChain& operator=(const BackendChain&) = delete;

    AudioFormat deviceFormat() override {
        for (std::size_t way = 0; way < ways.size(); ++way) {
            auto candidate = ways[way]();
            const AudioFormat format = candidate->deviceFormat();
            if (format.channelCount > 0 || candidate->isServerSilent()) {
                answered = std::move(candidate);
                firstWay = way;
                return format;
            }
        }
        return {};
    }

    OpenedStream open(StreamClient& client) override {
        std::string failures;
        for (std::size_t way = firstWay; way < ways.size(); ++way) {
            auto candidate = way == firstWay && answered ? std::move(answered) : ways[way]();
            try {
                OpenedStream opened = candidate->open(client);
                playing = std::move(candidate);
                return opened;
            } catch (const AudioStartError& error) {
                failures += (failures.empty() ? "" : "; ") + std::string(error.what());
                if (candidate->isServerSilent()) {
                    break;
                }
            }
        }
        throw AudioStartError(failures);
    }

    [[nodiscard]] bool isServerSilent() const override {
        return playing ? playing->isServerSilent() : answered && answered->isServerSilent();
    }
    void start() override { playing->start(); }
    void pause() override { playing->pause(); }
    void resume() override { playing->resume(); }

    void close() override {
        if (playing) {
            playing->close();
        }
    }

private:
    std::vector<BackendFactory> ways;
    std::size_t firstWay = 0;
    std::unique_ptr<AudioStreamBackend> answered; // the way deviceFormat() found, unopened
    std::unique_ptr<AudioStreamBackend> playing;
};

} // namespace

std::unique_ptr<AudioStreamBackend> makeBackendChain(std::vector<BackendFactory> ways) {
    return std::make_unique<BackendChain>(std::move(ways));
}

} // namespace tunescrib
