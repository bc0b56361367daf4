#include "sim/spi_flash.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/lookup_table.h"
#include "sim/command_modes.h"

namespace quillon::sim {

namespace {

// The sector map "2x4K,1x8K,31x64K": the unit containing address, or 0 when the map does
// not cover it.
uint32_t MapUnit(const char* map, uint32_t address, uint32_t& start) {
    uint64_t position = 0;
    const std::string text = map;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(',', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string token = text.substr(at, end - at);
        const std::size_t x = token.find('x');
        if (x != std::string::npos) {
            const uint64_t count = std::strtoul(token.c_str(), nullptr, 10);
            const uint64_t size = std::strtoul(token.c_str() + x + 1, nullptr, 10) * 1024;
            if (size != 0 && address < position + count * size) {
                start = static_cast<uint32_t>(position + (address - position) / size * size);
                return static_cast<uint32_t>(size);
            }
            position += count * size;
        }
        at = end + 1;
    }
    return 0;
}

// The sector erase opcode each erase mode sends; the standard 4 KiB erase for the others.
constexpr LookupRow<uint8_t, uint8_t> kSectorOpcodes[] = {
    {modes::kErasePmc, 0xD7},
    {modes::kEraseAtmel, 0x52},
    {modes::kEraseLarge, 0xD8},
};

uint8_t SectorOpcode(uint8_t mode) {
    return LookUp(kSectorOpcodes, mode, 0x20);
}

uint8_t BlockOpcode(uint8_t mode) {
    return mode == modes::kEraseAtmel || mode == modes::kEraseHalfBlock ? 0x52 : 0xD8;
}

bool KnownEraseMode(uint8_t mode) {
    return mode <= modes::kEraseHalfBlock || (mode & 0xF0) == 0x80;
}

}  // namespace

SpiFlash::SpiFlash(const SpiPartInfo& part) : part_(part), memory_(part.size) {
    PowerUp();
}

SpiFlash SpiFlash::Embedded(uint32_t size, uint32_t sectorSize, std::array<uint8_t, 5> id,
                            std::array<uint8_t, 16> id16) {
    SpiFlash flash;
    flash.part_ = SpiPartInfo{"Kavo",
                              "eFlash",
                              {id[0], id[1], id[2]},
                              true,
                              {id[3], id[4]},
                              true,
                              size,
                              256,
                              sectorSize,
                              0,
                              0,
                              65536,
                              0xC7,
                              0x00,
                              true,
                              0,
                              {0xFF, 0xFF},
                              "",
                              0};
    flash.embedded_ = true;
    flash.embeddedSector_ = sectorSize == 0 ? 1024 : sectorSize;
    flash.id16_ = id16;
    flash.memory_ = NorArray(size);
    return flash;
}

void SpiFlash::PowerUp() {
    status1_ = part_.powerUpStatus;
    status2_ = 0;
}

bool SpiFlash::ReadId(uint8_t mode, std::span<uint8_t> reply) {
    std::fill(reply.begin(), reply.end(), 0xFF);
    busyNs_ += 6 * 8 * 1'000'000'000ull / times_.spiClockHz;
    if (mode == modes::kIdDump16) {
        if (embedded_) {
            std::copy_n(id16_.begin(), std::min(reply.size(), id16_.size()), reply.begin());
        } else if (part_.hasJedecId) {
            std::copy_n(part_.jedecId.begin(), std::min<std::size_t>(reply.size(), 3),
                        reply.begin());
        }
        return true;
    }
    if (reply.size() < 5) {
        return false;
    }
    if (mode != modes::kIdJedecAndRems && mode != modes::kIdRdid && mode != modes::kIdJedecAndRes &&
        mode != modes::kIdJedecAndAtmel) {
        return false;
    }
    if (part_.hasJedecId) {
        std::copy(part_.jedecId.begin(), part_.jedecId.end(), reply.begin());
    }
    const bool rems = mode == modes::kIdJedecAndRems || mode == modes::kIdRdid;
    if (embedded_ || (rems && part_.hasRemsId)) {
        reply[3] = part_.remsId[0];
        reply[4] = part_.remsId[1];
    } else if ((mode == modes::kIdJedecAndRes && part_.altIdOpcode == 0xAB) ||
               (mode == modes::kIdJedecAndAtmel && part_.altIdOpcode == 0x15)) {
        reply[3] = part_.altId[0];
        reply[4] = part_.altId[1];
    }
    return true;
}

bool SpiFlash::Read(uint8_t mode, uint32_t address, std::span<uint8_t> out) {
    const bool known = mode == modes::kReadNormal || mode == modes::kReadFast ||
                       (mode >= modes::kReadEFlashFirst && mode <= modes::kReadEFlashLast);
    if (!known || memory_.Size() == 0) {
        return false;
    }
    if (embedded_ && address >= memory_.Size()) {
        return false;
    }
    busyNs_ += (out.size() + 5) * 8 * 1'000'000'000ull / times_.spiClockHz;
    if (mode == modes::kReadFast && !part_.fastRead) {
        std::fill(out.begin(), out.end(), 0xFF);  // the part ignores 0Bh; MISO floats high
        return true;
    }
    const auto bytes = memory_.Bytes();
    if (embedded_) {
        // A block read that runs past the end of the embedded flash (the 32 KB tail of a
        // 96 KB part) answers the missing addresses as erased cells.
        const std::size_t present = std::min<std::size_t>(out.size(), memory_.Size() - address);
        std::copy_n(bytes.begin() + address, present, out.begin());
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(present), out.end(), 0xFF);
    } else if (address % memory_.Size() + out.size() <= memory_.Size()) {
        std::copy_n(bytes.begin() + Wrap(address), out.size(), out.begin());
    } else {
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = bytes[Wrap(static_cast<uint32_t>(address + i))];  // the address counter wraps
        }
    }
    return true;
}

