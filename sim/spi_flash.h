#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "sim/nor_array.h"
#include "sim/spi_part.h"

namespace quillon::sim {

// Datasheet-typical times the timing model charges for each operation.
struct FlashTimes {
    uint64_t pageProgramNs = 700'000;  // one page of up to 256 bytes
    uint64_t byteProgramNs = 20'000;   // one byte (byte program, AAI step)
    uint64_t sector4kEraseNs = 45'000'000;
    uint64_t block32kEraseNs = 120'000'000;
    uint64_t block64kEraseNs = 150'000'000;
    uint32_t spiClockHz = 24'000'000;
};

// One NOR flash as the board drives it: an SPI part (external, or in the FSPI socket) or the
// controller's embedded flash. The command-mode bytes are interpreted as sim/command_modes.h
// documents. Every operation returns false when the board refuses the request (unknown mode,
// range outside the flash); an opcode the part ignores is not a refusal.
class SpiFlash {
public:
    explicit SpiFlash(const SpiPartInfo& part);
    // The controller's embedded flash, written through the debugger.
    static SpiFlash Embedded(uint32_t size, uint32_t sectorSize, std::array<uint8_t, 5> id,
                             std::array<uint8_t, 16> id16);

    const SpiPartInfo& Part() const { return part_; }
    bool IsEmbedded() const { return embedded_; }
    NorArray& Memory() { return memory_; }
    const NorArray& Memory() const { return memory_; }
    uint32_t Size() const { return memory_.Size(); }

    void PowerUp();

    // reply is 5 bytes, or 16 for the dump mode.
    bool ReadId(uint8_t mode, std::span<uint8_t> reply);
    bool Read(uint8_t mode, uint32_t address, std::span<uint8_t> out);
    // type: 0 chip, 1 sector, 2 block; address: any byte inside the unit to erase.
    bool Erase(uint8_t mode, uint8_t type, uint32_t address);
    // chunk: bytes per program command (PageWriteSize; 0 means 256).
    bool Program(uint8_t mode, uint32_t address, std::span<const uint8_t> data, uint32_t chunk);
    // reply receives status 1, status 2, then 0xFF; its size is the mode as a byte count.
    bool WriteStatus(uint8_t mode, uint8_t status1, uint8_t status2, std::span<uint8_t> reply);

    uint8_t Status1() const { return status1_; }
    uint8_t Status2() const { return status2_; }
    bool WriteProtected() const { return (status1_ & 0x3C) != 0; }

    // Modelled time the part has been busy, for the timing model.
    uint64_t BusyNs() const { return busyNs_; }
    void SetTimes(const FlashTimes& times) { times_ = times; }

private:
    SpiFlash() = default;
    uint32_t Wrap(uint32_t address) const { return address % memory_.Size(); }
    uint32_t EraseUnit(uint8_t opcode, uint32_t address, uint32_t& start) const;
    void EraseRange(uint32_t start, uint32_t length);
    void ProgramPageCommand(uint32_t address, std::span<const uint8_t> data);

    SpiPartInfo part_{};
    bool embedded_ = false;
    uint32_t embeddedSector_ = 1024;
    std::array<uint8_t, 16> id16_{};
    NorArray memory_;
    uint8_t status1_ = 0;
    uint8_t status2_ = 0;
    FlashTimes times_;
    uint64_t busyNs_ = 0;
};

}  // namespace quillon::sim
