#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_side_commands.h"
#include "chip/target_identity.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "flashops/block_walk.h"
#include "flashops/fast_flash_plan.h"
#include "image/image_state.h"
#include "runtime/clock.h"
#include "runtime/message_log.h"
#include "runtime/operation_frame.h"
#include "runtime/stop_request.h"
#include "target/connection_flags.h"
#include "target/eflash_facts.h"

namespace quillon {

struct FlashRun;

// The long-lived objects the flash operations work on, all owned by the station.
struct FlashOpsParts {
    BoardCommands& board;
    BoardSideCommands& boardSide;  // the USB-PD flash commands
    const SettingsStore& settings;
    const SettingsCache& cache;  // the selected flash type (Flashblock, command modes, ...)
    ImageState& image;
    const TargetIdentity& identity;
    const EFlashFacts& eflash;
    ConnectionFlags& flags;  // QuickModeCapable is cleared when the QuickMode setting is 0
    OperationFrame& frame;
    MessageLog& log;
    StopRequest& stop;  // a retry overflow sets it
    Clock& clock;
};

// The window's controls the operations read (their plain mirrors in the station).
struct FlashOpsControls {
    const std::vector<std::string>& deviceLines;  // Memo_Device: empty = no flash type chosen
    const bool& skipFF;                           // "Skip FF"
    const bool& readTwice;                        // "Read Twice to Verify"
    const bool& eraseLast1K;                      // Setup: "Erase Last 1K"
    // Ticks the four step boxes (Erase, Check, Program, Verify) and stores their state, as
    // their click handlers do. The block process calls it when it starts.
    std::function<void()> checkAllSteps;
    // The KB of the small sectors the selected part also has besides its erase unit (its
    // parameter file's SmallSectorSize; 0 when it has none). Empty: none.
    std::function<int32_t()> smallSectorKB;
    // FastFlash for the station's whole run instead of the stored setting (the command
    // line's --fast). None: the setting.
    std::optional<FastFlash> fastFlashForRun{};
};

// What the flash operations and the flashes they work on share for the station's life: the
// parts and controls, the one walk every operation makes, the FastFlash plan of an Auto unit,
// and scratch memory.
class FlashWork {
public:
    FlashWork(FlashOpsParts theParts, FlashOpsControls theControls);

    FlashOpsParts parts;
    FlashOpsControls controls;
    BlockWalk walk;
    FastFlashPlan fast;

    // `length` bytes of ImageBuffer from `offset`; past its end they read as 0xFF. The bytes
    // stay valid until the next call.
    std::span<const uint8_t> Image(std::size_t offset, std::size_t length);
    // A block's worth of scratch for bytes read back only to be tested.
    std::span<uint8_t> Scratch();
    // A block may be skipped only when its skip flag is set and the image now loaded is all
    // 0xFF there, so flags left from an earlier image never hide a block of this one.
    bool SkipsBlock(uint32_t block) const;
    // Without "Skip FF" no skip flag is left set.
    void ClearSkipFlagsUnlessSkipFF();
    // Block b is the last block of an image that ends 32 KB into it.
    bool IsHalfBlock(uint32_t block) const;
    // The gauge for `done` of `total` steps, or only a pump when the range is empty.
    // False once a stop was requested.
    bool Step(long long done, long long total);
    // The walk over the image's used blocks: from StartBlock unless the allocation is From
    // Top, the gauge counted from StartBlock.
    WalkPlan UsedBlocksPlan(const FlashRun& run) const;
    // A walk whose unit is one transfer (the unit's commands, true when they succeeded),
    // repeated under the repeat rule. OperationResult is the last transfer's result, false
    // when the walk ended early; it is also returned.
    bool WalkTransfers(FlashRun& run, const WalkPlan& plan,
                       const std::function<bool(long long unit)>& transfer);

    // The FastFlash lines after the erase and after the program, when the plan decided.
    void LogAlreadyBlank();
    void LogBlocksWritten(const FlashRun& run);

private:
    // Scratch for image blocks that reach past the end of ImageBuffer (filled with 0xFF).
    std::vector<uint8_t> imageScratch_;
    std::vector<uint8_t> readBackScratch_;
};

}  // namespace quillon
