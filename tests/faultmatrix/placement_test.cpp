// An image placed from block 1 (From Medium): each step's claim holds over the image's blocks,
// and block 0 keeps what it held.
#include <gtest/gtest.h>

#include "tests/faultmatrix/matrix_bench.h"

namespace quillon::test {
namespace {

class Placement : public ::testing::TestWithParam<Mode> {};

TEST_P(Placement, TheStepsKeepToTheImagesBlocks) {
    MatrixBench bench(GetParam(), 11);
    bench.StartAtBlock(1);
    bench.Prepare(Op::Sequence);
    const ByteRange below{0, MatrixBench::kBlock};
    for (Op step : {Op::Erase, Op::BlankCheck, Op::Program, Op::Verify}) {
        EXPECT_EQ(bench.Run(step), StepResult::Ok) << OpName(step);
        EXPECT_TRUE(bench.Judge(step).Right())
            << OpName(step) << ": " << bench.Judge(step).Describe();
        EXPECT_TRUE(JudgeHolds(bench.Truth(), bench.OldData(), below).Right())
            << OpName(step) << " touched block 0";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Placement, ::testing::Values(Mode::Kbs, Mode::Smbus, Mode::Socket),
                         [](const auto& mode) { return std::string(ModeName(mode.param)); });

}  // namespace
}  // namespace quillon::test