uint32_t SpiFlash::EraseUnit(uint8_t opcode, uint32_t address, uint32_t& start) const {
    uint32_t unit = 0;
    switch (opcode) {
        case 0x20:
            unit = part_.parameterArea != 0 && address >= part_.parameterArea ? 0 : part_.erase20;
            break;
        case 0xD7:
            unit = part_.eraseD7;
            break;
        case 0x52:
            unit = part_.erase52;
            break;
        case 0xD8:
            if (part_.blockMap[0] != '\0') {
                return MapUnit(part_.blockMap, address, start);
            }
            unit = part_.eraseD8;
            break;
        default:
            break;
    }
    if (unit != 0) {
        start = address / unit * unit;
    }
    return unit;
}

void SpiFlash::EraseRange(uint32_t start, uint32_t length) {
    memory_.Erase(start, length);
    if (length <= 4096) {
        busyNs_ += times_.sector4kEraseNs;
    } else if (length <= 32768) {
        busyNs_ += times_.block32kEraseNs;
    } else {
        busyNs_ += times_.block64kEraseNs * ((length + 65535) / 65536);
    }
}

bool SpiFlash::Erase(uint8_t mode, uint8_t type, uint32_t address) {
    if (!KnownEraseMode(mode) || type > 2 || memory_.Size() == 0) {
        return false;
    }
    if (embedded_) {
        if (type != 0 && address >= memory_.Size()) {
            return false;
        }
        const uint32_t unit = type == 0 ? memory_.Size() : type == 1 ? embeddedSector_ : 65536u;
        EraseRange(type == 0 ? 0 : address / unit * unit, unit);
        return true;
    }
    if ((mode & 0xF0) == 0x80) {
        return false;  // embedded-flash modes mean nothing to an SPI part
    }
    if (WriteProtected()) {
        return true;  // the part ignores the erase; the board does not know
    }
    if (type == 0) {
        const uint8_t opcode = mode == modes::kEraseAtmel ? 0x62 : 0xC7;
        if (part_.chipEraseOpcode == opcode) {
            EraseRange(0, memory_.Size());
        }
        return true;
    }
    const uint32_t wrapped = Wrap(address);
    uint32_t start = 0;
    const uint8_t opcode = type == 1 ? SectorOpcode(mode) : BlockOpcode(mode);
    const uint32_t unit = EraseUnit(opcode, wrapped, start);
    if (unit != 0) {
        EraseRange(start, unit);
    }
    return true;
}

