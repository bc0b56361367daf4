// Every flash operation in every connect mode under every injected fault. The verdict comes
// from the virtual board's true memory: an operation may say OK only when the flash holds what
// it claims (blank, the image, or what ReadBuffer now holds).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/faultmatrix/matrix_bench.h"

namespace quillon::test {
namespace {

using sim::FaultKind;
using sim::FaultRule;

struct Fault {
    const char* name;
    std::function<std::vector<FaultRule>(MatrixBench&, Op, uint64_t seed)> rules;
};

FaultRule OnProbe(MatrixBench& bench, FaultKind kind, uint32_t times) {
    FaultRule rule;
    rule.kind = kind;
    rule.unit = bench.ProbeUnit();
    rule.times = times;
    return rule;
}

const std::vector<Fault>& Faults() {
    static const std::vector<Fault> faults{
        {"failed transfer, always",
         [](MatrixBench& b, Op, uint64_t) {
             return std::vector{OnProbe(b, FaultKind::kFailTransfer, 0)};
         }},
        {"failed transfer, 3 times",
         [](MatrixBench& b, Op, uint64_t) {
             return std::vector{OnProbe(b, FaultKind::kFailTransfer, 3)};
         }},
        {"failed transfer, rate 1%",
         [](MatrixBench&, Op, uint64_t) {
             FaultRule rule;
             rule.rate = 0.01;
             return std::vector{rule};
         }},
        {"unstable read",
         [](MatrixBench& b, Op op, uint64_t) {
             FaultRule rule;
             rule.kind = FaultKind::kUnstableRead;
             rule.flash = b.Flash();
             rule.address = b.Range(op).start;
             rule.length = b.Range(op).length;
             rule.rate = 1e-4;
             return std::vector{rule};
         }},
        {"stuck bits",
         [](MatrixBench& b, Op, uint64_t) {
             FaultRule rule;
             rule.kind = FaultKind::kStuckBits;
             rule.flash = b.Flash();
             rule.address = b.ProbeAddress();
             rule.bits = 0x01;
             return std::vector{rule};
         }},
        {"write lie", [](MatrixBench& b, Op,
                         uint64_t) { return std::vector{OnProbe(b, FaultKind::kWriteLie, 1)}; }},
        {"erase lie", [](MatrixBench& b, Op,
                         uint64_t) { return std::vector{OnProbe(b, FaultKind::kEraseLie, 1)}; }},
        {"partial write",
         [](MatrixBench& b, Op, uint64_t) {
             FaultRule rule = OnProbe(b, FaultKind::kPartialWrite, 1);
             rule.bytes = 100;
             return std::vector{rule};
         }},
        {"stale read", [](MatrixBench& b, Op,
                          uint64_t) { return std::vector{OnProbe(b, FaultKind::kStaleRead, 1)}; }},
        {"power lost after k",
         [](MatrixBench&, Op, uint64_t seed) {
             FaultRule rule;
             rule.kind = FaultKind::kPowerLoss;
             rule.afterTransfers = 1 + static_cast<uint32_t>(seed % 2);
             return std::vector{rule};
         }},
        {"power lost mid-run",
         [](MatrixBench&, Op, uint64_t seed) {
             FaultRule rule;
             rule.kind = FaultKind::kPowerLoss;
             rule.afterTransfers = 4 + static_cast<uint32_t>(seed % 5);
             rule.bytes = 100;  // in the middle of that transfer
             return std::vector{rule};
         }},
        {"board pulled out after k",
         [](MatrixBench&, Op, uint64_t seed) {
             FaultRule rule;
             rule.kind = FaultKind::kUnplug;
             rule.afterTransfers = 1 + static_cast<uint32_t>(seed % 2);
             return std::vector{rule};
         }},
        {"Stop pressed after k",
         [](MatrixBench& b, Op, uint64_t seed) {
             b.StopAfterTransfers(1 + seed % 2);
             return std::vector<FaultRule>{};
         }},
    };
    return faults;
}

constexpr Op kOps[] = {Op::Erase,     Op::BlankCheck, Op::Program,      Op::Verify,
                       Op::Read,      Op::ReadTwice,  Op::BlockProcess, Op::Sequence,
                       Op::FastBlank, Op::FastChanged};

constexpr Mode kModes[] = {Mode::Kbs, Mode::Smbus, Mode::Socket, Mode::Pd};

enum class Verdict { RightOk, FalseOk, FailureFlashRight, RightFailure };

const char* Code(Verdict verdict) {
    switch (verdict) {
        case Verdict::RightOk:
            return "ok";
        case Verdict::FalseOk:
            return "FALSE-OK";
        case Verdict::FailureFlashRight:
            return "fail(right)";
        case Verdict::RightFailure:
            return "fail";
    }
    return "?";
}

struct Outcome {
    Verdict verdict;
    std::string detail;
};

Outcome RunCase(Mode mode, Op op, std::size_t faultIndex, uint64_t seed) {
    MatrixBench bench(mode, seed);
    bench.Prepare(op);
    for (const FaultRule& rule : Faults()[faultIndex].rules(bench, op, seed)) {
        bench.Board().AddFault(rule);
    }
    const StepResult result = bench.Run(op);
    const Judgement judgement = bench.Judge(op);
    const bool ok = result == StepResult::Ok;
    const Verdict verdict =
        ok ? (judgement.Right() ? Verdict::RightOk : Verdict::FalseOk)
           : (judgement.Right() ? Verdict::FailureFlashRight : Verdict::RightFailure);
    return {verdict, judgement.Describe()};
}

TEST(FaultMatrix, NoFaultEverEndsInAFalseOk) {
    std::map<Verdict, int> totals;
    std::vector<std::string> falseOks;
    std::printf(
        "\nok = OK and the flash right; FALSE-OK = OK but the flash wrong;\n"
        "fail(right) = failure although the flash was right; fail = right failure\n");
    std::printf("\n%-26s %-7s", "fault", "mode");
    for (Op op : kOps) {
        std::printf(" %-13s", OpName(op));
    }
    std::printf("\n");
    uint64_t seed = 1;
    for (std::size_t f = 0; f < Faults().size(); ++f) {
        for (Mode mode : kModes) {
            std::printf("%-26s %-7s", Faults()[f].name, ModeName(mode));
            for (Op op : kOps) {
                const Outcome outcome = RunCase(mode, op, f, seed++);
                ++totals[outcome.verdict];
                std::printf(" %-13s", Code(outcome.verdict));
                if (outcome.verdict == Verdict::FalseOk) {
                    falseOks.push_back(std::string(OpName(op)) + " / " + Faults()[f].name + " / " +
                                       ModeName(mode) + ": " + outcome.detail);
                }
            }
            std::printf("\n");
        }
    }
    int cases = 0;
    for (const auto& [verdict, count] : totals) {
        cases += count;
    }
    std::printf(
        "\n%d cases: %d ok, %d false OK, %d failures where the flash was right, "
        "%d right failures\n",
        cases, totals[Verdict::RightOk], totals[Verdict::FalseOk],
        totals[Verdict::FailureFlashRight], totals[Verdict::RightFailure]);
    for (const std::string& line : falseOks) {
        std::printf("false OK: %s\n", line.c_str());
    }
    EXPECT_GE(cases, 200);
    EXPECT_TRUE(falseOks.empty()) << falseOks.size() << " false OK";
}

}  // namespace
}  // namespace quillon::test
