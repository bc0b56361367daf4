#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <filesystem>
#include "runtime/clock.h"
#include "runtime/step_result.h"
#include "runtime/window_timer.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "station/station.h"
#include "tests/faultmatrix/flash_judge.h"
#include "tests/support/recording_panel.h"

namespace quillon::test {

enum class Mode { Kbs, Smbus, Socket, Pd };
enum class Op {
    Erase,
    BlankCheck,
    Program,
    Verify,
    Read,
    ReadTwice,
    BlockProcess,
    Sequence,
    FastBlank,
    FastChanged,
};
// Sequence: erase, blank check, program and verify in a row, each only after an OK, as the
// automatic run chains them (the erase's and the program's proofs left to the next step).
// FastBlank, FastChanged: the same as one Auto unit with FastFlash 1 (on a blank part whose
// probe block holds old data) and 2 (on a part holding the image but in its probe block).

const char* ModeName(Mode mode);
const char* OpName(Op op);

// What the flash should hold before the operation runs, so that its claim means something.
enum class Before { OldData, Blank, Image, BlankButProbe, ImageButProbe };
Before StateBefore(Op op);

// One station on one in-process virtual board in one connect mode, set up as identification
// and a loaded image would leave it: a 512 KiB SPI part (or a 64 KiB USB-PD flash) with an
// image over its first blocks. Waits run on a virtual clock; a run that keeps retrying past
// `patience` waits is stopped as an operator would.
class MatrixBench {
public:
    static constexpr uint32_t kBlock = 65536;
    static constexpr uint32_t kPartBlocks = 8;       // W25X40
    static constexpr uint32_t kImageBlocks = 3;      // the image's used blocks
    static constexpr uint32_t kPdFlashSize = 65536;  // 256 pages of 256 bytes
    static constexpr uint32_t kPdImageSize = 16384;

    // `imageSize` 0: three blocks, or 16 KiB on a USB-PD controller.
    MatrixBench(Mode mode, uint64_t seed, uint32_t imageSize = 0);
    ~MatrixBench();
    MatrixBench(const MatrixBench&) = delete;
    MatrixBench& operator=(const MatrixBench&) = delete;

    // Puts the flash into the state before `op` and sets Read Twice for ReadTwice.
    void Prepare(Op op);
    StepResult Run(Op op);
    // The operation's claim held against the true memory (call after Run).
    Judgement Judge(Op op);

    sim::VirtualBoard& Board() { return *board_; }
    Station& GetStation() { return *station_; }
    VirtualClock& GetClock() { return clock_; }
    sim::FlashId Flash() const;
    std::span<uint8_t> Truth() { return board_->Flash(Flash()); }
    const std::vector<uint8_t>& Image() const { return image_; }
    // Flash range an operation works on: the image's blocks (the PD flash for a PD erase).
    ByteRange Range(Op op) const;
    // A flash address inside the image where the image has bit 0 clear, and its unit (block,
    // or USB-PD page) for fault rules.
    uint32_t ProbeAddress() const;
    uint32_t ProbeUnit() const;
    // Places the image from `block` on (allocation From Medium): the blocks below it are
    // left alone by erase, blank check, program and verify.
    void StartAtBlock(uint32_t block);
    // The old contents the flash held before Prepare, by flash address.
    const std::vector<uint8_t>& OldData() const { return old_; }
    // Presses Stop at the first pump after `transfers` more transfers reached the board.
    void StopAfterTransfers(uint64_t transfers);
    // Waits a run may spend on retries before the bench presses Stop.
    void SetPatience(std::size_t waits) { patience_ = waits; }
    // Brings the target back after a power loss or the board after an unplug, and enters the
    // PD controller's test mode again where it needs it.
    void Restore();

private:
    void Configure();
    StepResult RunSequence();
    void EnterPdTestMode();

    Mode mode_;
    std::unique_ptr<sim::VirtualBoard> board_;
    std::unique_ptr<sim::InProcessBoard> attach_;
    // The settings file lives in memory-backed storage where there is one: the store commits
    // every write to disk, and the matrix builds hundreds of stations.
    struct ScratchFolder {
        ScratchFolder();
        ~ScratchFolder();
        std::filesystem::path path;
    } dir_;
    RecordingPanel panel_;
    VirtualClock clock_;
    ManualTimer timer_;
    std::unique_ptr<Station> station_;
    std::vector<uint8_t> image_;
    std::vector<uint8_t> old_;
    uint32_t startBlock_ = 0;
    std::size_t patience_ = 200;
    std::size_t waits_ = 0;
};

}  // namespace quillon::test
