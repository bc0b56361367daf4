#pragma once

#include <filesystem>
#include <string>

#include "sim/virtual_board.h"

namespace quillon::sim {

// Keeps the board's flash contents in a state folder, one file per memory (eflash.bin,
// external.bin, socket.bin, pd.bin, board.bin), so that they survive a restart.
class StateStore {
public:
    explicit StateStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // Loads every file that exists. Throws std::runtime_error, naming the file, when one
    // cannot be read or does not have the size of its memory; nothing is changed then.
    void Load(VirtualBoard& board) const;
    // Writes every fitted memory atomically (temporary file, flush, rename).
    void Save(VirtualBoard& board) const;

    static const char* FileName(FlashId id);

private:
    std::filesystem::path folder_;
};

// Reads a whole file into `out`, which must have the file's size.
void ReadExactFile(const std::filesystem::path& path, std::span<uint8_t> out);
// Writes a file atomically: temporary file beside it, flush to disk, rename.
void WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> data);

}  // namespace quillon::sim
