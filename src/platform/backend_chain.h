#pragma once
// Several ways to reach the sound device, tried in order as one backend: the first whose
// library finds a device plays, and when none can, the error says what each one said.

#include "platform/audio_stream_backend.h"

#include <vector>

namespace tunescrib {

// deviceFormat() asks each way in turn and keeps the first that answers, for the open()
// that follows. open() starts with that one (or the first), falls to the next on
// AudioStartError, and throws one AudioStartError joining every way's words with "; ".
// A way whose server is silent ends the search: the start fails within one way's time
// limit, not within the sum of them all.
std::unique_ptr<AudioStreamBackend> makeBackendChain(std::vector<BackendFactory> ways);

} // namespace tunescrib
