#include "image/image_merge.h"

#include <algorithm>

#include "config/connect_mode.h"
#include "config/hex_text.h"
#include "config/setting_names.h"
#include "config/stored_modes.h"
#include "image/last_file.h"
#include "runtime/operation_frame_lines.h"

namespace quillon {

namespace {

constexpr uint32_t kHalfBlock = 0x8000;
// The ROM code's area, the 8 KiB below 128 KiB; an image up to its size is a ROM code.
constexpr uint32_t kRomCodeAreaStart = 0x1E000;
constexpr uint32_t kRomCodeAreaEnd = 0x20000;
constexpr uint32_t kRomCodeAreaSize = kRomCodeAreaEnd - kRomCodeAreaStart;

// The ROM-key cases place their image from address 0 in whole blocks. Placement left from
// an earlier merge (a half last block, a start block above 0) would make the operations
// skip part of it, so it is reset.
void PlaceAtZero(ImageState& state) {
    state.startAddress = 0;
    state.startBlock = 0;
    state.halfLastBlock = false;
}

// A ROM-code file: the whole eFlash image is 0xFF except the file at the ROM-code start.
void PlaceRomCode(ImageContext& context) {
    ImageState& state = context.state;
    uint32_t start = EFlashFacts::kRomCodeStartLow;
    uint32_t blocks = 1;
    const char* line =
        "Rom Code Start Address is 0xe000 and size is 8k. The other 56K will be cleared.";
    if (context.eflash.romCodeStart == EFlashFacts::kRomCodeStartHigh) {
        start = EFlashFacts::kRomCodeStartHigh;
        if (context.identity.eFlashSizeCode == 2) {
            blocks = 3;
            line =
                "Rom Code Start Address is 0x1e000 and size is 8k. The other 184K will be "
                "cleared.";
        } else {
            blocks = 2;
            line =
                "Rom Code Start Address is 0x1e000 and size is 8k. The other 120K will be "
                "cleared.";
        }
    }
    context.log.Append(line);
    context.flashblock = static_cast<int32_t>(blocks);
    state.usedBlockCount = blocks;
    state.mergeBuffer.assign(std::size_t{blocks} * kBlockSize, 0xFF);
    std::copy(state.imageBuffer.begin(), state.imageBuffer.end(),
              state.mergeBuffer.begin() + start);
    state.imageBuffer.swap(state.mergeBuffer);
    PlaceAtZero(state);
}

// A combined ROM-plus-main image must be exactly the eFlash size. True when it is.
bool CheckCombinedImage(ImageContext& context, std::size_t size) {
    struct Expected {
        uint32_t size;
        uint32_t blocks;
        const char* line;
        const char* message;
    };
    const uint32_t romCodeStart = context.eflash.romCodeStart;
    Expected expected{};
    bool logLine = true;
    if (romCodeStart == EFlashFacts::kRomCodeStartHigh) {
        const int32_t designatedKB = context.settings.ReadInt(setting::kDesignatedEflashSizeKB);
        logLine = designatedKB == 0;
        if (context.identity.eFlashSizeCode == 2 || designatedKB == 192) {
            expected = {0x30000, 3,
                        "Rom Code Start Address is 0x1e000 and the tatol size including main "
                        "code is 192k.",
                        "The Rom+Main Code Size must be 192K."};
        } else {
            expected = {0x20000, 2,
                        "Rom Code Start Address is 0x1e000 and the tatol size including main "
                        "code is 128k.",
                        "The Rom+Main Code Size must be 128K."};
        }
    } else if (romCodeStart == EFlashFacts::kRomCodeStartLow) {
        expected = {0x10000, 1,
                    "Rom Code Start Address is 0xe000 and the tatol size including main code "
                    "is 64k.",
                    "The Rom+Main Code Size must be 64K."};
    } else {
        const ConnectionCheckPause pause(context.timer1);
        context.panel.Warn("Plese press the 'Internal-Flash' button first.");
        return false;
    }
    if (size != expected.size) {
        context.panel.Warn(expected.message);
        return false;
    }
    context.state.usedBlockCount = expected.blocks;
    PlaceAtZero(context.state);
    if (logLine) {
        context.log.Append(expected.line);
    }
    return true;
}

MergeOutcome Reject(ImageContext& context, RomKey romKey) {
    if (romKey != RomKey::Combined) {
        context.panel.Warn("The Rom Code Size can not more 8K.");
    }
    ForgetLastFile(context);
    DropImage(context.state);
    return MergeOutcome::Rejected;
}

MergeOutcome MergeRomKeyImage(ImageContext& context, RomKey romKey) {
    const std::size_t size = context.state.imageBuffer.size();
    if (size <= kRomCodeAreaSize) {
        PlaceRomCode(context);
        return MergeOutcome::Placed;
    }
    if (romKey == RomKey::Combined && CheckCombinedImage(context, size)) {
        return MergeOutcome::Placed;
    }
    return Reject(context, romKey);
}

// Completes the merge buffer with bytes of one flash block read through ReadBuffer.
// True when the read succeeded.
bool CopyFromFlash(ImageContext& context, uint32_t block, std::size_t from, std::size_t to) {
    ImageState& state = context.state;
    state.readBuffer.resize(kBlockSize);
    const TransferResult result = context.board.ReadBlock(
        static_cast<int>(block), static_cast<uint8_t>(context.commandModeRead), state.readBuffer);
    std::copy(state.readBuffer.begin() + static_cast<std::ptrdiff_t>(from),
              state.readBuffer.begin() + static_cast<std::ptrdiff_t>(to),
              state.mergeBuffer.begin() +
                  static_cast<std::ptrdiff_t>(std::size_t{block} * kBlockSize + from));
    return result.Succeeded();
}

MergeOutcome MergeWithFlash(ImageContext& context, uint64_t size, uint32_t endBlock,
                            RomKey romKey) {
    ImageState& state = context.state;
    OperationLines lines(context.panel, context.log);
    lines.Begin("Merge File", "Merging...");
    context.panel.SetProgress(0);
    state.mergeBuffer.assign(std::size_t{endBlock} * kBlockSize, 0xFF);
    // Both boundary reads must succeed for the merge to be good. A read that cannot even be
    // asked for ends the merge with its failure line before the error goes on.
    bool readsGood = true;
    try {
        const uint32_t head = state.startAddress % kBlockSize;
        if (head != 0) {
            readsGood = CopyFromFlash(context, state.startBlock, 0, head) && readsGood;
        }
        context.panel.SetProgress(50);
        const auto tail = static_cast<uint32_t>((state.startAddress + size) % kBlockSize);
        if (tail != 0) {
            readsGood = CopyFromFlash(context, endBlock - 1, tail, kBlockSize) && readsGood;
        }
    } catch (...) {
        lines.End(StepReport::Failure({}));
        state.besideFileUnread = true;  // what the caller learns from it: the flash was not read
        throw;
    }
    std::copy_n(state.imageBuffer.begin(), size,
                state.mergeBuffer.begin() + static_cast<std::ptrdiff_t>(state.startAddress));
    state.imageBuffer.swap(state.mergeBuffer);
    state.usedBlockCount = endBlock;
    // Such a chip is a ROM-code chip, so `romKey` holds the stored value here.
    if (context.identity.Traits().romCodeAreaUntested && romKey == RomKey::Off) {
        // Its ROM-code area is never programmed from a main image.
        const std::size_t end = std::min<std::size_t>(kRomCodeAreaEnd, state.imageBuffer.size());
        if (end > kRomCodeAreaStart) {
            std::fill(state.imageBuffer.begin() + kRomCodeAreaStart,
                      state.imageBuffer.begin() + static_cast<std::ptrdiff_t>(end), 0xFF);
        }
    }
    context.panel.SetProgress(100);
    lines.End(readsGood ? StepReport::Done() : StepReport::Failure({}));
    state.besideFileUnread = !readsGood;
    return readsGood ? MergeOutcome::Placed : MergeOutcome::ReadFailed;
}

MergeOutcome Allocate(ImageContext& context, RomKey romKey) {
    ImageState& state = context.state;
    const auto allocation = ReadMode<Allocation>(context.settings);
    // Flash addresses are 32-bit: no part is larger than 65536 blocks.
    const auto partBlocks = static_cast<uint32_t>(std::clamp(context.flashblock, 0, 0x10000));
    if (allocation == Allocation::FromTop) {
        state.startAddress = 0;
    } else if (allocation == Allocation::FromMedium) {
        state.startAddress = static_cast<uint32_t>(partBlocks / 2 * kBlockSize);
    } else if (allocation == Allocation::FromAssigned) {
        state.startAddress = ParseHexText(context.assignedAddressText);
    }  // no allocation: the start address of the last merge stays
    const uint64_t partSize = uint64_t{partBlocks} * kBlockSize;
    uint64_t size = state.imageBuffer.size();
    const uint64_t start = state.startAddress;
    if (start >= partSize || partSize < start + size) {
        context.panel.Warn(
            "The used address is more than the size of Flash ROM !\nPlease reset your setting.");
        if (start >= partSize) {
            // Nothing of the file lies inside the part: place nothing.
            state.startBlock = state.startAddress >> 16;
            state.halfLastBlock = false;
            DropImage(state);
            return MergeOutcome::OutsidePart;
        }
        size = partSize - start;
    }
    state.startBlock = state.startAddress >> 16;
    const auto endBlock = static_cast<uint32_t>((start + size + kBlockSize - 1) / kBlockSize);
    state.halfLastBlock = allocation == Allocation::FromTop &&
                          context.eflash.internalFlashSelected && endBlock > 0 &&
                          size == uint64_t{endBlock - 1} * kBlockSize + kHalfBlock;
    context.log.Append("Use Block=" + std::to_string(endBlock - state.startBlock) +
                       "  (End:" + std::to_string(endBlock) +
                       " - Start:" + std::to_string(state.startBlock) + ")");
    context.log.Append("Start Address = 0x" + HexDigits(state.startAddress, 8));
    if (state.halfLastBlock) {
        state.usedBlockCount = endBlock;
        context.log.Append("The Last Block is 32K for EFlash!");
        return MergeOutcome::Placed;
    }
    return MergeWithFlash(context, size, endBlock, romKey);
}

}  // namespace

MergeOutcome MergeFile(ImageContext& context) {
    if (context.settings.ReadInt(setting::kConnectMode) == StoredValue(ConnectMode::Pd)) {
        return MergeOutcome::Placed;  // the PD paths use the file as it is
    }
    ImageState& state = context.state;
    state.imageFileSize = static_cast<uint32_t>(state.imageBuffer.size());
    // RomKey matters only to the ROM-code chips: the others never read it, so a store
    // without it does not stop their merge.
    RomKey romKey = RomKey::Off;
    if (context.identity.Traits().romCodeFamily) {
        romKey = ReadRomKey(context.settings);
        if (romKey != RomKey::Off) {
            return MergeRomKeyImage(context, romKey);
        }
    }
    return Allocate(context, romKey);
}

StepResult MergeImage(ImageContext& context) {
    return RecordStep(context.state, StepOf(MergeFile(context)));
}

StepResult RecordStep(ImageState& state, StepResult result) {
    if (result != StepResult::Refused) {
        state.operationResult = IsOk(result);
    }
    return result;
}

}  // namespace quillon
