#include "platform/system_audio_output.h"

#include "platform/backend_chain.h"
#include "platform/pipewire_stream_backend.h"
#include "platform/pulse_stream_backend.h"
#include "platform/rtaudio_stream_backend.h"

#include <utility>

namespace tunescrib {

std::unique_ptr<StreamAudioOutput> makeSystemAudioOutput(AudioReport report) {
    return std::make_unique<StreamAudioOutput>([report = std::move(report)] {
        return makeBackendChain({
            [report] { return makePipeWireBackend(report); },
            [report] { return makePulseBackend(report); },
            [report] { return makeRtAudioBackend(report); },
        });
    });
}

} // namespace tunescrib
