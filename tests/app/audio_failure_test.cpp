#include "app_fixture.h"

namespace tunescrib::testing {
namespace {

// Without a sound server the program works silently and says so; a server that comes
// later is tried again by a note after a pause; a device that cannot restart takes no note.
TEST(AudioFailure, NotesWithoutSoundAreKeptOrRefusedAndTheStatusSaysWhy) {
    const char* noStart = "音声出力を開始できません";
    const char* noRestart = "音声出力を再開できません";
    const std::string take = "rec d0 +0.5 d1 +0.5 u0 u1 rec play +0.1 ";
    AppFixture::expectAfter({
        {"nosound", "err=Pulse:_connection_refused synth=0", noStart},
        {"nosound rec d0", "handled=1 lit=60", noStart}, // no note was heard
        {"nosound rec d0 +0.4 u0 rec play +0.1", "lit=60"},
        {"nosound rec d0 +0.4 u0 rec play +1.1", "lit= play=0", "再生完了"},
        {"nosound serverup d0 u0", "synth=0"}, // too soon after the failed start
        {"nosound serverup d0 u0 +3 d1", "synth=1 held=62p", "D4 / レ"},
        {"break d0", "handled=1 lit= last=- err=Pulse:_server_gone", noRestart},
        {"break d0 u0", "handled=0"},
        {"break p3", "lit= held="},
        {take, "held=60p"},
        {take + "break +0.5", "play=0 steps=0 held= err=Pulse:_server_gone", noRestart},
    });
}

} // namespace
} // namespace tunescrib::testing