void SpiFlash::ProgramPageCommand(uint32_t address, std::span<const uint8_t> data) {
    if (part_.programPage <= 2) {
        // Byte-program parts take only the first data byte of a 02h command.
        if (!data.empty()) {
            memory_.Program(Wrap(address), data[0]);
        }
        busyNs_ += times_.byteProgramNs;
        return;
    }
    // The address counter wraps inside the part's page.
    const uint32_t page = part_.programPage;
    const uint32_t base = Wrap(address) / page * page;
    uint32_t offset = Wrap(address) % page;
    busyNs_ += times_.pageProgramNs;
    if (offset + data.size() <= page) {
        memory_.ProgramRange(base + offset, data);
        return;
    }
    for (uint8_t value : data) {
        memory_.Program(base + offset, value);
        offset = (offset + 1) % page;
    }
}

bool SpiFlash::Program(uint8_t mode, uint32_t address, std::span<const uint8_t> data,
                       uint32_t chunk) {
    if (memory_.Size() == 0) {
        return false;
    }
    const bool eflashMode = mode == modes::kWriteEFlash || mode == modes::kWriteEFlashAlt;
    if (mode > modes::kWriteAaiByte && !eflashMode) {
        return false;
    }
    if (embedded_) {
        if (uint64_t{address} + data.size() > memory_.Size()) {
            return false;
        }
        memory_.ProgramRange(address, data);
        busyNs_ += times_.pageProgramNs * ((data.size() + 255) / 256);
        return true;
    }
    if (eflashMode) {
        return false;
    }
    if (WriteProtected()) {
        return true;
    }
    switch (mode) {
        case modes::kWritePage:
        case modes::kWritePageAlt: {
            const uint32_t step = chunk == 0 ? 256 : chunk;
            for (std::size_t at = 0; at < data.size(); at += step) {
                ProgramPageCommand(static_cast<uint32_t>(address + at),
                                   data.subspan(at, std::min<std::size_t>(step, data.size() - at)));
            }
            break;
        }
        case modes::kWriteByte:
            for (std::size_t i = 0; i < data.size(); ++i) {
                memory_.Program(Wrap(static_cast<uint32_t>(address + i)), data[i]);
                busyNs_ += times_.byteProgramNs;
            }
            break;
        case modes::kWriteAaiWord:
        case modes::kWriteAaiByte: {
            const uint32_t aaiStep = mode == modes::kWriteAaiWord ? 2 : 1;
            if (part_.programPage != aaiStep) {
                break;  // the part does not know the opcode
            }
            for (std::size_t i = 0; i < data.size(); ++i) {
                memory_.Program(Wrap(static_cast<uint32_t>(address + i)), data[i]);
            }
            busyNs_ += times_.byteProgramNs * ((data.size() + aaiStep - 1) / aaiStep);
            break;
        }
        default:
            break;
    }
    return true;
}

bool SpiFlash::WriteStatus(uint8_t mode, uint8_t status1, uint8_t status2,
                           std::span<uint8_t> reply) {
    switch (mode) {
        case modes::kStatusWriteOne:
            status1_ = static_cast<uint8_t>(status1 & 0xFC);
            break;
        case modes::kStatusWriteTwo:
        case modes::kStatusWriteBoth:
            status1_ = static_cast<uint8_t>(status1 & 0xFC);
            status2_ = status2;
            break;
        case modes::kStatusReadOnly:
            break;
        default:
            return false;
    }
    if (mode != modes::kStatusReadOnly) {
        busyNs_ += 15'000'000;  // status register write cycle
    }
    std::fill(reply.begin(), reply.end(), 0xFF);
    if (!reply.empty()) {
        reply[0] = status1_;
    }
    if (reply.size() > 1) {
        reply[1] = status2_;
    }
    return true;
}

}  // namespace quillon::sim
