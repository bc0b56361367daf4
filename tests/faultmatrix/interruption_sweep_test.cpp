// Power lost at every transfer of a 64 KiB program, in the middle of the transfer: each run
// must report failure, and the next run, on restored power, must leave the image in the flash.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/faultmatrix/matrix_bench.h"

namespace quillon::test {
namespace {

constexpr uint32_t kProgramSize = 65536;
constexpr uint32_t kTornBytes = 100;

// Transfers a clean 64 KiB program sends in this mode.
std::size_t ProgramTransfers(Mode mode) {
    MatrixBench bench(mode, 1, kProgramSize);
    bench.Prepare(Op::Program);
    bench.Board().ClearTrace();
    EXPECT_EQ(bench.Run(Op::Program), StepResult::Ok);
    EXPECT_TRUE(bench.Judge(Op::Program).Right());
    return bench.Board().Trace().size();
}

void Sweep(Mode mode) {
    const std::size_t transfers = ProgramTransfers(mode);
    ASSERT_GT(transfers, 1u);
    std::size_t failures = 0;
    for (std::size_t k = 0; k < transfers; ++k) {
        MatrixBench bench(mode, 100 + k, kProgramSize);
        bench.Prepare(Op::Program);
        // Power drops in the middle of transfer k: a page gets only its first bytes.
        sim::FaultRule rule;
        rule.kind = sim::FaultKind::kPowerLoss;
        rule.afterTransfers = static_cast<uint32_t>(k);
        rule.bytes = kTornBytes;
        bench.Board().AddFault(rule);
        const StepResult interrupted = bench.Run(Op::Program);
        EXPECT_EQ(interrupted, StepResult::Failed) << ModeName(mode) << ", power lost after " << k;
        failures += interrupted == StepResult::Failed ? 1 : 0;
        bench.Restore();
        EXPECT_EQ(bench.Run(Op::Program), StepResult::Ok) << ModeName(mode) << ", after " << k;
        EXPECT_TRUE(bench.Judge(Op::Program).Right())
            << ModeName(mode) << ", after " << k << ": " << bench.Judge(Op::Program).Describe();
    }
    std::printf(
        "%s: power lost at each of %zu transfers of a 64 KiB program: %zu failures "
        "reported, each repaired by the next run\n",
        ModeName(mode), transfers, failures);
}

TEST(InterruptionSweep, PagePrograms) {
    Sweep(Mode::Smbus);  // 256 program commands of 256 bytes
    Sweep(Mode::Pd);     // 256 USB-PD page writes
}

TEST(InterruptionSweep, TheBoardPulledOutDuringAPageProgram) {
    const std::size_t transfers = ProgramTransfers(Mode::Smbus);
    constexpr std::size_t kStride = 16;
    for (std::size_t k = 1; k < transfers; k += kStride) {
        MatrixBench bench(Mode::Smbus, 500 + k, kProgramSize);
        bench.Prepare(Op::Program);
        sim::FaultRule rule;
        rule.kind = sim::FaultKind::kUnplug;
        rule.afterTransfers = static_cast<uint32_t>(k);
        bench.Board().AddFault(rule);
        EXPECT_EQ(bench.Run(Op::Program), StepResult::Failed) << "pulled out after " << k;
        bench.Restore();
        EXPECT_EQ(bench.Run(Op::Program), StepResult::Ok) << "plugged in after " << k;
        EXPECT_TRUE(bench.Judge(Op::Program).Right()) << "plugged in after " << k;
    }
}

TEST(InterruptionSweep, AQuickWriteOfAWholeBlock) {
    // The KBS quick write sends the block in one transfer: power lost half way through it.
    MatrixBench bench(Mode::Kbs, 7, kProgramSize);
    bench.Prepare(Op::Program);
    sim::FaultRule rule;
    rule.kind = sim::FaultKind::kPowerLoss;
    rule.bytes = kProgramSize / 2;
    bench.Board().AddFault(rule);
    EXPECT_EQ(bench.Run(Op::Program), StepResult::Failed);
    EXPECT_EQ(bench.GetStation().Log().Lines().back(), "Write Flash from buffer ---> Failure ! 41");
    EXPECT_TRUE(JudgeHolds(bench.Truth(), bench.Image(), {0, kProgramSize / 2}).Right());
    EXPECT_EQ(bench.Judge(Op::Program).firstWrong.value_or(0) / 1024, kProgramSize / 2 / 1024);
    bench.Restore();
    EXPECT_EQ(bench.Run(Op::Program), StepResult::Ok);
    EXPECT_TRUE(bench.Judge(Op::Program).Right());
}

}  // namespace
}  // namespace quillon::test
