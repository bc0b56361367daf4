#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/block_checksum.h"  // kBlockSize: block n covers n * 65536 .. n * 65536 + 65535
#include "image/block_skip_flags.h"

namespace quillon {

// The largest part the station can address: 4096 blocks of 64 KiB (256 MiB). The buffers
// are made for it, and no image file beyond it is read.
inline constexpr int kMaxPartBlocks = 4096;
inline constexpr std::size_t kMaxImageBytes = kMaxPartBlocks * kBlockSize;

// The working data every flash operation reads or fills, and the placement of the loaded
// image. One instance lives as long as the station; touched only on the UI thread.
struct ImageState {
    std::vector<uint8_t> imageBuffer;  // the image to program; empty = no image loaded
    std::vector<uint8_t> readBuffer;   // data read back from the target
    uint32_t usedBlockCount = 0;       // blocks from block 0 that the operations walk
    uint32_t startAddress = 0;         // first flash address the image occupies
    uint32_t startBlock = 0;           // startAddress >> 16
    bool halfLastBlock = false;        // only the first 32 KB of the last block is used
    // The last merge could not read the flash's bytes beside the file: the image holds guesses
    // there, and writing it would overwrite what the flash keeps. Cleared by the next file.
    bool besideFileUnread = false;
    uint32_t imageFileSize = 0;  // size of the file as loaded, before the merge
    std::string imageFilePath;   // the file as loaded (what a unit's record names); "" = none
    // CRC-32 of the file's bytes as loaded (what a unit's record names); nothing while no
    // file is loaded.
    std::optional<uint32_t> imageFileCrc32;
    bool operationResult = false;  // outcome of the last flash or file step
    BlockSkipFlags blockSkipFlags;
    // Scratch image of the merge; kept between merges so a reload reuses its memory.
    std::vector<uint8_t> mergeBuffer;
};

}  // namespace quillon
