#include "tests/faultmatrix/flash_judge.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon::test {
namespace {

TEST(FlashJudge, BlankCountsEveryProgrammedByteOfTheRangeOnly) {
    std::vector<uint8_t> flash(1024, 0xFF);
    flash[99] = 0x00;   // outside
    flash[300] = 0xFE;  // one bit is enough
    flash[301] = 0x7F;
    const Judgement judgement = JudgeBlank(flash, {100, 400});
    EXPECT_EQ(judgement.wrongBytes, 2u);
    EXPECT_EQ(judgement.firstWrong, 300u);
    EXPECT_TRUE(JudgeBlank(flash, {302, 722}).Right());
    EXPECT_EQ(judgement.Describe(), "2 wrong bytes, first at 0x12C");
}

TEST(FlashJudge, HoldsComparesAddressByAddress) {
    std::vector<uint8_t> image(512);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 7);
    }
    std::vector<uint8_t> flash = image;
    EXPECT_TRUE(JudgeHolds(flash, image, {0, 512}).Right());
    flash[256] ^= 0x10;
    EXPECT_EQ(JudgeHolds(flash, image, {0, 512}).firstWrong, 256u);
    EXPECT_TRUE(JudgeHolds(flash, image, {0, 256}).Right());
}

TEST(FlashJudge, AClaimAboutBytesThatDoNotExistIsWrong) {
    const std::vector<uint8_t> flash(256, 0xFF);
    const std::vector<uint8_t> shortImage(128, 0xFF);
    const Judgement pastFlash = JudgeBlank(flash, {200, 100});
    EXPECT_EQ(pastFlash.wrongBytes, 44u);
    EXPECT_EQ(pastFlash.firstWrong, 256u);
    const Judgement pastImage = JudgeHolds(flash, shortImage, {0, 300});
    EXPECT_EQ(pastImage.wrongBytes, 172u);  // 44 past the flash, 128 past the image
    EXPECT_EQ(pastImage.firstWrong, 128u);
    EXPECT_EQ(JudgeBlank({}, {0, 1}).wrongBytes, 1u);
}

}  // namespace
}  // namespace quillon::test
