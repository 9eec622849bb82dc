#include "platform/silence_watch.h"

#include <gtest/gtest.h>

#include <vector>

namespace tunescrib {
namespace {

struct Block {
    std::vector<float> samples;
    bool sleepExpected;
};

TEST(SilenceWatch, SleepsOnlyAfterEnoughUnbrokenSilence) {
    const std::vector<float> zeros(4, 0.0F);
    const std::vector<float> negativeZeros(4, -0.0F);
    const std::vector<float> faint{0.0F, 0.0F, 1e-30F, 0.0F};
    // Limit 6 frames, blocks of 2 stereo frames.
    const std::vector<Block> blocks{
        {zeros, false}, {negativeZeros, false}, {faint, false}, // any sample resets the count
        {zeros, false}, {zeros, false},         {zeros, true},
        {zeros, true},  {faint, false},         {zeros, false},
    };
    SilenceWatch watch(6);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(watch.countBlock(blocks[i].samples.data(), blocks[i].samples.size(), 2),
                  blocks[i].sleepExpected)
            << "block " << i;
    }
}

TEST(SilenceWatch, ResetStartsTheCountAgain) {
    const std::vector<float> zeros(2, 0.0F);
    SilenceWatch watch(4);
    EXPECT_FALSE(watch.countBlock(zeros.data(), zeros.size(), 2));
    EXPECT_TRUE(watch.countBlock(zeros.data(), zeros.size(), 2));
    watch.reset();
    EXPECT_FALSE(watch.countBlock(zeros.data(), zeros.size(), 2));
}

} // namespace
} // namespace tunescrib
